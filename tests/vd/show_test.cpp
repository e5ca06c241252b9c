// The show script against the default data: every effect it builds, in drawing order, with
// its windows, set-up and keys as the show is meant to be, and what that gives at its
// turning points.
#include "show.h"

#include "fake_display.h"
#include "file.h"
#include "moveit.h"

#include <gtest/gtest.h>

#include <string.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const char* const PACKFILE = PRISMATEL_BINARY_DIR "/data/q47.dat";

enum Kind { IMAGE, SPRITE, FADE, SHADE, FRAME, WARP };

// A field and its value; colours take three.
struct Field {
    const char* name;
    float v[3];
};

struct Key {
    float time, value;
};

struct Row {
    Kind kind;
    uint32_t mask;
    std::vector<Field> set;
    const char* keyed; // the field the keys animate
    std::vector<Key> keys;
    const char* file = nullptr; // the picture an image or sprite effect loads
    bool remap = false;         // an image remapped into 32..47
};

const Field WHITE_FADE = {"fade", 255, 255, 255};

// The show, effect by effect in drawing order (fields not named keep the class defaults).
// clang-format off
const std::vector<Row> SHOW = {
    {IMAGE, 2, {}, nullptr, {}, "vd/q47_back.scl", true},
    {IMAGE, 4, {}, nullptr, {}, "vd/q47_bac2.scl", false},
    {IMAGE, 8, {}, nullptr, {}, "vd/good.scl", true},
    {FADE, 0, {WHITE_FADE}, "level",
        {{0, 1}, {2000, 0}, {2000, 0}, {2000, 0}, {2000, 0}, {2001, 1}, {2001, 1}, {2001, 1},
         {2001, 1}, {23000, 1}, {24000, 0}}},
    {SHADE, 1, {}, nullptr, {}},
    {FADE, 0, {{"first", 32}, {"last", 47}, WHITE_FADE}, "level",
        {{16300, 0}, {17300, 1}, {23000, 1}, {24000, 0}, {24000, 0}, {25500, 1}}},
    {SHADE, 2, {{"x0", 0}, {"y0", 10}, {"y1", 12}}, "x1", {{3500, 0}, {9000, 640}}},
    {SHADE, 2, {{"x0", 160}, {"y0", 88}, {"y1", 90}}, "x1", {{16300, 160}, {17300, 194}}},
    {SHADE, 2, {{"x0", 304}, {"y0", 88}, {"y1", 90}}, "x1", {{16300, 304}, {17300, 338}}},
    {SHADE, 2, {{"x0", 448}, {"y0", 88}, {"y1", 90}}, "x1", {{16300, 448}, {17300, 482}}},
    {SHADE, 2, {{"y0", 252}, {"x1", 218}, {"y1", 254}}, "x0", {{16300, 218}, {17300, 160}}},
    {SHADE, 2, {{"y0", 252}, {"x1", 482}, {"y1", 254}}, "x0", {{16300, 482}, {17300, 448}}},
    {SHADE, 2, {{"x0", 160}, {"y0", 417}, {"y1", 419}}, "x1", {{16300, 160}, {17300, 194}}},
    {SHADE, 2, {{"x0", 304}, {"y0", 417}, {"y1", 419}}, "x1", {{16300, 304}, {17300, 338}}},
    {SHADE, 2, {{"x0", 448}, {"y0", 417}, {"y1", 419}}, "x1", {{16300, 448}, {17300, 482}}},
    {SHADE, 2, {{"x0", 105}, {"x1", 107}, {"y1", 197}}, "y0", {{16300, 197}, {17300, 143}}},
    {SHADE, 2, {{"x0", 249}, {"x1", 251}, {"y1", 362}}, "y0", {{16300, 362}, {17300, 283}}},
    {SHADE, 2, {{"x0", 537}, {"x1", 539}, {"y1", 362}}, "y0", {{16300, 362}, {17300, 308}}},
    {SPRITE, 2, {{"y", 285}}, "x", {{2800, 730}, {9000, 284}}, "vd/q47_logo.scl"},
    {SPRITE, 2, {{"y", 358}}, "x", {{10300, 850}, {15800, 526.5f}}, "vd/q47_date.scl"},
    {SPRITE, 2, {{"y", 195.75f}}, "x", {{10300, 800}, {15800, 268}}, "vd/q47_worl.scl"},
    {SPRITE, 2, {{"y", 195}}, "x", {{10300, 1130}, {15800, 594}}, "vd/q47_domi.scl"},
    {SPRITE, 2, {{"y", 359}}, "x", {{9400, -100}, {15800, 247}}, "vd/q47_elit.scl"},
    {FRAME, 2, {{"x0", 50}, {"y0", 33}, {"x1", 160}, {"y1", 143}}, "grow", {{10300, 0}, {11300, 1}}},
    {FRAME, 2, {{"x0", 194}, {"y0", 33}, {"x1", 304}, {"y1", 143}}, "grow", {{10800, 0}, {11800, 1}}},
    {FRAME, 2, {{"x0", 338}, {"y0", 33}, {"x1", 448}, {"y1", 143}}, "grow", {{11300, 0}, {12300, 1}}},
    {FRAME, 2, {{"x0", 482}, {"y0", 33}, {"x1", 592}, {"y1", 143}}, "grow", {{11800, 0}, {12800, 1}}},
    {FRAME, 2, {{"x0", 50}, {"y0", 197}, {"x1", 160}, {"y1", 307}}, "grow", {{12300, 0}, {13300, 1}}},
    {FRAME, 2, {{"x0", 338}, {"y0", 197}, {"x1", 448}, {"y1", 307}}, "grow", {{12800, 0}, {13800, 1}}},
    {FRAME, 2, {{"x0", 482}, {"y0", 197}, {"x1", 592}, {"y1", 307}}, "grow", {{13300, 0}, {14300, 1}}},
    {FRAME, 2, {{"x0", 50}, {"y0", 362}, {"x1", 160}, {"y1", 472}}, "grow", {{13800, 0}, {14800, 1}}},
    {FRAME, 2, {{"x0", 194}, {"y0", 362}, {"x1", 304}, {"y1", 472}}, "grow", {{14300, 0}, {15300, 1}}},
    {FRAME, 2, {{"x0", 338}, {"y0", 362}, {"x1", 448}, {"y1", 472}}, "grow", {{14800, 0}, {15800, 1}}},
    {FRAME, 2, {{"x0", 482}, {"y0", 362}, {"x1", 592}, {"y1", 472}}, "grow", {{15300, 0}, {16300, 1}}},
    {FADE, 0, {{"first", 128}, {"last", 191}, {"A", 20, 5, 7}, {"B", 255, 222, 0}, WHITE_FADE},
        "level", {{23000, 1}, {24000, 0}}},
    {FADE, 0, {{"first", 192}, {"last", 255}, {"A", 91, 0, 27}, {"B", 255, 222, 0}, WHITE_FADE},
        "level", {{23000, 1}, {24000, 0}}},
    {WARP, 16, {{"x0", 50}, {"y0", 33}, {"x1", 160}}, "y1", {{17300, 33}, {18300, 143}}},
    {WARP, 16, {{"x0", 194}, {"y0", 33}, {"x1", 304}}, "y1", {{17600, 33}, {18600, 143}}},
    {WARP, 16, {{"x0", 338}, {"y0", 33}, {"x1", 448}}, "y1", {{17900, 33}, {18900, 143}}},
    {WARP, 16, {{"x0", 482}, {"y0", 33}, {"x1", 592}}, "y1", {{18200, 33}, {19200, 143}}},
    {WARP, 16, {{"x0", 50}, {"y0", 197}, {"x1", 160}}, "y1", {{18500, 197}, {19500, 307}}},
    {WARP, 16, {{"x0", 338}, {"y0", 197}, {"x1", 448}}, "y1", {{18800, 197}, {19800, 307}}},
    {WARP, 16, {{"x0", 482}, {"y0", 197}, {"x1", 592}}, "y1", {{19100, 197}, {20100, 307}}},
    {WARP, 16, {{"x0", 50}, {"y0", 362}, {"x1", 160}}, "y1", {{19400, 362}, {20400, 472}}},
    {WARP, 16, {{"x0", 194}, {"y0", 362}, {"x1", 304}}, "y1", {{19700, 362}, {20700, 472}}},
    {WARP, 16, {{"x0", 338}, {"y0", 362}, {"x1", 448}}, "y1", {{20000, 362}, {21000, 472}}},
    {WARP, 16, {{"x0", 482}, {"y0", 362}, {"x1", 592}}, "y1", {{20300, 362}, {21300, 472}}},
};
// clang-format on

// The time windows, by the bit of the mask that selects each.
const struct {
    float start, end;
} WINDOWS[5] = {{0, 2000}, {2000, 17300}, {17300, 24000}, {24000, 36000}, {16300, 24000}};

// The fields the show may set on an effect, by name, and whether it is of the row's kind.
using Fields = std::map<std::string, float*>;
bool Describe(sEffect* e, Kind kind, Fields& fields) {
    auto rect = [](auto* r) {
        return Fields{{"x0", &r->x0}, {"y0", &r->y0}, {"x1", &r->x1}, {"y1", &r->y1}};
    };
    switch (kind) {
    case IMAGE: return dynamic_cast<sImageEffect*>(e) != nullptr;
    case SHADE:
        if (auto* r = dynamic_cast<sShadeRectEffect*>(e)) return fields = rect(r), true;
        return false;
    case WARP:
        if (auto* w = dynamic_cast<sWarpEffect*>(e)) return fields = rect(w), true;
        return false;
    case FRAME:
        if (auto* f = dynamic_cast<sFrameEffect*>(e)) {
            fields = rect(f);
            fields["grow"] = &f->grow;
            return true;
        }
        return false;
    case SPRITE:
        if (auto* s = dynamic_cast<sSpriteEffect*>(e))
            return fields = {{"x", &s->x}, {"y", &s->y}}, true;
        return false;
    case FADE:
        if (auto* p = dynamic_cast<sPaletteFadeEffect*>(e)) {
            fields = {{"level", &p->level}, {"first", &p->first}, {"last", &p->last},
                      {"A", p->colorA},     {"B", p->colorB},     {"fade", p->fade}};
            return true;
        }
        return false;
    }
    return false;
}

int Width(const std::string& field) {
    return field == "A" || field == "B" || field == "fade" ? 3 : 1; // colours
}

// A freshly made effect of a kind, for its defaults (warp panels have none).
sEffect* Fresh(Kind kind) {
    switch (kind) {
    case SHADE: return new sShadeRectEffect;
    case FRAME: return new sFrameEffect;
    case FADE: return new sPaletteFadeEffect;
    case SPRITE: return new sSpriteEffect;
    default: return nullptr;
    }
}

bool SamePixels(sBitmap& a, sBitmap& b) {
    if (a.width != b.width || a.height != b.height || a.kind != b.kind) return false;
    for (int y = 0; y < a.height; y++)
        if (memcmp(a.PixelAddress(0, y, 0), b.PixelAddress(0, y, 0), (size_t)a.width) != 0)
            return false;
    return true;
}

// The picture a file holds, remapped like the show remaps it.
sBitmap* Picture(const char* file, int low = 0, int high = 0) {
    sBitmap* b = new sBitmap;
    b->Load(file);
    if (high) b->RemapToRange(low, high);
    return b;
}

class Show : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(PACKFILE, R_OK) != 0) GTEST_SKIP() << "no default data at " << PACKFILE;
        OpenPackfile(PACKFILE);
        BuildShow(timeline);
    }
    void TearDown() override {
        // The display owns the registered images.
        for (int i = 0; i < display.GetTextureCount(); i++) delete display.GetTexture(i)->bitmap;
        ForgetPackfile();
    }

    void Prepare() { timeline.Prepare(display); }

    sTimeline timeline;
    FakeDisplay display;
};

void ExpectRow(const sTimeline& timeline, int i, const Row& row, std::set<int>& claimedTracks) {
    sEffect* e = timeline.effects[i];
    Fields actual, defaults;
    ASSERT_TRUE(Describe(e, row.kind, actual));
    EXPECT_EQ(row.mask, e->windowMask);
    for (const Field& f : row.set) EXPECT_EQ(1u, actual.count(f.name)) << f.name;
    std::unique_ptr<sEffect> fresh(Fresh(row.kind));
    if (fresh) Describe(fresh.get(), row.kind, defaults);
    for (const auto& [name, field] : actual) {
        if (row.keyed && name == row.keyed) continue;
        const float* expected = fresh ? defaults[name] : nullptr;
        for (const Field& f : row.set)
            if (name == f.name) expected = f.v;
        if (!expected) continue;
        for (int c = 0; c < Width(name); c++) EXPECT_EQ(expected[c], field[c]) << name;
    }
    if (!row.keyed) return;
    int track = -1;
    for (int t = 0; t < timeline.trackCount; t++)
        if (timeline.tracks[t].target == actual[row.keyed]) track = t;
    ASSERT_NE(-1, track) << "no keys on " << row.keyed;
    claimedTracks.insert(track);
    const sTrack& keys = timeline.tracks[track];
    ASSERT_EQ((int)row.keys.size(), keys.count);
    for (int k = 0; k < keys.count; k++) {
        EXPECT_EQ(row.keys[k].time, keys.keys[k]->time) << "key " << k;
        EXPECT_EQ(row.keys[k].value, keys.keys[k]->value) << "key " << k;
    }
}

TEST_F(Show, BuildsEveryEffectWithItsWindowSetUpAndKeys) {
    for (int w = 0; w < TIMELINE_WINDOWS; w++) {
        SCOPED_TRACE(w);
        float start = w < 5 ? WINDOWS[w].start : 1, end = w < 5 ? WINDOWS[w].end : 0;
        EXPECT_EQ(start, timeline.windows[w].start);
        EXPECT_EQ(end, timeline.windows[w].end);
    }
    const std::vector<Row>& rows = SHOW;
    ASSERT_EQ((int)rows.size(), timeline.effectCount);
    std::set<int> claimedTracks;
    for (int i = 0; i < (int)rows.size(); i++) {
        SCOPED_TRACE("effect " + std::to_string(i + 1));
        ExpectRow(timeline, i, rows[(size_t)i], claimedTracks);
    }
    EXPECT_EQ((size_t)timeline.trackCount, claimedTracks.size()) << "keys on fields no row names";

    // The pictures: each image and title from its file, the images remapped where the show
    // says; the warp panels' two images in their palette ranges.
    for (int i = 0; i < (int)rows.size(); i++) {
        const Row& row = rows[(size_t)i];
        SCOPED_TRACE(row.file ? row.file : "");
        if (row.kind == IMAGE) {
            std::unique_ptr<sBitmap> expected(Picture(row.file, 32, row.remap ? 47 : 0));
            EXPECT_TRUE(
                SamePixels(*expected, *static_cast<sImageEffect*>(timeline.effects[i])->image));
        } else if (row.kind == SPRITE) {
            sSpriteEffect expected;
            expected.Load(row.file);
            auto* sprite = static_cast<sSpriteEffect*>(timeline.effects[i]);
            for (int phase = 0; phase < SPRITE_PHASES; phase++)
                EXPECT_TRUE(SamePixels(*expected.masks[phase], *sprite->masks[phase]));
        }
    }
    std::unique_ptr<sBitmap> arrows(Picture("vd/q47_arro.scl", 128, 191));
    std::unique_ptr<sBitmap> drops(Picture("vd/q47_drog.scl", 192, 255));
    EXPECT_TRUE(SamePixels(*arrows, *warpImageA));
    EXPECT_TRUE(SamePixels(*drops, *warpImageB));
    Prepare();
}

bool White(const sColor& c) {
    return c.r == 255 && c.g == 255 && c.b == 255;
}

TEST_F(Show, JustAfterTwoSecondsTheGreyRampIsHalfwayFromWhite) {
    Prepare();
    timeline.Draw(display, 2000.5f);
    EXPECT_EQ(2u, timeline.activeWindows);
    sColor halfway[17];
    memcpy(halfway, demoPalette, sizeof halfway);
    timeline.Draw(display, 5000.0f); // the ramp itself
    EXPECT_EQ(0, demoPalette[0].r);
    for (int i = 0; i <= 16; i++) {
        SCOPED_TRACE(i);
        EXPECT_NEAR((255 + demoPalette[i].r) / 2.0, halfway[i].r, 1.0);
        EXPECT_NEAR((255 + demoPalette[i].b) / 2.0, halfway[i].b, 1.0);
    }
}

TEST_F(Show, TheFirstBackgroundsRangeStaysWhiteUntilItFadesIn) {
    Prepare();
    for (float t : {2000.5f, 10000.0f, 16300.0f}) {
        timeline.Draw(display, t);
        for (int i = 32; i <= 47; i++) EXPECT_TRUE(White(demoPalette[i])) << i << " at " << t;
    }
    timeline.Draw(display, 17300.0f);
    EXPECT_EQ(0, demoPalette[32].r);
}

TEST_F(Show, AWarpPanelBeforeItsFirstKeyDrawsNothing) {
    Prepare();
    // At 20 s only the panels draw pixels: the one keyed from 20 s and the one from 20.3 s
    // have no height yet; the first one is open.
    std::fill(display.pixels.begin(), display.pixels.end(), 7);
    timeline.Draw(display, 20000.0f);
    EXPECT_EQ(16u | 4u, timeline.activeWindows);
    auto untouched = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++)
                if (display.At(x, y) != 7) return false;
        return true;
    };
    EXPECT_TRUE(untouched(338, 362, 448, 472));
    EXPECT_TRUE(untouched(482, 362, 592, 472));
    EXPECT_FALSE(untouched(50, 33, 160, 143));
}

} // namespace
