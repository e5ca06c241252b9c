#include "effect.h"

#include "fake_display.h"

#include <gtest/gtest.h>

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

TEST(ShadeTable, StartsAsGreyRampBackgroundBandAndWhite) {
    // Before any palette fade touched them (fades in other tests write 0..16 and 32..47).
    EXPECT_EQ(16, shadeTable[20]);
    EXPECT_EQ(16, shadeTable[48 + 1]);
    EXPECT_EQ(16, shadeTable[255]);
}

} // namespace
