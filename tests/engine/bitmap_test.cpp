// sBitmap: creation and its rounding, pixel access for every kind, colour conversion
// both ways, the nearest-entry rule, Fill, ConvertFrom and RemapToRange.
#include <gtest/gtest.h>

#include <string.h>

#include "bitmap.h"
#include "file_test_support.h"
#include "system.h"

using namespace filetest;

namespace {

TEST(BitmapKinds, NamesAndBitsAreTheDisplaysTables) {
    const char* names[] = {"Mono",    "Index 4", "Index 8", "0565-16",
                           "1555-16", "4444-16", "0888-24", "8888-32"};
    const int bits[] = {1, 4, 8, 16, 16, 16, 24, 32};
    for (int k = 0; k < BITMAP_KINDS; k++) {
        EXPECT_STREQ(bitmapKindName[k], names[k]);
        EXPECT_EQ(bitmapKindBits[k], bits[k]);
    }
}

TEST(BitmapCreate, Index8ThreeLevels) {
    sBitmap b;
    b.Create(100, 60, BK_INDEX8, 3);
    EXPECT_EQ(b.width, 100);
    EXPECT_EQ(b.height, 60);
    EXPECT_EQ(b.bitsPerPixel, 8);
    EXPECT_EQ(b.levelPitch[0], 112);
    EXPECT_EQ(b.levelPitch[1], 64);
    EXPECT_EQ(b.levelPitch[2], 32);
    EXPECT_EQ(b.levelSize[0], 6720);
    EXPECT_EQ(b.levelSize[1], 1920);
    EXPECT_EQ(b.levelSize[2], 480);
    ASSERT_EQ(b.paletteCount, 256);
    const sColor& e = *b.PaletteEntry(200);
    EXPECT_EQ(e.r, 200);
    EXPECT_EQ(e.g, 200);
    EXPECT_EQ(e.b, 200);
    EXPECT_EQ(e.a, 255);
    EXPECT_FALSE(b.externalMemory);
}

TEST(BitmapCreate, RoundsSizeToHalveExactly) {
    sBitmap b;
    b.Create(5, 3, BK_0565, 2);
    EXPECT_EQ(b.width, 6);
    EXPECT_EQ(b.height, 4);
    EXPECT_EQ(b.levelPitch[1], 16);
    EXPECT_EQ(b.levelSize[1], 16 * 2);
    EXPECT_EQ(b.paletteCount, 0);
    EXPECT_EQ(b.palette, nullptr);
}

TEST(BitmapCreate, PalettesOfTheSmallKinds) {
    sBitmap mono;
    mono.Create(8, 8, BK_MONO, 1);
    ASSERT_EQ(mono.paletteCount, 2);
    EXPECT_EQ(mono.palette[0].a, 0);
    EXPECT_EQ(mono.palette[0].r, 0);
    EXPECT_EQ(mono.palette[1].r, 255);
    EXPECT_EQ(mono.palette[1].a, 255);
    EXPECT_EQ(mono.levelPitch[0], 16);
    EXPECT_EQ(mono.ColorToIndex(0, 0, 0, 0), 1);
    EXPECT_EQ(mono.ColorToIndex(255, 255, 255, 255), 1);

    sBitmap four;
    four.Create(3, 1, BK_INDEX4, 1);
    ASSERT_EQ(four.paletteCount, 16);
    for (int i = 0; i < 16; i++) EXPECT_EQ(four.palette[i].g, i * 17);
}

TEST(BitmapCreate, PitchesOfWideRowsRoundUpTo16Bytes) {
    sBitmap b;
    b.Create(17, 1, BK_0888, 1);
    EXPECT_EQ(b.levelPitch[0], 64); // 51 bytes
    b.Create(129, 1, BK_MONO, 1);
    EXPECT_EQ(b.levelPitch[0], 32); // 17 bytes
}

TEST(BitmapCreate, BadArgumentsAreAssertions) {
    EXPECT_TRUE(RunOnThread([] { sBitmap().Create(0, 4, BK_INDEX8, 1); }).Asserted());
    EXPECT_TRUE(RunOnThread([] { sBitmap().Create(4, -1, BK_INDEX8, 1); }).Asserted());
    EXPECT_TRUE(RunOnThread([] { sBitmap().Create(4, 4, BitmapKind(8), 1); }).Asserted());
    EXPECT_TRUE(RunOnThread([] { sBitmap().Create(4, 4, BK_INDEX8, 0); }).Asserted());
    EXPECT_TRUE(RunOnThread([] { sBitmap().Create(4, 4, BK_INDEX8, 16); }).Asserted());
    // A level that cannot be counted in 32 bits is refused instead of overflowing.
    EXPECT_TRUE(RunOnThread([] { sBitmap().Create(65536, 65536, BK_8888, 1); }).Asserted());
    ThreadOutcome fine = RunOnThread([] { sBitmap().Create(1, 1, BK_MONO, 15); });
    EXPECT_EQ(fine.exitCode, 0u);
}

TEST(BitmapExternal, DescribesForeignMemoryAndFreesNothing) {
    static uint8_t memory[4 * 640];
    static sColor colors[256];
    sBitmap* b = new sBitmap;
    b->CreateExternal(640, 4, BK_INDEX8, 8, 1);
    EXPECT_TRUE(b->externalMemory);
    EXPECT_EQ(b->paletteCount, 0);
    b->SetExternalLevel(640, memory, 0);
    b->SetExternalPalette(256, colors);
    EXPECT_EQ(b->levelSize[0], 640 * 4);
    EXPECT_EQ(b->PixelAddress(3, 2, 0), memory + 2 * 640 + 3);
    b->SetPixel(77, 3, 2, 0);
    EXPECT_EQ(memory[2 * 640 + 3], 77);
    delete b; // freeing static memory would crash under the allocator's checks
    EXPECT_EQ(memory[2 * 640 + 3], 77);
}

TEST(BitmapExternal, OperationsOnAnOwningBitmapAreAssertions) {
    EXPECT_TRUE(RunOnThread([] {
                    sBitmap b;
                    b.Create(4, 4, BK_INDEX8, 1);
                    static uint8_t m[16];
                    b.SetExternalLevel(4, m, 0);
                }).Asserted());
    EXPECT_TRUE(RunOnThread([] {
                    sBitmap b;
                    static sColor c[2];
                    b.SetExternalPalette(2, c);
                }).Asserted());
    EXPECT_TRUE(RunOnThread([] {
                    sBitmap b;
                    b.CreateExternal(4, 4, BK_INDEX8, 8, 1);
                    static uint8_t m[16];
                    b.SetExternalLevel(4, m, 1);
                }).Asserted());
    EXPECT_TRUE(RunOnThread([] { sBitmap().CreateExternal(4, 4, BK_INDEX8, 8, 16); }).Asserted());
}

TEST(BitmapFree, KeepsSizesAndClearsPointers) {
    sBitmap b;
    b.Create(8, 8, BK_INDEX8, 2);
    b.Create(4, 4, BK_0565, 1); // the first memory is freed here (checked by the sanitizer build)
    b.Free();
    EXPECT_EQ(b.width, 4);
    EXPECT_EQ(b.levelCount, 1);
    EXPECT_EQ(b.levelData[0], nullptr);
    EXPECT_EQ(b.palette, nullptr);
}

// ---- pixels ----------------------------------------------------------------------

struct KindCase {
    BitmapKind kind;
    uint32_t mask;
};

class PixelRoundTrip : public ::testing::TestWithParam<KindCase> {};

TEST_P(PixelRoundTrip, GetReturnsWhatSetStoredAndNeighboursKeepTheirs) {
    KindCase c = GetParam();
    sBitmap b;
    b.Create(19, 7, c.kind, 3);
    for (int l = 0; l < 3; l++) {
        int w = std::max(1, b.width >> l), h = std::max(1, b.height >> l);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                b.SetPixel((uint32_t(x * 2654435761u + y * 40503u + l)) & c.mask, x, y, l);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                ASSERT_EQ(b.GetPixel(x, y, l),
                          (uint32_t(x * 2654435761u + y * 40503u + l)) & c.mask)
                    << "kind " << c.kind << " level " << l << " at " << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, PixelRoundTrip,
                         ::testing::Values(KindCase{BK_MONO, 1}, KindCase{BK_INDEX4, 0xF},
                                           KindCase{BK_INDEX8, 0xFF}, KindCase{BK_0565, 0xFFFF},
                                           KindCase{BK_1555, 0xFFFF}, KindCase{BK_4444, 0xFFFF},
                                           KindCase{BK_0888, 0xFFFFFF},
                                           KindCase{BK_8888, 0xFFFFFFFF}));

TEST(BitmapPixels, ByteLayoutsOfTheKinds) {
    sBitmap b;
    b.Create(16, 1, BK_INDEX4, 1);
    b.Fill(0);
    b.SetPixel(0xA, 0, 0, 0);
    b.SetPixel(0x5, 1, 0, 0);
    EXPECT_EQ(b.levelData[0][0], 0xA5);

    b.Create(16, 1, BK_MONO, 1);
    b.Fill(0);
    b.SetPixel(1, 0, 0, 0);
    b.SetPixel(3, 9, 0, 0); // only bit 0 of the value counts
    EXPECT_EQ(b.levelData[0][0], 0x80);
    EXPECT_EQ(b.levelData[0][1], 0x40);
    b.SetPixel(2, 0, 0, 0);
    EXPECT_EQ(b.levelData[0][0], 0x00);

    b.Create(4, 1, BK_0888, 1);
    b.SetPixel(0x112233, 1, 0, 0);
    EXPECT_EQ(b.levelData[0][3], 0x33);
    EXPECT_EQ(b.levelData[0][4], 0x22);
    EXPECT_EQ(b.levelData[0][5], 0x11);

    b.Create(4, 1, BK_0565, 1);
    b.SetPixel(0xBEEF, 2, 0, 0);
    EXPECT_EQ(b.levelData[0][4], 0xEF);
    EXPECT_EQ(b.levelData[0][5], 0xBE);
}

TEST(BitmapPixels, UnknownKindStoresNothingAndReadsMinusOne) {
    sBitmap b;
    b.Create(4, 1, BK_INDEX8, 1);
    b.levelData[0][0] = 9;
    b.kind = 8;
    b.SetPixel(1, 0, 0, 0);
    EXPECT_EQ(b.levelData[0][0], 9);
    EXPECT_EQ(b.GetPixel(0, 0, 0), 0xFFFFFFFFu);
    sColor c = {1, 2, 3, 4};
    b.IndexToColor(0, c);
    EXPECT_EQ(c.r, 1);
    EXPECT_EQ(c.a, 4);
    b.kind = BK_INDEX8;
}

// ---- colours ---------------------------------------------------------------------

sColor ColorOf(const sBitmap& b, uint32_t value) {
    sColor c = {7, 7, 7, 7};
    b.IndexToColor(value, c);
    return c;
}

void ExpectColor(sColor c, int r, int g, int b, int a) {
    EXPECT_EQ(c.r, r);
    EXPECT_EQ(c.g, g);
    EXPECT_EQ(c.b, b);
    EXPECT_EQ(c.a, a);
}

TEST(BitmapColors, SixteenBitKinds) {
    sBitmap b;
    b.Create(1, 1, BK_0565, 1);
    EXPECT_EQ(b.ColorToIndex(255, 255, 255, 255), 0xFFFF);
    ExpectColor(ColorOf(b, 0xFFFF), 248, 252, 248, 255);
    EXPECT_EQ(b.ColorToIndex(0x80, 0x40, 0x20, 0), (0x10 << 11) | (0x10 << 5) | 0x04);

    b.Create(1, 1, BK_4444, 1);
    sColor c = ColorOf(b, 0x1234);
    ExpectColor(c, 0x22, 0x33, 0x44, 0x11);
    EXPECT_EQ(b.ColorToIndex(c), 0x1234);

    b.Create(1, 1, BK_1555, 1);
    ExpectColor(ColorOf(b, 0x8000), 0, 0, 0, 255);
    ExpectColor(ColorOf(b, 0x7FFF), 248, 248, 248, 0);
    EXPECT_EQ(b.ColorToIndex(248, 248, 248, 128), 0xFFFF);
    EXPECT_EQ(b.ColorToIndex(248, 248, 248, 127), 0x7FFF);
}

TEST(BitmapColors, TrueColorKinds) {
    sBitmap b;
    b.Create(1, 1, BK_0888, 1);
    EXPECT_EQ(b.ColorToIndex(0x12, 0x34, 0x56, 0x78), 0x123456);
    ExpectColor(ColorOf(b, 0xAABBCC), 0xAA, 0xBB, 0xCC, 7); // alpha untouched

    b.Create(1, 1, BK_8888, 1);
    EXPECT_EQ(uint32_t(b.ColorToIndex(0x12, 0x34, 0x56, 0xF8)), 0xF8123456u);
    ExpectColor(ColorOf(b, 0x80AABBCC), 0xAA, 0xBB, 0xCC, 0x80);
}

TEST(BitmapColors, PaletteLookupMasksTheValue) {
    sBitmap b;
    b.Create(1, 1, BK_INDEX4, 1);
    b.palette[3] = {1, 2, 3, 4};
    ExpectColor(ColorOf(b, 0x13), 1, 2, 3, 4);
}

TEST(BitmapColors, NearestEntryOnAGreyRampSkipsEntryZero) {
    sBitmap b;
    b.Create(1, 1, BK_INDEX8, 1);
    EXPECT_EQ(b.ColorToIndex(10, 20, 30, 255), 20);
    EXPECT_EQ(b.ColorToIndex(0, 0, 0, 255), 1);
    EXPECT_EQ(b.ColorToIndex(255, 255, 255, 0), 255);
}

TEST(BitmapColors, NearestEntryTiesGoToTheLowestIndex) {
    sBitmap b;
    b.Create(1, 1, BK_INDEX4, 1);
    for (int i = 0; i < 16; i++) b.palette[i] = {200, 200, 200, 255};
    b.palette[0] = {10, 10, 10, 255};  // exact, but never chosen
    b.palette[5] = {10, 10, 40, 255};  // distance 30
    b.palette[9] = {40, 10, 10, 255};  // distance 30 as well
    b.palette[12] = {10, 10, 41, 255}; // farther
    EXPECT_EQ(b.ColorToIndex(10, 10, 10, 0), 5);
}

TEST(BitmapColors, TooSmallPaletteGivesMinusTen) {
    sBitmap b;
    b.Create(1, 1, BK_INDEX8, 1);
    b.paletteCount = 1;
    EXPECT_EQ(b.ColorToIndex(1, 2, 3, 4), -10);
}

TEST(BitmapColors, UnknownKindIsFatal) {
    ThreadOutcome o = RunOnThread([] {
        sBitmap b;
        b.Create(1, 1, BK_INDEX8, 1);
        b.kind = 9;
        b.ColorToIndex(1, 2, 3, 4);
    });
    EXPECT_TRUE(o.Fatal("sBitmap::ColorToIndex() unknown bitmap kind"));
}

// ---- whole bitmaps -------------------------------------------------------------------

TEST(BitmapFill, MonoOnesEverywhere) {
    sBitmap b;
    b.Create(24, 8, BK_MONO, 2);
    b.Fill(1);
    for (int l = 0; l < 2; l++)
        for (int y = 0; y < (8 >> l); y++)
            for (int x = 0; x < (24 >> l); x++) ASSERT_EQ(b.GetPixel(x, y, l), 1u);
    b.Fill(2);
    EXPECT_EQ(b.GetPixel(5, 5, 0), 0u);
}

TEST(BitmapFill, PatternsOfFourAndSixteenBits) {
    sBitmap b;
    b.Create(8, 2, BK_INDEX4, 1);
    b.Fill(0x37);
    for (int x = 0; x < 8; x++) EXPECT_EQ(b.GetPixel(x, 1, 0), 7u);
    b.Create(8, 2, BK_1555, 1);
    b.Fill(0x12345);
    for (int x = 0; x < 8; x++) EXPECT_EQ(b.GetPixel(x, 1, 0), 0x2345u);
    EXPECT_EQ(b.levelData[0][b.levelSize[0] - 1], 0x23); // padding bytes too
}

TEST(BitmapFill, TwentyFourBitsTouchesOnlyTheRows) {
    // Levels described over one buffer, with guard bytes after each row's pixels.
    static uint8_t memory[3][64];
    memset(memory, 0xCC, sizeof memory);
    sBitmap b;
    b.CreateExternal(4, 4, BK_0888, 24, 3);
    b.SetExternalLevel(16, memory[0], 0); // 4 rows of 12 pixel bytes + 4 guard bytes
    b.SetExternalLevel(16, memory[1], 1); // 2 rows of 6
    b.SetExternalLevel(16, memory[2], 2); // 1 row of 3
    b.Fill(0x010203);
    const int rows[3] = {4, 2, 1}, width[3] = {4, 2, 1};
    for (int l = 0; l < 3; l++)
        for (int y = 0; y < 4; y++)
            for (int i = 0; i < 16; i++) {
                uint8_t byte = memory[l][y * 16 + i];
                if (y < rows[l] && i < 3 * width[l])
                    ASSERT_EQ(byte, 3 - i % 3) << "level " << l << " row " << y << " byte " << i;
                else
                    ASSERT_EQ(byte, 0xCC) << "level " << l << " row " << y << " byte " << i;
            }
}

TEST(BitmapFill, TwentyFourBitsOwnedLevelsGetTheValue) {
    sBitmap b;
    b.Create(12, 8, BK_0888, 3);
    b.Fill(0xABCDEF);
    for (int l = 0; l < 3; l++)
        for (int y = 0; y < (8 >> l); y++)
            for (int x = 0; x < (12 >> l); x++) ASSERT_EQ(b.GetPixel(x, y, l), 0xABCDEFu);
}

TEST(BitmapConvert, IndexedToTrueColorAndBack) {
    sBitmap src;
    src.Create(4, 4, BK_INDEX8, 2);
    src.palette[7] = {255, 0, 0, 255};
    src.palette[8] = {0, 0, 255, 255};
    for (int l = 0; l < 2; l++)
        for (int y = 0; y < (4 >> l); y++)
            for (int x = 0; x < (4 >> l); x++) src.SetPixel((x + y) % 2 ? 7 : 8, x, y, l);
    sBitmap rgb;
    rgb.Create(4, 4, BK_0565, 3);
    rgb.Fill(0);
    sBlitRect all = {0, 0, 0, 0, 4, 4};
    rgb.ConvertFrom(src, all);
    EXPECT_EQ(rgb.GetPixel(1, 0, 0), 0xF800u);
    EXPECT_EQ(rgb.GetPixel(0, 0, 0), 0x001Fu);
    EXPECT_EQ(rgb.GetPixel(1, 1, 1), 0x001Fu);
    EXPECT_EQ(rgb.GetPixel(0, 0, 2), 0u); // only the levels both bitmaps have

    sBitmap back;
    back.Create(4, 4, BK_INDEX8, 1);
    back.palette[3] = {250, 0, 0, 255};
    back.ConvertFrom(rgb, all);
    EXPECT_EQ(back.GetPixel(1, 0, 0), 3u);
}

TEST(BitmapConvert, RegionSizeOnlyFromTheOrigin) {
    sBitmap src, dst;
    src.Create(8, 8, BK_8888, 1);
    src.Fill(0xFF102030);
    dst.Create(8, 8, BK_8888, 1);
    dst.Fill(0);
    sBlitRect r = {5, 5, 6, 6, 2, 3};
    dst.ConvertFrom(src, r);
    EXPECT_EQ(dst.GetPixel(1, 2, 0), 0xFF102030u);
    EXPECT_EQ(dst.GetPixel(2, 0, 0), 0u);
    EXPECT_EQ(dst.GetPixel(0, 3, 0), 0u);
    EXPECT_EQ(dst.GetPixel(6, 6, 0), 0u);
}

TEST(BitmapConvert, TrueColorSourceStaysOpaque) {
    sBitmap src, dst;
    src.Create(1, 1, BK_0888, 1);
    src.SetPixel(0x808080, 0, 0, 0);
    dst.Create(1, 1, BK_1555, 1);
    sBlitRect r = {0, 0, 0, 0, 1, 1};
    dst.ConvertFrom(src, r);
    EXPECT_EQ(dst.GetPixel(0, 0, 0), 0x8000u | (16 << 10) | (16 << 5) | 16);
}

TEST(BitmapRemap, GreyToABandOfThePalette) {
    sBitmap b;
    b.Create(3, 1, BK_INDEX8, 1);
    b.SetPixel(0, 0, 0, 0);
    b.SetPixel(255, 1, 0, 0);
    b.SetPixel(128, 2, 0, 0);
    b.RemapToRange(128, 191);
    EXPECT_EQ(b.GetPixel(0, 0, 0), 128u);
    EXPECT_EQ(b.GetPixel(1, 0, 0), 191u);
    EXPECT_EQ(b.GetPixel(2, 0, 0), 159u);
    EXPECT_EQ(b.palette[128].r, 128); // palette unchanged
}

TEST(BitmapRemap, OnlyIndex8WithAFullPalette) {
    EXPECT_TRUE(RunOnThread([] {
                    sBitmap b;
                    b.Create(2, 2, BK_INDEX4, 1);
                    b.RemapToRange(0, 15);
                }).Asserted());
    EXPECT_TRUE(RunOnThread([] {
                    sBitmap b;
                    b.Create(2, 2, BK_INDEX8, 1);
                    b.paletteCount = 16;
                    b.RemapToRange(0, 15);
                }).Asserted());
}

} // namespace
