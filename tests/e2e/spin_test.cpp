// The spin sample recorded headless: it runs on the engine's 3D path alone, turns a
// textured, lit solid over a gradient backdrop, and ends at Escape.
#include "program.h"

#include "host/headless/capture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char* const SPIN = PRISMATEL_BINARY_DIR "/bin/spin";

struct Picture {
    std::vector<uint32_t> rgb;
    int width = 0, height = 0;

    uint32_t At(int x, int y) const { return rgb[(size_t)y * width + x]; }
    static int Channel(uint32_t c, int shift) { return (int)(c >> shift) & 0xFF; }
    static int Grey(uint32_t c) { return (Channel(c, 16) + Channel(c, 8) + Channel(c, 0)) / 3; }

    size_t Colours(int x0, int y0, int x1, int y1) const {
        std::vector<uint32_t> seen;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++) seen.push_back(At(x, y));
        std::sort(seen.begin(), seen.end());
        return std::unique(seen.begin(), seen.end()) - seen.begin();
    }
    double MeanGrey(int x0, int y0, int x1, int y1) const {
        double sum = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++) sum += Grey(At(x, y));
        return sum / ((x1 - x0) * (y1 - y0));
    }
    int Changed(const Picture& other) const {
        int n = 0;
        for (size_t i = 0; i < rgb.size() && i < other.rgb.size(); i++) n += rgb[i] != other.rgb[i];
        return n;
    }
};

class SpinTest : public ::testing::Test {
protected:
    // One recording serves every test of the group.
    static void SetUpTestSuite() {
        if (access(SPIN, X_OK) != 0) return;
        dir = e2e::MakeTempDirectory("spin");
        outcome =
            e2e::RunProgram({"PRISMATEL_HEADLESS=1", "PRISMATEL_FPS=60", "PRISMATEL_CAPTURE=" + dir,
                             "PRISMATEL_CAPTURE_EVERY=10", "PRISMATEL_INPUT=2000:ESCAPE"},
                            std::chrono::seconds(300), SPIN, dir);
    }
    void SetUp() override {
        if (access(SPIN, X_OK) != 0) GTEST_SKIP() << SPIN << " not built";
    }

    static bool Has(int n) { return access(capture::FramePath(dir, n).c_str(), R_OK) == 0; }

    static Picture Load(int n) {
        Picture p;
        EXPECT_TRUE(capture::ReadPng(capture::FramePath(dir, n), p.rgb, p.width, p.height)) << n;
        if (p.rgb.empty()) p.rgb.assign(640 * 480, 0), p.width = 640, p.height = 480;
        return p;
    }

    static std::string dir;
    static e2e::Outcome outcome;
};

std::string SpinTest::dir;
e2e::Outcome SpinTest::outcome;

void ExpectNear(uint32_t expected, uint32_t actual, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8)
        EXPECT_NEAR(Picture::Channel(expected, shift), Picture::Channel(actual, shift), tolerance)
            << std::hex << expected << " vs " << actual;
}

TEST_F(SpinTest, EscapeAfterTwoSecondsEndsTheProgramCleanly) {
    ASSERT_TRUE(outcome.exited) << outcome.errors;
    EXPECT_EQ(0, outcome.status) << outcome.errors;
    EXPECT_EQ(std::string::npos, outcome.errors.find("Fatal")) << outcome.errors;
    EXPECT_EQ(std::string::npos, outcome.errors.find("ssert")) << outcome.errors;
    // Two seconds at 60 frames per second, then the key is read within a frame.
    EXPECT_TRUE(Has(110));
    EXPECT_FALSE(Has(130));
}

TEST_F(SpinTest, FramesShowTheLitTexturedSolidOverTheBackdrop) {
    ASSERT_TRUE(Has(60));
    Picture p = Load(60);
    ASSERT_EQ(640, p.width);
    ASSERT_EQ(480, p.height);
    // Backdrop corners: the gradient's corner colours, as 16-bit pixels widen them.
    ExpectNear(0x101838, p.At(0, 0), 8);
    ExpectNear(0x182048, p.At(639, 0), 8);
    ExpectNear(0x402058, p.At(639, 479), 8);
    ExpectNear(0x301848, p.At(0, 479), 8);
    // The solid in the middle: far brighter than the backdrop and full of colours that a
    // flat or untextured picture would not have.
    EXPECT_GT(p.MeanGrey(240, 160, 400, 320), p.MeanGrey(0, 0, 100, 100) + 40);
    EXPECT_GT(p.Colours(200, 120, 440, 360), 1000u);
    EXPECT_LT(p.Colours(0, 0, 60, 60), 60u);
}

TEST_F(SpinTest, TheSolidTurnsFromFrameToFrame) {
    ASSERT_TRUE(Has(100));
    Picture a = Load(40), b = Load(50), c = Load(100);
    EXPECT_GT(a.Changed(b), 5000);
    EXPECT_GT(a.Changed(c), 20000);
    // The backdrop stays put.
    for (int y = 0; y < 40; y++) EXPECT_EQ(a.At(5, y), c.At(5, y)) << y;
}

} // namespace
