#include "moveit.h"

#include "bmapfile.h"
#include "fake_display.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string>

namespace {

// Writes an Index 8 image whose every pixel is `index` with a grey palette.
std::string WriteImage(const char* name, int width, int height, uint8_t index) {
    bmapfile::Image image;
    image.bitsPerPixel = 8;
    for (int i = 0; i < 256; i++)
        image.palette.push_back({(uint8_t)i, (uint8_t)i, (uint8_t)i, 255});
    image.width = width;
    image.height = height;
    image.rowBytes = width;
    image.levels.push_back(std::vector<uint8_t>((size_t)width * height, index));
    std::string path = std::string(::testing::TempDir()) + name;
    std::string error;
    EXPECT_TRUE(bmapfile::WriteFile(path, image, error)) << error;
    return path;
}

TEST(SpriteEffect, MasksAreQuarterSizePlusOneColumn) {
    sSpriteEffect sprite;
    sprite.Load(WriteImage("white.scl", 640, 480, 255).c_str());
    for (sBitmap* mask : sprite.masks) {
        ASSERT_NE(nullptr, mask);
        EXPECT_EQ(161, mask->width);
        EXPECT_EQ(120, mask->height);
        EXPECT_EQ(BK_INDEX8, mask->kind);
        for (int y = 0; y < mask->height; y++)
            for (int x = 0; x < mask->width; x++) ASSERT_EQ(16, mask->GetPixel(x, y, 0));
    }
}

TEST(SpriteEffect, BlackImageIsBlackWhereverAMaskPixelIsFullyCovered) {
    sSpriteEffect sprite;
    sprite.Load(WriteImage("black.scl", 16, 8, 0).c_str());
    sBitmap& phase0 = *sprite.masks[0];
    EXPECT_EQ(5, phase0.width);
    EXPECT_EQ(0, phase0.GetPixel(0, 0, 0));
    EXPECT_EQ(0, phase0.GetPixel(3, 1, 0));
    EXPECT_EQ(16, phase0.GetPixel(4, 1, 0)); // the extra column stays empty at phase 0
    // Shifted by one image pixel: the first mask pixel covers three columns, the extra
    // column one.
    sBitmap& phase1 = *sprite.masks[1];
    EXPECT_EQ(16 - (3 * 4 * 8 >> 3), (int)phase1.GetPixel(0, 0, 0));
    EXPECT_EQ(16 - (1 * 4 * 8 >> 3), (int)phase1.GetPixel(4, 0, 0));
}

TEST(SpriteEffect, PhaseFollowsTheQuarterPixelAndClippingMovesTheSource) {
    FakeDisplay display;
    sSpriteEffect sprite;
    sprite.Load(WriteImage("title.scl", 400, 200, 0).c_str());
    sprite.y = 285;
    const float xs[] = {284.0f, 284.25f, 284.75f};
    const int phases[] = {0, 1, 3};
    for (int i = 0; i < 3; i++) {
        sprite.x = xs[i];
        sprite.Draw(display, 0);
        ASSERT_EQ((size_t)i + 1, display.blits.size());
        EXPECT_EQ(sprite.masks[phases[i]], display.blits.back().bitmap);
    }
    // 101 mask pixels wide: ending at 284 it starts at 183.
    EXPECT_EQ(183, display.blits[0].rect.dstX);
    EXPECT_EQ(285 - 50, display.blits[0].rect.dstY);

    sprite.x = 60; // starts 41 pixels left of the screen
    sprite.Draw(display, 0);
    const sBlitRect& r = display.blits.back().rect;
    EXPECT_EQ(0, r.dstX);
    EXPECT_EQ(41, r.srcX);
    EXPECT_EQ(60, r.width);

    size_t before = display.blits.size();
    sprite.x = 640 + 101; // entirely right of the screen
    sprite.Draw(display, 0);
    EXPECT_EQ(before, display.blits.size());
}

TEST(ImageEffect, RegistersItsImageAsATwoDimensionalTextureAndBlitsItWhole) {
    FakeDisplay display;
    sImageEffect effect;
    effect.Load(WriteImage("back.scl", 64, 48, 128).c_str());
    effect.Remap(32, 47);
    EXPECT_EQ(32 + (128 * 15) / 255, (int)effect.image->GetPixel(5, 5, 0));
    effect.Prepare(display);
    ASSERT_EQ(1, display.GetTextureCount());
    sTexture* t = display.GetTexture(0);
    EXPECT_EQ(effect.image, t->bitmap);
    EXPECT_EQ(TT_IMAGE, t->type);
    EXPECT_EQ(-1, t->tag);
    effect.Draw(display, 0);
    ASSERT_EQ(1u, display.blits.size());
    EXPECT_EQ(t, display.blits[0].texture);
    EXPECT_EQ(64, display.blits[0].rect.width);
    EXPECT_EQ(48, display.blits[0].rect.height);
    EXPECT_EQ(0, display.blits[0].rect.dstX);
    // The display owns the bitmap now; this test stands in for its FreeTextures.
    delete effect.image;
}

} // namespace
