// mkbmap: PNG pictures into bitmap files the engine loads, and back to PNG; the
// colour reduction and mip levels of the tool library.
#include <gtest/gtest.h>

#include "bitmap.h"
#include "bmapbuild.h"
#include "bmapfile.h"
#include "file.h"
#include "mkpack_test_support.h"
#include "pngio.h"
#include "quantize.h"

using namespace tooltest;
using pngio::Rgba;

namespace {

pngio::Image PalettePicture(int w, int h) {
    pngio::Image img;
    img.width = w;
    img.height = h;
    img.layout = pngio::Layout::Palette;
    for (int i = 0; i < 40; i++)
        img.palette.push_back({uint8_t(i * 6), uint8_t(255 - i), uint8_t(i * i), 255});
    img.palette[5].a = 128;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) img.samples.push_back(uint8_t((x * 3 + y * 7) % 40));
    return img;
}

pngio::Image ColorPicture(int w, int h, pngio::Layout layout) {
    pngio::Image img;
    img.width = w;
    img.height = h;
    img.layout = layout;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            img.samples.push_back(uint8_t(x * 255 / std::max(1, w - 1)));
            if (layout == pngio::Layout::Grey) continue;
            img.samples.push_back(uint8_t(y * 255 / std::max(1, h - 1)));
            img.samples.push_back(uint8_t((x ^ y) * 16));
            if (layout == pngio::Layout::Rgba) img.samples.push_back(200);
        }
    return img;
}

std::string WritePng(const Scratch& dir, const std::string& name, const pngio::Image& img) {
    std::string error, path = dir.Path(name);
    EXPECT_TRUE(pngio::Write(path, img, error)) << error;
    return path;
}

void LoadWithEngine(const std::string& path, sBitmap& b) {
    ForgetPackfile();
    b.Load(path.c_str());
}

class MkbmapTest : public ::testing::Test {
protected:
    ToolRun Mkbmap(const std::string& args) { return RunTool("mkbmap", args); }
    Scratch dir;
};

TEST_F(MkbmapTest, PalettePictureKeepsItsPaletteAndIndices) {
    pngio::Image img = PalettePicture(13, 5);
    std::string png = WritePng(dir, "p.png", img);
    ToolRun r = Mkbmap("'" + png + "' '" + dir.Path("p.scl") + "'");
    ASSERT_EQ(r.status, 0) << r.output;
    sBitmap b;
    LoadWithEngine(dir.Path("p.scl"), b);
    EXPECT_EQ(b.kind, BK_INDEX8);
    EXPECT_EQ(b.width, 13);
    EXPECT_EQ(b.height, 5);
    for (int i = 0; i < 40; i++) {
        EXPECT_EQ(b.palette[i].r, img.palette[i].r);
        EXPECT_EQ(b.palette[i].b, img.palette[i].b);
        EXPECT_EQ(b.palette[i].a, img.palette[i].a);
    }
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 13; x++) ASSERT_EQ(b.GetPixel(x, y, 0), img.samples[y * 13 + x]);
}

TEST_F(MkbmapTest, RoundTripReproducesThePixels) {
    struct Case {
        const char* name;
        pngio::Image img;
        const char* kind;
    } cases[] = {
        {"palette", PalettePicture(9, 4), ""},
        {"grey", ColorPicture(17, 3, pngio::Layout::Grey), ""},
        {"rgb888", ColorPicture(7, 6, pngio::Layout::Rgb), "--kind 0888"},
        {"fewcolours", ColorPicture(4, 4, pngio::Layout::Rgb), ""},
    };
    for (const Case& c : cases) {
        std::string png = WritePng(dir, std::string(c.name) + ".png", c.img);
        std::string scl = dir.Path(std::string(c.name) + ".scl"),
                    back = dir.Path(std::string(c.name) + "-back.png");
        ASSERT_EQ(Mkbmap(std::string(c.kind) + " '" + png + "' '" + scl + "'").status, 0) << c.name;
        ToolRun r = Mkbmap("--png '" + scl + "' '" + back + "'");
        ASSERT_EQ(r.status, 0) << c.name << r.output;
        pngio::Image again;
        std::string error;
        ASSERT_TRUE(pngio::Read(back, again, error)) << error;
        ASSERT_EQ(again.width, c.img.width) << c.name;
        ASSERT_EQ(again.height, c.img.height) << c.name;
        for (int y = 0; y < c.img.height; y++)
            for (int x = 0; x < c.img.width; x++) {
                Rgba want = c.img.ColorAt(x, y), got = again.ColorAt(x, y);
                ASSERT_TRUE(want == got) << c.name << " at " << x << "," << y;
            }
    }
}

TEST_F(MkbmapTest, GreyPictureGetsAGreyPaletteAndItsLevelsAsIndices) {
    pngio::Image img = ColorPicture(16, 2, pngio::Layout::Grey);
    std::string png = WritePng(dir, "g.png", img);
    ASSERT_EQ(Mkbmap("'" + png + "' '" + dir.Path("g.scl") + "'").status, 0);
    sBitmap b;
    LoadWithEngine(dir.Path("g.scl"), b);
    EXPECT_EQ(b.kind, BK_INDEX8);
    EXPECT_EQ(b.GetPixel(15, 1, 0), 255u);
    EXPECT_EQ(b.GetPixel(3, 0, 0), 51u);
    EXPECT_EQ(b.palette[51].g, 51);
}

TEST_F(MkbmapTest, Kind0565StoresLittleEndianWords) {
    pngio::Image img;
    img.width = 2;
    img.height = 1;
    img.layout = pngio::Layout::Rgb;
    img.samples = {255, 0, 0, 0x80, 0x40, 0x20};
    std::string png = WritePng(dir, "c.png", img);
    ASSERT_EQ(Mkbmap("--kind 0565 '" + png + "' '" + dir.Path("c.scl") + "'").status, 0);
    sBitmap b;
    LoadWithEngine(dir.Path("c.scl"), b);
    EXPECT_EQ(b.kind, BK_0565);
    EXPECT_EQ(b.GetPixel(0, 0, 0), 0xF800u);
    EXPECT_EQ(b.GetPixel(1, 0, 0), uint32_t(0x10 << 11 | 0x10 << 5 | 0x04));
}

TEST_F(MkbmapTest, MonoSetsBrightPixels) {
    pngio::Image img = ColorPicture(12, 2, pngio::Layout::Grey);
    std::string png = WritePng(dir, "m.png", img);
    ASSERT_EQ(Mkbmap("--kind mono '" + png + "' '" + dir.Path("m.scl") + "'").status, 0);
    sBitmap b;
    LoadWithEngine(dir.Path("m.scl"), b);
    EXPECT_EQ(b.kind, BK_MONO);
    for (int x = 0; x < 12; x++)
        EXPECT_EQ(b.GetPixel(x, 1, 0), img.samples[x] >= 128 ? 1u : 0u) << x;
}

TEST_F(MkbmapTest, LevelsAverageTheLevelAbove) {
    pngio::Image img;
    img.width = 4;
    img.height = 4;
    img.layout = pngio::Layout::Rgb;
    for (int i = 0; i < 16; i++)
        img.samples.insert(img.samples.end(), {uint8_t(i * 10), uint8_t(i), 0});
    std::string png = WritePng(dir, "l.png", img);
    ASSERT_EQ(Mkbmap("--kind 0888 --levels 3 '" + png + "' '" + dir.Path("l.scl") + "'").status, 0);
    sBitmap b;
    LoadWithEngine(dir.Path("l.scl"), b);
    ASSERT_EQ(b.levelCount, 3);
    // Level 1 pixel (1, 0) averages level-0 pixels 2, 3, 6 and 7: red (20+30+60+70)/4 = 45.
    EXPECT_EQ(b.GetPixel(1, 0, 1) >> 16, 45u);
    // Level 2 averages the four level-1 pixels: red of all sixteen = 75.
    EXPECT_EQ(b.GetPixel(0, 0, 2) >> 16, 75u);
}

TEST_F(MkbmapTest, OddSizesArePaddedForLevels) {
    pngio::Image img = PalettePicture(5, 3);
    std::string png = WritePng(dir, "o.png", img);
    ToolRun r = Mkbmap("--levels 3 '" + png + "' '" + dir.Path("o.scl") + "'");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("padded"), std::string::npos);
    sBitmap b;
    LoadWithEngine(dir.Path("o.scl"), b);
    EXPECT_EQ(b.width, 8);
    EXPECT_EQ(b.height, 4);
    // The last column and row repeat into the padding.
    EXPECT_EQ(b.GetPixel(7, 3, 0), img.samples[2 * 5 + 4]);
}

TEST_F(MkbmapTest, ManyColoursAreReducedTo256) {
    pngio::Image img = ColorPicture(64, 64, pngio::Layout::Rgb);
    for (size_t i = 2; i < img.samples.size(); i += 3) img.samples[i] = uint8_t(i * 13);
    std::string png = WritePng(dir, "many.png", img);
    ASSERT_EQ(Mkbmap("'" + png + "' '" + dir.Path("many.scl") + "'").status, 0);
    sBitmap b;
    LoadWithEngine(dir.Path("many.scl"), b);
    EXPECT_EQ(b.kind, BK_INDEX8);
    long error = 0;
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            Rgba want = img.ColorAt(x, y);
            const sColor& got = b.palette[b.GetPixel(x, y, 0)];
            error += std::abs(want.r - got.r) + std::abs(want.g - got.g) + std::abs(want.b - got.b);
        }
    EXPECT_LT(error / (64 * 64), 40); // mean error per pixel over three channels
}

TEST_F(MkbmapTest, BadArgumentsAndFiles) {
    EXPECT_EQ(Mkbmap("").status, 2);
    EXPECT_EQ(Mkbmap("--kind 4444 a.png b.scl").status, 2);
    EXPECT_EQ(Mkbmap("--levels 16 a.png b.scl").status, 2);
    ToolRun missing = Mkbmap("'" + dir.Path("none.png") + "' '" + dir.Path("x.scl") + "'");
    EXPECT_EQ(missing.status, 1);
    dir.Write("junk.png", {1, 2, 3});
    EXPECT_EQ(Mkbmap("'" + dir.Path("junk.png") + "' '" + dir.Path("x.scl") + "'").status, 1);
    dir.Write("junk.scl", {'B', 'M', 'A', 'P', 4, 0, 'b', 'm', 'a', 'p'});
    ToolRun bad = Mkbmap("--png '" + dir.Path("junk.scl") + "' '" + dir.Path("x.png") + "'");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.output.find("bits per pixel"), std::string::npos) << bad.output;
}

// ---- the library under the tool ------------------------------------------------------

TEST(Quantize, ExactPaletteWhenColoursFit) {
    std::vector<Rgba> px = {{1, 2, 3, 255}, {9, 9, 9, 255}, {1, 2, 3, 255}, {0, 0, 0, 0}};
    std::vector<Rgba> pal = quantize::MakePalette(px, 256);
    ASSERT_EQ(pal.size(), 3u);
    EXPECT_TRUE(pal[0] == px[0]);
    EXPECT_TRUE(pal[2] == px[3]);
    std::vector<uint8_t> idx = quantize::MapToPalette(px, pal);
    EXPECT_EQ(idx, (std::vector<uint8_t>{0, 1, 0, 2}));
}

TEST(Quantize, MedianCutStaysWithinTheLimit) {
    std::vector<Rgba> px;
    for (int i = 0; i < 4096; i++)
        px.push_back({uint8_t(i), uint8_t(i >> 4), uint8_t(i >> 8), 255});
    std::vector<Rgba> pal = quantize::MakePalette(px, 16);
    EXPECT_LE(pal.size(), 16u);
    EXPECT_GE(pal.size(), 8u);
}

TEST(BitmapBuild, MonoRowsHoldEveryLevel) {
    // An 8-pixel-wide Mono picture with four levels: level 3 is one pixel and still
    // needs one stored byte, so level 0 stores 8 bytes per row.
    bmapbuild::Picture p{8, 8, std::vector<Rgba>(64, Rgba{255, 255, 255, 255})};
    bmapfile::Image out;
    std::string error;
    ASSERT_TRUE(bmapbuild::FromColors(p, bmapbuild::Kind::Mono, 4, out, error)) << error;
    for (int l = 0; l < 4; l++) EXPECT_GE(out.LevelRowBytes(l) * 8, 8 >> l) << l;
    EXPECT_EQ(out.levels[3][0] & 0x80, 0x80);
}

TEST(BitmapBuild, FileRoundTripThroughTheDecoder) {
    bmapfile::Image img;
    std::string error;
    ASSERT_TRUE(bmapbuild::FromIndexed(
        3, 2, {0, 1, 2, 2, 1, 0}, {{1, 1, 1, 255}, {2, 2, 2, 255}, {3, 3, 3, 9}}, 1, img, error))
        << error;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(bmapfile::Encode(img, bytes, error)) << error;
    bmapfile::Image back;
    size_t used = 0;
    ASSERT_TRUE(bmapfile::Decode(bytes.data(), bytes.size(), back, error, &used)) << error;
    EXPECT_EQ(used, bytes.size());
    EXPECT_EQ(back.levels, img.levels);
    EXPECT_EQ(back.palette.size(), 3u);
    EXPECT_EQ(back.palette[2].a, 9);
    for (size_t n = 0; n < bytes.size(); n++)
        EXPECT_FALSE(bmapfile::Decode(bytes.data(), n, back, error)) << "cut at " << n;
}

TEST(BitmapBuild, DecoderRefusesWhatTheLoaderRefuses) {
    // 65535 x 65535 at 24 bits with no stored rows: the engine's loader stops at this.
    std::vector<uint8_t> huge = {'B',  'M',  'A', 'P', 24,  2,   0xFF, 0xFF,
                                 0xFF, 0xFF, 0,   0,   'b', 'm', 'a',  'p'};
    bmapfile::Image out;
    std::string error;
    EXPECT_FALSE(bmapfile::Decode(huge.data(), huge.size(), out, error));
    EXPECT_NE(error.find("refuses"), std::string::npos) << error;
    // A plain 64 x 64 Index 8 picture is nowhere near the bound.
    std::vector<uint8_t> fine = {'B', 'M', 'A', 'P', 8, 2, 64, 0, 64, 0, 64, 0};
    fine.resize(fine.size() + 64 * 64, 7);
    fine.insert(fine.end(), {'b', 'm', 'a', 'p'});
    EXPECT_TRUE(bmapfile::Decode(fine.data(), fine.size(), out, error)) << error;
}

TEST(BitmapBuild, IndicesBeyondThePaletteAreRefused) {
    bmapfile::Image img;
    std::string error;
    EXPECT_FALSE(
        bmapbuild::FromIndexed(2, 1, {0, 2}, {{0, 0, 0, 255}, {1, 1, 1, 255}}, 1, img, error));
    EXPECT_NE(error.find("beyond"), std::string::npos);
}

} // namespace
