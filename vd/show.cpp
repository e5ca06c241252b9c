#include "show.h"

#include "moveit.h"

namespace {

struct Key {
    float time, value;
};

// The show's time windows, each selected in an effect's window mask by its bit.
enum ShowWindow {
    BLACK_OPENING,     // the black screen of the first two seconds
    FIRST_BACKGROUND,  // the first background, the titles, frames and connectors
    SECOND_BACKGROUND, // the second background behind the warp panels
    THIRD_BACKGROUND,  // the last picture
    WARP_PANELS,       // from the connectors' growth to the white-out
    SHOW_WINDOWS
};
struct Span {
    float start, end;
};
const Span windowSpans[SHOW_WINDOWS] = {
    {0, 2000}, {2000, 17300}, {17300, 24000}, {24000, 36000}, {16300, 24000},
};
constexpr uint32_t In(ShowWindow window) {
    return 1u << window;
}
const uint32_t ALWAYS = 0; // in no window: drawn at every time

// The grid the boxes, connectors and panels share: four columns, three rows.
struct Cell {
    float x0, y0, x1, y1;
};
const Cell cells[11] = {
    {50, 33, 160, 143},   {194, 33, 304, 143},  {338, 33, 448, 143},  {482, 33, 592, 143},
    {50, 197, 160, 307},  {338, 197, 448, 307}, {482, 197, 592, 307}, {50, 362, 160, 472},
    {194, 362, 304, 472}, {338, 362, 448, 472}, {482, 362, 592, 472},
};

template <int N> void AddKeys(sTimeline& timeline, float* field, const Key (&keys)[N]) {
    for (const Key& k : keys) timeline.AddKey(field, k.time, k.value);
}

template <class Effect> Effect* Add(sTimeline& timeline, uint32_t mask) {
    Effect* e = new Effect;
    timeline.AddEffect(e);
    e->windowMask |= mask;
    return e;
}

void AddBackground(sTimeline& timeline, uint32_t mask, const char* name, bool remap) {
    sImageEffect* e = Add<sImageEffect>(timeline, mask);
    e->Load(name);
    if (remap) e->Remap(32, 47);
}

struct FadeSpec {
    float first, last;
    float colorA[3], colorB[3];
};

template <int N>
void AddPaletteFade(sTimeline& timeline, const FadeSpec& spec, const Key (&keys)[N]) {
    sPaletteFadeEffect* e = Add<sPaletteFadeEffect>(timeline, ALWAYS);
    e->first = spec.first;
    e->last = spec.last;
    for (int c = 0; c < 3; c++) {
        e->colorA[c] = spec.colorA[c];
        e->colorB[c] = spec.colorB[c];
        e->fade[c] = 255.0f;
    }
    AddKeys(timeline, &e->level, keys);
}

// The thin shaded rectangles: the line across the top, then the connectors that grow
// between neighbouring cells. Three edges are fixed; the fourth is keyed.
enum Edge { EDGE_X0, EDGE_Y0, EDGE_X1 };
struct Connector {
    float a, b, c; // the fixed edges, in the order x0, y0, x1, y1 without the moving one
    Edge moving;
    Key from, to;
};
const Connector connectors[12] = {
    {0, 10, 12, EDGE_X1, {3500, 0}, {9000, 640}},
    {160, 88, 90, EDGE_X1, {16300, 160}, {17300, 194}},
    {304, 88, 90, EDGE_X1, {16300, 304}, {17300, 338}},
    {448, 88, 90, EDGE_X1, {16300, 448}, {17300, 482}},
    {252, 218, 254, EDGE_X0, {16300, 218}, {17300, 160}},
    {252, 482, 254, EDGE_X0, {16300, 482}, {17300, 448}},
    {160, 417, 419, EDGE_X1, {16300, 160}, {17300, 194}},
    {304, 417, 419, EDGE_X1, {16300, 304}, {17300, 338}},
    {448, 417, 419, EDGE_X1, {16300, 448}, {17300, 482}},
    {105, 107, 197, EDGE_Y0, {16300, 197}, {17300, 143}},
    {249, 251, 362, EDGE_Y0, {16300, 362}, {17300, 283}},
    {537, 539, 362, EDGE_Y0, {16300, 362}, {17300, 308}},
};

void AddConnectors(sTimeline& timeline) {
    for (const Connector& c : connectors) {
        sShadeRectEffect* e = Add<sShadeRectEffect>(timeline, In(FIRST_BACKGROUND));
        float* field = nullptr;
        switch (c.moving) {
        case EDGE_X1: e->x0 = c.a, e->y0 = c.b, e->y1 = c.c, field = &e->x1; break;
        case EDGE_X0: e->y0 = c.a, e->x1 = c.b, e->y1 = c.c, field = &e->x0; break;
        case EDGE_Y0: e->x0 = c.a, e->x1 = c.b, e->y1 = c.c, field = &e->y0; break;
        }
        timeline.AddKey(field, c.from.time, c.from.value);
        timeline.AddKey(field, c.to.time, c.to.value);
    }
}

struct Title {
    const char* name;
    float y;
    Key from, to;
};
const Title titles[5] = {
    {"vd/q47_logo.scl", 285, {2800, 730}, {9000, 284}},
    {"vd/q47_date.scl", 358, {10300, 850}, {15800, 526.5f}},
    {"vd/q47_worl.scl", 195.75f, {10300, 800}, {15800, 268}},
    {"vd/q47_domi.scl", 195, {10300, 1130}, {15800, 594}},
    {"vd/q47_elit.scl", 359, {9400, -100}, {15800, 247}},
};

void AddTitles(sTimeline& timeline) {
    for (const Title& title : titles) {
        sSpriteEffect* e = Add<sSpriteEffect>(timeline, In(FIRST_BACKGROUND));
        e->Load(title.name);
        e->y = title.y;
        timeline.AddKey(&e->x, title.from.time, title.from.value);
        timeline.AddKey(&e->x, title.to.time, title.to.value);
    }
}

// The eleven frames open one after another every 0.5 s from 10.3 s.
void AddFrames(sTimeline& timeline) {
    for (int i = 0; i < 11; i++) {
        sFrameEffect* e = Add<sFrameEffect>(timeline, In(FIRST_BACKGROUND));
        e->x0 = cells[i].x0;
        e->y0 = cells[i].y0;
        e->x1 = cells[i].x1;
        e->y1 = cells[i].y1;
        float start = 10300.0f + 500.0f * i;
        timeline.AddKey(&e->grow, start, 0);
        timeline.AddKey(&e->grow, start + 1000.0f, 1);
    }
}

// The eleven warp panels unroll downwards one after another every 0.3 s from 17.3 s.
void AddWarpPanels(sTimeline& timeline) {
    for (int i = 0; i < 11; i++) {
        sWarpEffect* e = Add<sWarpEffect>(timeline, In(WARP_PANELS));
        e->x0 = cells[i].x0;
        e->y0 = cells[i].y0;
        e->x1 = cells[i].x1;
        float start = 17300.0f + 300.0f * i;
        timeline.AddKey(&e->y1, start, cells[i].y0);
        timeline.AddKey(&e->y1, start + 1000.0f, cells[i].y1);
    }
}

} // namespace

void BuildShow(sTimeline& timeline) {
    for (int w = 0; w < SHOW_WINDOWS; w++)
        timeline.SetWindow(w, windowSpans[w].start, windowSpans[w].end);

    AddBackground(timeline, In(FIRST_BACKGROUND), "vd/q47_back.scl", true);
    AddBackground(timeline, In(SECOND_BACKGROUND), "vd/q47_bac2.scl", false);
    AddBackground(timeline, In(THIRD_BACKGROUND), "vd/good.scl", true);

    // The grey ramp: black to white for 2 s, then a held jump to the ramp, white at 24 s.
    const FadeSpec grey = {0, 16, {0, 0, 0}, {255, 255, 255}};
    const Key greyKeys[] = {{0, 1},    {2000, 0}, {2000, 0}, {2000, 0},  {2000, 0}, {2001, 1},
                            {2001, 1}, {2001, 1}, {2001, 1}, {23000, 1}, {24000, 0}};
    AddPaletteFade(timeline, grey, greyKeys);

    Add<sShadeRectEffect>(timeline, In(BLACK_OPENING));

    const FadeSpec background = {32, 47, {0, 0, 0}, {255, 255, 255}};
    const Key backgroundKeys[] = {{16300, 0}, {17300, 1}, {23000, 1},
                                  {24000, 0}, {24000, 0}, {25500, 1}};
    AddPaletteFade(timeline, background, backgroundKeys);

    AddConnectors(timeline);
    AddTitles(timeline);
    AddFrames(timeline);

    const Key warpFadeKeys[] = {{23000, 1}, {24000, 0}};
    AddPaletteFade(timeline, {128, 191, {20, 5, 7}, {255, 222, 0}}, warpFadeKeys);
    AddPaletteFade(timeline, {192, 255, {91, 0, 27}, {255, 222, 0}}, warpFadeKeys);

    AddWarpPanels(timeline);
}
