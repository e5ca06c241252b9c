#include "effect.h"

#include "fake_display.h"

#include <gtest/gtest.h>

#include <math.h>

namespace {

struct EffectTest : ::testing::Test {
    FakeDisplay display;
    void SetUp() override {
        // A screen of grey level 16 (white) everywhere, outside a guard band too.
        std::fill(display.pixels.begin(), display.pixels.end(), 16);
        paletteDirty = false;
    }
};

TEST_F(EffectTest, ShadeRectangleDarkensBordersByCoverageAndBlackensTheInside) {
    ShadeRectangle(display, 10.0f, 10.0f, 20.0f, 20.0f);
    EXPECT_EQ(0, display.At(10, 10));  // fully covered corner
    EXPECT_EQ(0, display.At(15, 10));  // top border, fraction 0
    EXPECT_EQ(0, display.At(10, 15));  // left border
    EXPECT_EQ(15, display.At(15, 20)); // bottom border keeps 15/16
    EXPECT_EQ(15, display.At(20, 15)); // right border keeps 15/16
    EXPECT_EQ(15, display.At(20, 20)); // 16 * 255 / 256
    EXPECT_EQ(15, display.At(20, 10)); // top-right: (256 - 1 * 16) / 256 of 16
    for (int y = 11; y < 20; y++)
        for (int x = 11; x < 20; x++) ASSERT_EQ(0, display.At(x, y)) << x << "," << y;
    EXPECT_EQ(16, display.At(21, 15));
    EXPECT_EQ(16, display.At(15, 21));
    EXPECT_EQ(16, display.At(9, 9));
}

TEST_F(EffectTest, ShadeRectangleUsesTheShadeTableAndFractionalEdges) {
    for (int x = 0; x < 40; x++) display.At(x, 5) = 40; // background band: grey level 8
    ShadeRectangle(display, 2.5f, 5.25f, 30.0f, 9.0f);
    // Top border covered 12/16 of the way down: keeps 4/16 of level 8.
    EXPECT_EQ(8 * 4 / 16, display.At(10, 5));
}

TEST_F(EffectTest, ShadeRectangleOverTheWholeScreenStaysInside) {
    ShadeRectangle(display, 0, 0, 640, 480);
    EXPECT_TRUE(std::all_of(display.pixels.begin(), display.pixels.end(),
                            [](uint8_t p) { return p == 0; }));
}

TEST_F(EffectTest, EmptyShadeRectangleDoesNotEvenLock) {
    ShadeRectangle(display, 5, 5, 5, 9);
    ShadeRectangle(display, 5, 9, 8, 2);
    EXPECT_EQ(0, display.locks);
    EXPECT_EQ(16, display.At(5, 5));
}

TEST_F(EffectTest, FailedLockDrawsNothing) {
    display.failLock = true;
    ShadeRectangle(display, 10, 10, 20, 20);
    EXPECT_EQ(16, display.At(10, 10));
    EXPECT_EQ(16, display.At(15, 15));
}

TEST_F(EffectTest, PaletteFadeShowsTheRampAtLevelOneAndTheFadeColourAtZero) {
    sPaletteFadeEffect fade;
    fade.first = 0;
    fade.last = 16;
    for (float& c : fade.fade) c = 255;
    fade.level = 1;
    fade.Draw(display, 0);
    EXPECT_TRUE(paletteDirty);
    EXPECT_EQ(0, demoPalette[0].r);
    EXPECT_EQ(255, demoPalette[16].r);
    // Eases out: g = 1 - (1 - s)^2 at s = 1/2 is 3/4.
    EXPECT_EQ((int)(255 * 0.75f), demoPalette[8].g);
    EXPECT_EQ((demoPalette[8].r * 16) / 255, shadeTable[8]);

    fade.level = 0;
    fade.Draw(display, 0);
    for (int i = 0; i <= 16; i++) EXPECT_EQ(255, demoPalette[i].b) << i;
    EXPECT_EQ(16, shadeTable[0]);
}

TEST_F(EffectTest, PaletteFadeRecomputesOnlyAfterMovingMoreThanTwoHundredths) {
    sPaletteFadeEffect fade;
    fade.first = 32;
    fade.last = 47;
    fade.level = 0.5f;
    fade.Draw(display, 0);
    uint8_t before = demoPalette[40].r;
    paletteDirty = false;
    fade.level = 0.51f;
    fade.Draw(display, 0);
    EXPECT_FALSE(paletteDirty);
    fade.level = 0.52f;
    fade.Draw(display, 0);
    EXPECT_FALSE(paletteDirty);
    fade.level = 0.53f;
    fade.Draw(display, 0);
    EXPECT_TRUE(paletteDirty);
    EXPECT_NE(before, demoPalette[40].r);
}

TEST_F(EffectTest, FrameAtFullGrowthLiesJustOutsideItsRectangle) {
    sFrameEffect frame;
    frame.x0 = 50, frame.y0 = 33, frame.x1 = 160, frame.y1 = 143;
    frame.Draw(display, 0);
    // Outer edges 48, 31, 162, 145: a 2-pixel outline, the rectangle's inside untouched.
    EXPECT_EQ(0, display.At(49, 80));
    EXPECT_EQ(0, display.At(100, 32));
    EXPECT_EQ(16, display.At(47, 80));
    EXPECT_EQ(16, display.At(100, 30));
    EXPECT_EQ(16, display.At(100, 80));
    EXPECT_EQ(0, display.At(161, 80));
    EXPECT_EQ(16, display.At(163, 80));
    EXPECT_EQ(0, display.At(100, 144));
    EXPECT_EQ(16, display.At(100, 146));
}

TEST_F(EffectTest, FrameBelowMinimumGrowthDrawsNothing) {
    sFrameEffect frame;
    frame.grow = 0.0009f;
    frame.Draw(display, 0);
    EXPECT_EQ(0, display.locks);
}

// ---- the warp panel ------------------------------------------------------------------------

// A warp image 1024 texels wide: (2 * column + 17 * row) & 63 above `base`, a pattern that
// repeats every 128 rows and 1024 columns. The rows past 128 hold another pattern, so that
// a row taken without its wrap shows.
sBitmap* WarpImage(int base) {
    sBitmap* image = new sBitmap;
    image->Create(1024, 256, BK_INDEX8, 1);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 1024; x++) {
            int f = (2 * x + 17 * y) & 63;
            image->levelData[0][y * 1024 + x] = (uint8_t)(base + (y < 128 ? f : 63 - (x & 7)));
        }
    return image;
}

// The image seen through the common plane: bilinear between the four texels around (u, v),
// read as signed bytes as they are stored, the image repeating every 1024 columns and 128 rows.
double Sample(const sBitmap& image, double u, double v) {
    double fu = floor(u), fv = floor(v);
    int c0 = ((int)fu % 1024 + 1024) % 1024, r0 = ((int)fv % 128 + 128) % 128;
    int c1 = (c0 + 1) % 1024, r1 = (r0 + 1) % 128;
    auto at = [&](int c, int r) { return (double)(int8_t)image.levelData[0][r * 1024 + c]; };
    double top = at(c0, r0) + (at(c1, r0) - at(c0, r0)) * (u - fu);
    double bottom = at(c0, r1) + (at(c1, r1) - at(c0, r1)) * (u - fu);
    return top + (bottom - top) * (v - fv);
}

struct WarpTest : EffectTest {
    sBitmap *savedA = warpImageA, *savedB = warpImageB;
    sBitmap *imageA = WarpImage(128), *imageB = WarpImage(192);
    void SetUp() override {
        EffectTest::SetUp();
        warpImageA = imageA;
        warpImageB = imageB;
    }
    void TearDown() override {
        warpImageA = savedA;
        warpImageB = savedB;
        delete imageA;
        delete imageB;
    }

    // Every pixel of the panel against the plane: zoom about the screen centre and drift by
    // the show's time, pixel x sampled one step in from the left edge, row y at the top edge
    // plus y steps.
    void ExpectPlane(sWarpEffect& w, double t, const sBitmap& image) {
        double zoom = sin(t * 0.001) * 0.2 + 0.5;
        double dx = sin(t / 3000.0) * 200, dy = sin(t * 0.0002) * 200;
        int width = (int)ceil(w.x1 - w.x0), height = (int)ceil(w.y1 - w.y0);
        int worst = 0;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                double u = (w.x0 - 320 + (x + 1) * (w.x1 - w.x0) / width) * zoom + dx;
                double v = (w.y0 - 240 + y * (w.y1 - w.y0) / height) * zoom + dy;
                int drawn = (int8_t)display.At((int)w.x0 + x, (int)w.y0 + y);
                worst = std::max(worst, abs(drawn - (int)lround(Sample(image, u, v))));
            }
        // The 16.16 steps and the truncating interpolation cost at most two levels.
        EXPECT_LE(worst, 2) << "at " << t << " ms";
    }
};

TEST_F(WarpTest, AtTimeZeroThePlaneIsHalfSizeWithoutDrift) {
    sWarpEffect w;
    w.randomBits = 0;
    w.x0 = 320, w.y0 = 240, w.x1 = 330, w.y1 = 250;
    w.Draw(display, 0);
    // Zoom 0.5: pixel x samples column (x + 1) / 2, row y / 2; columns step 2 levels, rows 17.
    EXPECT_EQ(128 + 1, display.At(320, 240));          // halfway between columns 0 and 1
    EXPECT_EQ(128 + 6, display.At(325, 240));          // column 3
    EXPECT_EQ(128 + 17 + 10, display.At(329, 242));    // row 1, column 5
    EXPECT_EQ(128 + 17 + 8 + 1, display.At(320, 243)); // halfway to row 2, floored
    EXPECT_EQ(16, display.At(330, 240));               // right and bottom edges excluded
    EXPECT_EQ(16, display.At(320, 250));
}

TEST_F(WarpTest, EachSliceOf430MsTakesTheImageItsRandomBitChooses) {
    sWarpEffect w;
    w.randomBits = 1 << 1 | 1 << 15;
    w.x0 = 50, w.y0 = 33, w.x1 = 160, w.y1 = 143;
    const struct {
        float t;
        bool second; // the second image, seen 44,500 ms further on
    } cases[] = {{0, false},    {429, false},   {430, true},  {859, true},   {860, false},
                 {6449, false}, {6450, true},   {6879, true}, {6880, false}, {7310, true},
                 {1000, false}, {20000, false}, {20210, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        std::fill(display.pixels.begin(), display.pixels.end(), 16);
        w.Draw(display, c.t);
        ExpectPlane(w, c.t + (c.second ? 44500.0 : 0.0), c.second ? *imageB : *imageA);
    }
}

TEST_F(WarpTest, ThePlaneWrapsAcrossTheImagesEdges) {
    // Around the screen centre at time 0 the panel sees texel column 1023 next to column 0 and
    // row 127 next to row 0; on the left of the screen it sees negative columns.
    const float panels[][4] = {{300, 230, 340, 250}, {50, 33, 160, 143}, {482, 362, 592, 472}};
    for (const auto& p : panels) {
        SCOPED_TRACE(p[0]);
        sWarpEffect w;
        w.randomBits = 0;
        w.x0 = p[0], w.y0 = p[1], w.x1 = p[2], w.y1 = p[3];
        w.Draw(display, 0);
        ExpectPlane(w, 0, *imageA);
    }
}

TEST_F(WarpTest, APanelOfNoHeightDrawsNothing) {
    sWarpEffect w;
    w.x0 = 50, w.y0 = 197, w.x1 = 160, w.y1 = 197;
    for (float t : {0.0f, 500.0f, 18000.0f}) w.Draw(display, t);
    EXPECT_TRUE(std::all_of(display.pixels.begin(), display.pixels.end(),
                            [](uint8_t p) { return p == 16; }));
}

TEST(ShadeTable, StartsAsGreyRampBackgroundBandAndWhite) {
    // Before any palette fade touched them (fades in other tests write 0..16 and 32..47).
    EXPECT_EQ(16, shadeTable[20]);
    EXPECT_EQ(16, shadeTable[48 + 1]);
    EXPECT_EQ(16, shadeTable[255]);
}

} // namespace
