// The generated images against what the show does with them: kinds and sizes, the
// palette ranges the pixels end up in, the titles' masks against the grid of cells and
// the connectors, the warp textures' seams, determinism, and the packed q47.dat.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "assets_art.h"
#include "assets_layout.h"
#include "bmapfile.h"
#include "fileio.h"
#include "packfile.h"

using namespace assets;

namespace {

const char* FONT_DIR = "/usr/share/fonts/truetype/dejavu";

const std::vector<ArtImage>& Art() {
    static std::vector<ArtImage> art;
    static bool made = false;
    if (!made) {
        std::string error;
        made = MakeAllArt(FONT_DIR, art, error);
        if (!made) ADD_FAILURE() << error;
    }
    return art;
}

const ArtImage& Named(const std::string& name) {
    for (const ArtImage& a : Art())
        if (a.name == name) return a;
    static ArtImage none;
    ADD_FAILURE() << "no image " << name;
    return none;
}

// The show's RemapToRange: low + red * (high - low) / 255, truncated.
int Remapped(const IndexedImage& image, uint8_t p, int low, int high) {
    return low + (image.palette[p].r * (high - low)) / 255;
}

const TitlePlace& PlaceOf(const std::string& name) {
    for (const TitlePlace& p : TITLE_PLACES)
        if (name == p.name) return p;
    static TitlePlace none{"", 0, 0};
    ADD_FAILURE() << "no place for " << name;
    return none;
}

bool Inside(const Box& b, int x, int y) {
    return x >= b.x0 && x < b.x1 && y >= b.y0 && y < b.y1;
}

bool Overlap(const Box& a, const Box& b) {
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

// A cell with its frame around it.
std::vector<Box> FramedCells() {
    std::vector<Box> boxes;
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 4; c++) {
            if (r == EMPTY_ROW && c == EMPTY_COL) continue;
            boxes.push_back(Box{CELL_COLS[c][0] - FRAME_BEFORE, CELL_ROWS[r][0] - FRAME_BEFORE,
                                CELL_COLS[c][1] + FRAME_AFTER, CELL_ROWS[r][1] + FRAME_AFTER});
        }
    return boxes;
}

bool OnConnector(int x, int y) {
    for (const Box& c : CONNECTORS)
        if (Inside(c, x, y)) return true;
    return false;
}

} // namespace

TEST(MkassetsArt, TenImagesInPackOrderAllIndex8WithFullPalettes) {
    static const char* NAMES[] = {"vd/q47_back.scl", "vd/q47_bac2.scl", "vd/good.scl",
                                  "vd/q47_logo.scl", "vd/q47_date.scl", "vd/q47_worl.scl",
                                  "vd/q47_domi.scl", "vd/q47_elit.scl", "vd/q47_arro.scl",
                                  "vd/q47_drog.scl"};
    ASSERT_EQ(Art().size(), 10u);
    for (size_t i = 0; i < 10; i++) {
        const ArtImage& a = Art()[i];
        EXPECT_EQ(a.name, NAMES[i]);
        EXPECT_GT(a.image.width, 0);
        EXPECT_GT(a.image.height, 0);
        EXPECT_EQ(a.image.pixels.size(), size_t(a.image.width) * a.image.height) << a.name;
    }
}

TEST(MkassetsArt, RemappedBackgroundsUseTheWholeBackgroundRamp) {
    for (const char* name : {"vd/q47_back.scl", "vd/good.scl"}) {
        const ArtImage& a = Named(name);
        EXPECT_EQ(a.image.width, SCREEN_W);
        EXPECT_EQ(a.image.height, SCREEN_H);
        std::set<int> levels;
        for (uint8_t p : a.image.pixels) levels.insert(Remapped(a.image, p, 32, 47));
        EXPECT_GE(*levels.begin(), 32) << name;
        EXPECT_LE(*levels.rbegin(), 47) << name;
        // A picture, not a flat field: most of the sixteen steps appear.
        EXPECT_GE(levels.size(), 12u) << name;
    }
}

TEST(MkassetsArt, SecondBackgroundIsAlreadyInTheShowsGreyIndices) {
    const ArtImage& a = Named("vd/q47_bac2.scl");
    ASSERT_EQ(a.image.width, SCREEN_W);
    ASSERT_EQ(a.image.height, SCREEN_H);
    EXPECT_LT(a.remapLow, 0) << "the show does not remap this one";
    std::set<int> used;
    for (uint8_t p : a.image.pixels) {
        ASSERT_TRUE(p <= 16 || (p >= 32 && p <= 47)) << int(p);
        used.insert(p);
    }
    EXPECT_GE(used.size(), 6u);
    // Its own palette shows what the screen shows for those indices.
    for (int i : used) {
        EXPECT_EQ(a.image.palette[i].r, ShowColor(i).r) << i;
        EXPECT_EQ(a.image.palette[i].g, ShowColor(i).g) << i;
    }
}

TEST(MkassetsArt, FirstBackgroundIsWhiteUnderEveryTitleAtRest) {
    // It fades in while the titles rest on it: their white boxes must not show.
    const ArtImage& back = Named("vd/q47_back.scl");
    for (const TitlePlace& place : TITLE_PLACES) {
        const ArtImage& title = Named(place.name);
        Box box = MaskBox(place, title.image.width, title.image.height);
        for (int y = std::max(0, box.y0); y < std::min(SCREEN_H, box.y1); y++)
            for (int x = std::max(0, box.x0); x < std::min(SCREEN_W, box.x1); x++)
                ASSERT_EQ(Remapped(back.image, back.image.At(x, y), 32, 47), 47)
                    << place.name << " at " << x << "," << y;
    }
}

TEST(MkassetsArt, TitleMasksRestInsideTheScreenAndOutsideEveryFrame) {
    std::vector<Box> frames = FramedCells();
    for (const TitlePlace& place : TITLE_PLACES) {
        const ArtImage& title = Named(place.name);
        ASSERT_TRUE(title.title);
        Box box = MaskBox(place, title.image.width, title.image.height);
        EXPECT_GE(box.x0, 0) << place.name;
        EXPECT_GE(box.y0, 0) << place.name;
        EXPECT_LE(box.x1, SCREEN_W) << place.name;
        EXPECT_LE(box.y1, SCREEN_H) << place.name;
        bool logo = std::string(place.name) == "vd/q47_logo.scl";
        // Text fits a gap between rows of cells; the emblem fits the empty cell.
        EXPECT_LE(MaskHeight(title.image.height), logo ? 86 : 50) << place.name;
        if (logo) {
            EXPECT_LE(MaskWidth(title.image.width), 88);
        }
        for (const Box& f : frames)
            EXPECT_FALSE(Overlap(box, f))
                << place.name << " covers the frame at " << f.x0 << "," << f.y0;
    }
}

TEST(MkassetsArt, TitleMasksDoNotOverlapEachOther) {
    const size_t n = sizeof(TITLE_PLACES) / sizeof(TITLE_PLACES[0]);
    for (size_t i = 0; i < n; i++)
        for (size_t j = i + 1; j < n; j++) {
            const ArtImage& a = Named(TITLE_PLACES[i].name);
            const ArtImage& b = Named(TITLE_PLACES[j].name);
            EXPECT_FALSE(Overlap(MaskBox(TITLE_PLACES[i], a.image.width, a.image.height),
                                 MaskBox(TITLE_PLACES[j], b.image.width, b.image.height)))
                << TITLE_PLACES[i].name << " and " << TITLE_PLACES[j].name;
        }
}

TEST(MkassetsArt, TitlesHideNoConnectorAndTheirBoxesHaveCleanEdges) {
    // Titles are drawn after the connectors: a covered connector pixel must be dark in
    // the mask, and ink may touch the box's edge only where it continues a connector.
    for (const TitlePlace& place : TITLE_PLACES) {
        const ArtImage& title = Named(place.name);
        Plane mask = TitleMask(title.image, int(place.x * 4.0f) & 3);
        Box box = MaskBox(place, title.image.width, title.image.height);
        for (int y = 0; y < mask.height; y++)
            for (int x = 0; x < mask.width; x++) {
                int sx = box.x0 + x, sy = box.y0 + y;
                float v = mask.At(x, y);
                if (OnConnector(sx, sy)) {
                    EXPECT_LE(v, 2.0f) << place.name << " hides " << sx << "," << sy;
                }
                bool edge = x == 0 || y == 0 || x == mask.width - 1 || y == mask.height - 1;
                if (!edge || v >= 16.0f) continue;
                bool continues = false;
                for (int dy = -1; dy <= 1; dy++)
                    for (int dx = -1; dx <= 1; dx++)
                        continues = continues || OnConnector(sx + dx, sy + dy);
                EXPECT_TRUE(continues)
                    << place.name << " has ink on its edge at " << sx << "," << sy;
            }
    }
}

TEST(MkassetsArt, EmblemContinuesBothConnectorsThatReachIt) {
    const ArtImage& logo = Named("vd/q47_logo.scl");
    const TitlePlace& place = PlaceOf("vd/q47_logo.scl");
    Plane mask = TitleMask(logo.image, int(place.x * 4.0f) & 3);
    Box box = MaskBox(place, logo.image.width, logo.image.height);
    // The beam from the left: the connector ends at column 217, rows 252-253.
    ASSERT_EQ(box.x0, 218);
    for (int y = 252; y <= 253; y++)
        for (int x = 218; x < 225; x++)
            EXPECT_EQ(mask.At(x - box.x0, y - box.y0), 0.0f) << x << "," << y;
    // The prism's base over the connector from below: columns 249-250.
    for (int x = 249; x <= 250; x++)
        for (int y = 283; y < box.y1; y++)
            EXPECT_EQ(mask.At(x - box.x0, y - box.y0), 0.0f) << x << "," << y;
}

TEST(MkassetsArt, FittedTitleSpansFromItsGridColumnToItsRestingEdge) {
    // The lower left title is spread to start on the first column of cells (x 50) and
    // end just before its resting edge at 247.
    const TitlePlace& place = PlaceOf("vd/q47_elit.scl");
    const ArtImage& title = Named(place.name);
    Plane mask = TitleMask(title.image, int(place.x * 4.0f) & 3);
    Box box = MaskBox(place, title.image.width, title.image.height);
    int first = SCREEN_W, last = -1;
    for (int y = 0; y < mask.height; y++)
        for (int x = 0; x < mask.width; x++)
            if (mask.At(x, y) <= 8.0f) {
                first = std::min(first, box.x0 + x);
                last = std::max(last, box.x0 + x);
            }
    EXPECT_NEAR(first, 50, 1);
    EXPECT_NEAR(last, 245, 1);
}

TEST(MkassetsArt, TitleMasksCarryInkWithSoftEdges) {
    for (const TitlePlace& place : TITLE_PLACES) {
        Plane mask = TitleMask(Named(place.name).image, 0);
        int black = 0, between = 0;
        for (float v : mask.v) {
            if (v <= 1.0f) black++;
            if (v > 1.0f && v < 15.0f) between++;
        }
        EXPECT_GT(black, 40) << place.name;
        EXPECT_GT(between, 20) << place.name << " has no anti-aliased edge";
    }
}

TEST(MkassetsArt, WarpTexturesHaveTheShowsShapeAndStructure) {
    for (const char* name : {"vd/q47_arro.scl", "vd/q47_drog.scl"}) {
        const ArtImage& a = Named(name);
        ASSERT_EQ(a.image.width, 1024) << name;
        ASSERT_EQ(a.image.height, 128) << name;
        std::set<int> levels;
        double sum = 0, sum2 = 0;
        for (uint8_t p : a.image.pixels) {
            int v = Remapped(a.image, p, a.remapLow, a.remapHigh);
            ASSERT_GE(v, a.remapLow);
            ASSERT_LE(v, a.remapHigh);
            levels.insert(v);
            sum += a.image.palette[p].r;
            sum2 += double(a.image.palette[p].r) * a.image.palette[p].r;
        }
        double n = double(a.image.pixels.size()), mean = sum / n;
        EXPECT_GE(levels.size(), 40u) << name;
        EXPECT_GT(sqrt(sum2 / n - mean * mean), 40.0) << name << " is too flat";
    }
}

TEST(MkassetsArt, WarpTexturesWrapWithoutSeams) {
    // Across each wrap the step must look like any step inside the picture.
    for (const char* name : {"vd/q47_arro.scl", "vd/q47_drog.scl"}) {
        const IndexedImage& im = Named(name).image;
        auto red = [&](int x, int y) { return int(im.palette[im.At(x, y)].r); };
        int insideX = 0, acrossX = 0, insideY = 0, acrossY = 0;
        for (int y = 0; y < im.height; y++) {
            for (int x = 1; x < im.width; x++)
                insideX = std::max(insideX, abs(red(x, y) - red(x - 1, y)));
            acrossX = std::max(acrossX, abs(red(0, y) - red(im.width - 1, y)));
        }
        for (int x = 0; x < im.width; x++) {
            for (int y = 1; y < im.height; y++)
                insideY = std::max(insideY, abs(red(x, y) - red(x, y - 1)));
            acrossY = std::max(acrossY, abs(red(x, 0) - red(x, im.height - 1)));
        }
        EXPECT_LE(acrossX, insideX) << name;
        EXPECT_LE(acrossY, insideY) << name;
        // And the average step across the seam is an ordinary one.
        double seam = 0, typical = 0;
        for (int y = 0; y < im.height; y++) {
            seam += abs(red(0, y) - red(im.width - 1, y));
            typical += abs(red(im.width / 2, y) - red(im.width / 2 - 1, y));
        }
        EXPECT_LT(seam, typical * 2.0 + im.height) << name;
    }
}

TEST(MkassetsArt, GeneratingTwiceGivesTheSamePixels) {
    std::vector<ArtImage> again;
    std::string error;
    ASSERT_TRUE(MakeAllArt(FONT_DIR, again, error)) << error;
    ASSERT_EQ(again.size(), Art().size());
    for (size_t i = 0; i < again.size(); i++) {
        EXPECT_EQ(again[i].image.pixels, Art()[i].image.pixels) << again[i].name;
        for (int c = 0; c < 256; c++)
            EXPECT_EQ(again[i].image.palette[c].r, Art()[i].image.palette[c].r);
    }
}

TEST(MkassetsArt, MissingFontsAreReportedNotFatal) {
    std::vector<ArtImage> art;
    std::string error;
    EXPECT_FALSE(MakeAllArt("/nonexistent-font-folder", art, error));
    EXPECT_NE(error.find("font"), std::string::npos) << error;
}

// The packed file the data build made, read the way the engine reads it.
TEST(MkassetsPack, ListsExactlyTheTenImagesAsLoadableBitmaps) {
    std::string path = std::string(PRISMATEL_BINARY_DIR) + "/data/q47.dat";
    std::vector<uint8_t> bytes;
    std::string error;
    if (!fileio::ReadAll(path, bytes, error)) GTEST_SKIP() << "no " << path << " (data not built)";
    packfile::Directory dir;
    ASSERT_TRUE(packfile::ReadDirectory(bytes.data(), bytes.size(), dir, error)) << error;
    std::set<std::string> names;
    for (const packfile::Member& m : dir.members) {
        names.insert(m.name);
        ASSERT_LE(size_t(m.offset) + m.size, bytes.size()) << m.name;
        bmapfile::Image image;
        ASSERT_TRUE(bmapfile::Decode(bytes.data() + m.offset, m.size, image, error))
            << m.name << ": " << error;
        EXPECT_EQ(image.palette.size(), 256u) << m.name;
        EXPECT_EQ(image.bitsPerPixel, 8) << m.name;
        if (m.name == "vd/q47_arro.scl" || m.name == "vd/q47_drog.scl") {
            EXPECT_EQ(image.rowBytes, 1024) << m.name;
            EXPECT_EQ(bmapfile::EnginePitch(image.width, 8, 1, 0), 1024) << m.name;
            EXPECT_EQ(image.height, 128) << m.name;
        }
    }
    std::set<std::string> expected;
    for (const ArtImage& a : Art()) expected.insert(a.name);
    EXPECT_EQ(names, expected);
    EXPECT_EQ(dir.members.size(), 10u);
}

TEST(MkassetsPack, ToolWritesTheSameBytesAsTheBuild) {
    std::string built = std::string(PRISMATEL_BINARY_DIR) + "/assets";
    std::string tool = std::string(PRISMATEL_BINARY_DIR) + "/bin/mkassets";
    std::vector<uint8_t> probe;
    std::string error;
    if (!fileio::ReadAll(built + "/vd/q47_back.scl", probe, error))
        GTEST_SKIP() << "data not built";
    char dir[] = "/tmp/mkassets_test_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string command = tool + " " + dir + " --images";
    ASSERT_EQ(system(command.c_str()), 0) << command;
    for (const ArtImage& a : Art()) {
        std::vector<uint8_t> mine, theirs;
        ASSERT_TRUE(fileio::ReadAll(std::string(dir) + "/" + a.name, mine, error)) << error;
        ASSERT_TRUE(fileio::ReadAll(built + "/" + a.name, theirs, error)) << error;
        EXPECT_TRUE(mine == theirs) << a.name << " differs between runs";
    }
    std::string cleanup = std::string("rm -rf ") + dir;
    EXPECT_EQ(system(cleanup.c_str()), 0);
}
