// Where the show puts things on its 640 x 480 screen, as far as the art has to know:
// the grid of cells, the connectors between them, the titles' resting places and the
// quarter-size masks the titles become.
#ifndef TOOLS_ASSETS_LAYOUT_H
#define TOOLS_ASSETS_LAYOUT_H

namespace assets {

const int SCREEN_W = 640;
const int SCREEN_H = 480;

struct Box {
    int x0, y0, x1, y1; // right and bottom exclusive
};

// Cells: four columns by three rows; the second column of the middle row stays empty.
const int CELL_COLS[4][2] = {{50, 160}, {194, 304}, {338, 448}, {482, 592}};
const int CELL_ROWS[3][2] = {{33, 143}, {197, 307}, {362, 472}};
const int EMPTY_COL = 1;
const int EMPTY_ROW = 1;
// A cell's frame: two pixels just outside the cell, starting exactly two pixels before
// it and ending with one pixel of soft edge after it.
const int FRAME_BEFORE = 2;
const int FRAME_AFTER = 3;

// The dark part of each connector between cells at its full extent. Connectors are drawn
// before the titles, so a title's white box would hide any part it covers.
const Box CONNECTORS[] = {
    {160, 88, 194, 90},   {304, 88, 338, 90},   {448, 88, 482, 90},   {160, 252, 218, 254},
    {448, 252, 482, 254}, {160, 417, 194, 419}, {304, 417, 338, 419}, {448, 417, 482, 419},
    {105, 143, 107, 197}, {249, 283, 251, 362}, {537, 308, 539, 362},
};

// A title's mask: a quarter of the image, one column wider for the quarter-pixel phases.
inline int MaskWidth(int imageWidth) {
    return (imageWidth + 3) / 4 + 1;
}
inline int MaskHeight(int imageHeight) {
    return (imageHeight + 3) / 4;
}

struct TitlePlace {
    const char* name; // file name inside the pack
    float x, y;       // right and bottom edge of the mask at rest
};

const TitlePlace TITLE_PLACES[] = {
    {"vd/q47_logo.scl", 284.0f, 285.0f},  {"vd/q47_date.scl", 526.5f, 358.0f},
    {"vd/q47_worl.scl", 268.0f, 195.75f}, {"vd/q47_domi.scl", 594.0f, 195.0f},
    {"vd/q47_elit.scl", 247.0f, 359.0f},
};

// The screen rectangle a title's mask covers at rest.
inline Box MaskBox(const TitlePlace& place, int imageWidth, int imageHeight) {
    int w = MaskWidth(imageWidth), h = MaskHeight(imageHeight);
    int x0 = int(place.x - float(w)), y0 = int(place.y - float(h));
    return Box{x0, y0, x0 + w, y0 + h};
}

} // namespace assets

#endif
