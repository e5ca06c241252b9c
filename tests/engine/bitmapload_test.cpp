// sBitmap::Load: the cases of the bitmap file format, loads through the packfile, and
// damaged files, which end in the loader's assertion and never read or allocate more
// than the file justifies.
#include <gtest/gtest.h>

#include "bitmap.h"
#include "file.h"
#include "file_test_support.h"

using namespace filetest;

namespace {

struct Header {
    int bits;
    int flags;
    std::vector<sColor> palette;
    int width = 0, height = 0, rowBytes = 0, levels = 1;
};

Bytes MakeBitmapFile(const Header& h, const Bytes& rows) {
    Bytes b;
    PutText(b, "BMAP");
    PutU8(b, h.bits);
    PutU8(b, h.flags);
    if (h.flags & 1) {
        PutU16(b, unsigned(h.palette.size()));
        for (const sColor& c : h.palette) b.insert(b.end(), {c.r, c.g, c.b, c.a});
    }
    if (h.flags & 2) {
        PutU16(b, h.width);
        PutU16(b, h.height);
        PutU16(b, h.rowBytes);
        if (h.flags & 4) PutU8(b, h.levels);
        b.insert(b.end(), rows.begin(), rows.end());
    }
    PutText(b, "bmap");
    return b;
}

class LoadTest : public ::testing::Test {
protected:
    void SetUp() override { ForgetPackfile(); }
    void TearDown() override { ForgetPackfile(); }
    std::string Write(const Bytes& b) { return dir.Write("image.scl", b); }
    ThreadOutcome LoadOnThread(const Bytes& b) {
        std::string path = Write(b);
        return RunOnThread([path] {
            sBitmap bitmap;
            bitmap.Load(path.c_str());
        });
    }
    ScratchDir dir;
};

TEST_F(LoadTest, PaletteAndPixels) {
    Bytes rows = {0, 1, 1, 0, 1, 0, 0, 1};
    std::string path =
        Write(MakeBitmapFile({8, 3, {{255, 0, 0, 255}, {0, 0, 255, 255}}, 4, 2, 4}, rows));
    sBitmap b;
    b.Load(path.c_str());
    EXPECT_EQ(b.kind, BK_INDEX8);
    EXPECT_EQ(b.width, 4);
    EXPECT_EQ(b.height, 2);
    ASSERT_EQ(b.paletteCount, 256);
    EXPECT_EQ(b.palette[0].r, 255);
    EXPECT_EQ(b.palette[0].b, 0);
    EXPECT_EQ(b.palette[1].b, 255);
    EXPECT_EQ(b.palette[1].r, 0);
    for (int i = 2; i < 256; i++) {
        ASSERT_EQ(b.palette[i].r, i);
        ASSERT_EQ(b.palette[i].a, 255);
    }
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 4; x++) EXPECT_EQ(b.GetPixel(x, y, 0), rows[y * 4 + x]);
}

TEST_F(LoadTest, HeaderOnlyGivesOnePixel) {
    std::string path = Write(MakeBitmapFile({24, 0, {}}, {}));
    sBitmap b;
    b.Load(path.c_str());
    EXPECT_EQ(b.kind, BK_0888);
    EXPECT_EQ(b.width, 1);
    EXPECT_EQ(b.height, 1);
    EXPECT_EQ(b.levelCount, 1);
    EXPECT_EQ(b.palette, nullptr);
}

TEST_F(LoadTest, MipLevelsFollowOneAnother) {
    Bytes rows;
    for (int l = 0; l < 4; l++)
        for (int i = 0; i < (8 >> l) * (16 >> l); i++) rows.push_back(uint8_t(l * 64 + i));
    std::string path = Write(MakeBitmapFile({16, 6, {}, 8, 8, 16, 4}, rows));
    sBitmap b;
    b.Load(path.c_str());
    EXPECT_EQ(b.kind, BK_0565);
    ASSERT_EQ(b.levelCount, 4);
    size_t at = 0;
    for (int l = 0; l < 4; l++)
        for (int y = 0; y < (8 >> l); y++)
            for (int i = 0; i < (16 >> l); i++)
                ASSERT_EQ(b.PixelAddress(0, y, l)[i], rows[at++]) << "level " << l;
}

TEST_F(LoadTest, LevelWhoseShiftedHeightIsZeroHasNoRows) {
    Bytes rows(2 * 16 + 1 * 8, 0x5A);
    Bytes file = MakeBitmapFile({16, 6, {}, 8, 2, 16, 3}, rows);
    std::string path = Write(file);
    sBitmap b;
    b.Load(path.c_str());
    EXPECT_EQ(b.height, 4); // rounded for three levels
    EXPECT_EQ(b.levelCount, 3);
    EXPECT_EQ(b.GetPixel(0, 1, 0), 0x5A5Au);
    EXPECT_EQ(b.GetPixel(3, 0, 1), 0x5A5Au);
}

TEST_F(LoadTest, OneBitWithPaletteReadsEightBitRows) {
    Bytes rows = {0x12, 0x34};
    std::string path = Write(MakeBitmapFile({1, 3, {{1, 2, 3, 4}}, 16, 1, 2}, rows));
    sBitmap b;
    b.Load(path.c_str());
    EXPECT_EQ(b.kind, BK_INDEX8);
    EXPECT_EQ(b.GetPixel(0, 0, 0), 0x12u);
    EXPECT_EQ(b.GetPixel(1, 0, 0), 0x34u);
    EXPECT_EQ(b.palette[0].a, 4);
}

TEST_F(LoadTest, MonoWithoutPalette) {
    std::string path = Write(MakeBitmapFile({1, 2, {}, 8, 1, 1}, {0xA0}));
    sBitmap b;
    b.Load(path.c_str());
    EXPECT_EQ(b.kind, BK_MONO);
    EXPECT_EQ(b.GetPixel(0, 0, 0), 1u);
    EXPECT_EQ(b.GetPixel(1, 0, 0), 0u);
    EXPECT_EQ(b.GetPixel(2, 0, 0), 1u);
}

TEST_F(LoadTest, LoadsFromThePositionInAnOpenFile) {
    Bytes b = {'j', 'u', 'n', 'k'};
    Bytes image = MakeBitmapFile({8, 2, {}, 2, 1, 2}, {7, 9});
    b.insert(b.end(), image.begin(), image.end());
    std::string path = Write(b);
    sFile f;
    f.Open(path.c_str(), 1);
    f.Seek(4);
    sBitmap bitmap;
    bitmap.Load(f);
    EXPECT_EQ(bitmap.GetPixel(1, 0, 0), 9u);
    EXPECT_EQ(f.position, int(b.size()));
}

TEST_F(LoadTest, LoadsFromThePackfileByName) {
    Bytes image = MakeBitmapFile({8, 2, {}, 3, 1, 3}, {1, 2, 3});
    Bytes pack;
    PutText(pack, "PACK");
    PutU32(pack, 0);
    PutU32(pack, 0);
    PutU32(pack, 1);
    PutU32(pack, uint32_t(image.size()));
    PutU32(pack, 100);
    PutText(pack, "VD\\IMG.SCL");
    PutU8(pack, 0);
    PutText(pack, "pack");
    pack.resize(100, 0);
    pack.insert(pack.end(), image.begin(), image.end());
    OpenPackfile(dir.Write("p.dat", pack).c_str());
    sBitmap b;
    b.Load("vd/img.scl");
    EXPECT_EQ(b.GetPixel(2, 0, 0), 3u);
}

// ---- damaged files ------------------------------------------------------------------

TEST_F(LoadTest, FormatErrorsAreAssertions) {
    Bytes good = MakeBitmapFile({8, 2, {}, 2, 1, 2}, {1, 2});
    Bytes badHead = good;
    badHead[0] = 'b';
    EXPECT_TRUE(LoadOnThread(badHead).Asserted());
    Bytes badEnd = good;
    badEnd.back() = 'P';
    EXPECT_TRUE(LoadOnThread(badEnd).Asserted());
    EXPECT_TRUE(LoadOnThread(MakeBitmapFile({4, 2, {}, 2, 1, 1}, {1})).Asserted());
    EXPECT_TRUE(LoadOnThread(MakeBitmapFile({32, 2, {}, 1, 1, 4}, {1, 2, 3, 4})).Asserted());
    ThreadOutcome fine = LoadOnThread(good);
    EXPECT_EQ(fine.exitCode, 0u);
    EXPECT_TRUE(fine.debugLines.empty());
}

TEST_F(LoadTest, PaletteOfMoreThan256Entries) {
    EXPECT_TRUE(LoadOnThread(MakeBitmapFile({8, 1, std::vector<sColor>(257)}, {})).Asserted());
    EXPECT_EQ(LoadOnThread(MakeBitmapFile({8, 1, std::vector<sColor>(256)}, {})).exitCode, 0u);
}

TEST_F(LoadTest, LevelCountOutsideTheUsableRange) {
    EXPECT_TRUE(LoadOnThread(MakeBitmapFile({8, 6, {}, 4, 4, 4, 0}, {})).Asserted());
    EXPECT_TRUE(
        LoadOnThread(MakeBitmapFile({8, 6, {}, 4, 4, 4, 16}, Bytes(16 + 4 + 1))).Asserted());
    EXPECT_TRUE(
        LoadOnThread(MakeBitmapFile({8, 6, {}, 4, 4, 4, 17}, Bytes(16 + 4 + 1))).Asserted());
}

TEST_F(LoadTest, RowsLongerThanThePitch) {
    // An 8-wide Index 8 level has a 16-byte pitch: 17 stored bytes cannot fit.
    EXPECT_TRUE(LoadOnThread(MakeBitmapFile({8, 2, {}, 8, 1, 17}, Bytes(17))).Asserted());
    EXPECT_EQ(LoadOnThread(MakeBitmapFile({8, 2, {}, 8, 1, 16}, Bytes(16))).exitCode, 0u);
}

TEST_F(LoadTest, ZeroWidth) {
    EXPECT_TRUE(LoadOnThread(MakeBitmapFile({8, 2, {}, 0, 1, 0}, {})).Asserted());
}

TEST_F(LoadTest, FileCutShortInTheRows) {
    Bytes file = MakeBitmapFile({8, 2, {}, 16, 16, 16}, Bytes(256, 1));
    file.resize(file.size() - 100);
    ThreadOutcome o = LoadOnThread(file);
    ASSERT_TRUE(o.finished);
    EXPECT_TRUE(o.Asserted());
}

TEST_F(LoadTest, HugeSizeWithoutRowsIsRefusedBeforeAllocating) {
    // 65535 x 65535 at 24 bits would be 12 GB; the file stores no row bytes at all.
    ThreadOutcome o = LoadOnThread(MakeBitmapFile({24, 2, {}, 65535, 65535, 0}, {}));
    ASSERT_TRUE(o.finished);
    EXPECT_TRUE(o.Asserted());
}

TEST_F(LoadTest, RoundingForManyLevelsCannotInflateATinyFile) {
    // One stored pixel asking for 15 levels would round to 16384 x 16384.
    ThreadOutcome o = LoadOnThread(MakeBitmapFile({24, 6, {}, 1, 1, 3, 15}, {1, 2, 3}));
    EXPECT_TRUE(o.Asserted());
}

} // namespace
