// The sliding titles and the emblem. The show shrinks each to a quarter-size grey mask
// and sets it down in a gap of its grid of cells, so the art is drawn in mask pixels
// times four and placed against the mask's resting position.
#include <math.h>
#include <string.h>

#include "assets_art.h"
#include "assets_layout.h"
#include "assets_text.h"

namespace assets {

namespace {

const float DEJAVU_CAP_HEIGHT = 0.729f; // of the em

struct TitleStyle {
    const char* name;
    const char* text;
    const char* font;
    float capHeight; // mask pixels
    float tracking;  // mask pixels between letters; below 0: fit the line to fitLeft
    int fitLeft;     // screen column of the first letter when fitted
    float ink;       // 1 black, 0 paper
    int baselineRow; // screen row just under the capitals at rest
    int plateRows;   // mask rows of the title's box
};

// Upper gap between the first and second rows of cells, lower gap between the second
// and third; capitals centred in each gap.
const TitleStyle TITLES[] = {
    {"vd/q47_worl.scl", "LIGHT", "DejaVuSans-ExtraLight.ttf", 22.0f, 5.0f, 0, 1.0f, 182, 44},
    {"vd/q47_domi.scl", "BENDS", "DejaVuSans-Bold.ttf", 22.0f, 3.0f, 0, 1.0f, 182, 44},
    {"vd/q47_elit.scl", "PRISMATEL", "DejaVuSans-Bold.ttf", 22.0f, -1.0f, 50, 1.0f, 346, 44},
    {"vd/q47_date.scl", "2026", "DejaVuSans-ExtraLight.ttf", 22.0f, 5.0f, 0, 1.0f, 346, 44},
};

const int RIGHT_PAD = 1; // mask pixels between the last letter and the box's edge
const int LEFT_PAD = 2;

const TitlePlace* PlaceOf(const std::string& name) {
    for (const TitlePlace& place : TITLE_PLACES)
        if (name == place.name) return &place;
    return nullptr;
}

// A darkness value d (0..8) as the red the show turns back into exactly d.
uint8_t RedForDarkness(int d) {
    return uint8_t(255 - (d * 255 + 7) / 8);
}

IndexedImage InkToImage(const Plane& ink) {
    std::vector<uint8_t> pixels(ink.v.size());
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = RedForDarkness(int(lroundf(Clamp01(ink.v[i]) * 8.0f)));
    IndexedImage image = FromLevels(ink.width, ink.height, pixels);
    SetGreyPalette(image);
    return image;
}

} // namespace

bool MakeTitle(const std::string& fontDir, const std::string& name, IndexedImage& out,
               std::string& error) {
    const TitleStyle* style = nullptr;
    for (const TitleStyle& s : TITLES)
        if (name == s.name) style = &s;
    const TitlePlace* place = PlaceOf(name);
    if (!style || !place) {
        error = "no title called " + name;
        return false;
    }
    TextSetting setting;
    setting.fontFile = fontDir + "/" + style->font;
    setting.pixelSize = int(lroundf(style->capHeight * 4.0f / DEJAVU_CAP_HEIGHT));
    setting.tracking = style->tracking < 0.0f ? 0.0f : style->tracking * 4.0f;
    TextInk text;
    if (!SetText(setting, style->text, text, error)) return false;
    if (style->tracking < 0.0f) {
        // Spread the letters so the line starts on a column of the grid and still ends
        // at its resting edge.
        float wanted = (place->x - 1.0f - float(RIGHT_PAD) - float(style->fitLeft)) * 4.0f;
        int gaps = int(style->text ? strlen(style->text) : 0) - 1;
        setting.tracking = (wanted - float(text.coverage.width)) / float(gaps > 0 ? gaps : 1);
        if (!SetText(setting, style->text, text, error)) return false;
    }
    int width = (text.coverage.width + 4 * (LEFT_PAD + RIGHT_PAD) + 3) / 4 * 4;
    int height = style->plateRows * 4;
    // The box's bottom edge is fixed by the resting place; the baseline follows.
    int bottom = int(place->y);
    int baselineInImage = (style->baselineRow - (bottom - style->plateRows)) * 4;
    Plane ink(width, height, 0.0f);
    int left = width - 4 * RIGHT_PAD - text.coverage.width;
    int top = baselineInImage - text.baseline;
    for (int y = 0; y < text.coverage.height; y++)
        for (int x = 0; x < text.coverage.width; x++)
            Paint(ink, left + x, top + y, style->ink, text.coverage.At(x, y));
    out = InkToImage(ink);
    return true;
}

IndexedImage MakeLogo() {
    // In image pixels (four per screen pixel). At rest the mask's left column is screen
    // column 218 and its top row screen row 221, so the connector coming from the left
    // (rows 252-253) continues as the incoming beam at rows 124-131, and the one coming
    // from below (columns 249-250) runs up to the prism's base at columns 124-131.
    const int W = 260, H = 256;
    const float ax = 128.0f, ay = 8.0f, lx = 56.0f, rx = 200.0f, by = 248.0f;
    const float tri[6] = {ax, ay, rx, by, lx, by};
    const float beamY = 128.0f;
    const float entryX = ax + (lx - ax) * (beamY - ay) / (by - ay);
    const float exitY = 140.0f;
    const float exitX = ax + (rx - ax) * (exitY - ay) / (by - ay);
    // The dispersed light: four wedges from black to pale grey, fanning downwards.
    const float FAN_START = 0.04f, FAN_STEP = 0.15f;
    static const float FAN_INK[] = {1.0f, 0.74f, 0.50f, 0.30f};
    Plane ink(W, H, 0.0f);
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            float px = float(x) + 0.5f, py = float(y) + 0.5f;
            float v = 0.0f;
            float along = (atan2f(py - exitY, px - exitX) - FAN_START) / FAN_STEP;
            if (px > exitX && along >= 0.0f && along < 4.0f) {
                // The fan's outer sides are anti-aliased; inside, wedges meet edge to edge.
                float reach = hypotf(px - exitX, py - exitY) * FAN_STEP;
                float fade = 1.0f - 0.25f * SmoothStep(220.0f, 260.0f, px);
                float sideLow = along < 1.0f ? Clamp01(along * reach + 0.5f) : 1.0f;
                float sideHigh = along > 3.0f ? Clamp01((4.0f - along) * reach + 0.5f) : 1.0f;
                v = FAN_INK[int(along)] * fade * fminf(sideLow, sideHigh);
            }
            float inside = ConvexPolygonDistance(px, py, tri, 3);
            float facet = px < ax ? 0.38f : 0.16f;
            v = Mix(v, facet, Coverage(inside));
            float inner = Coverage(SegmentDistance(px, py, entryX, beamY, exitX, exitY) - 3.0f);
            v = Mix(v, 0.62f, inner * Coverage(inside));
            v = Mix(v, 1.0f, Coverage(fabsf(inside) - 4.0f)); // the rim, two screen pixels
            float beam = Coverage(fabsf(py - beamY) - 4.0f) * Coverage(px - entryX);
            // Below the base, the connector from underneath runs on to the box's edge.
            float stub = Coverage(fabsf(px - 128.0f) - 4.0f) * Coverage(by - py);
            v = fmaxf(v, fmaxf(beam, stub));
            ink.At(x, y) = v;
        }
    return InkToImage(ink);
}

} // namespace assets
