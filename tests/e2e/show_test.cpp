// The whole show, recorded headless at 60 frames per second with scripted keys: what the
// viewer sees at its main moments, the overlay key, restart and the ways to end it.
#include "program.h"

#include "host/headless/capture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

using e2e::PROGRAM;

struct Frame {
    std::vector<uint32_t> rgb;
    int width = 0, height = 0;

    uint32_t At(int x, int y) const { return rgb[(size_t)y * width + x]; }
    static int Red(uint32_t c) { return (c >> 16) & 0xFF; }
    static int Green(uint32_t c) { return (c >> 8) & 0xFF; }
    static int Blue(uint32_t c) { return c & 0xFF; }
    static int Grey(uint32_t c) { return (Red(c) + Green(c) + Blue(c)) / 3; }

    // Mean brightness and the number of distinct colours of a rectangle.
    double MeanGrey(int x0, int y0, int x1, int y1) const {
        double sum = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++) sum += Grey(At(x, y));
        return sum / ((x1 - x0) * (y1 - y0));
    }
    size_t Colours(int x0, int y0, int x1, int y1) const {
        std::vector<uint32_t> seen;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++) seen.push_back(At(x, y));
        std::sort(seen.begin(), seen.end());
        return std::unique(seen.begin(), seen.end()) - seen.begin();
    }
    // Pixels of a rectangle whose red clearly exceeds their blue: the warp images' golds.
    double WarmShare(int x0, int y0, int x1, int y1) const {
        int warm = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++) warm += Red(At(x, y)) > Blue(At(x, y)) + 60;
        return (double)warm / ((x1 - x0) * (y1 - y0));
    }
};

class ShowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(PROGRAM, X_OK) != 0) GTEST_SKIP() << PROGRAM << " not built";
        if (access((e2e::DataDirectory() + "/q47.dat").c_str(), R_OK) != 0)
            GTEST_SKIP() << "no show data in " << e2e::DataDirectory();
    }

    // Records the show with the given script, keeping every `every`-th frame.
    e2e::Outcome Record(const std::string& input, int every, const std::string& name) {
        dir = e2e::MakeTempDirectory(name);
        return e2e::RunProgram(
            {"PRISMATEL_HEADLESS=1", "PRISMATEL_FPS=60", "PRISMATEL_CAPTURE=" + dir,
             "PRISMATEL_CAPTURE_EVERY=" + std::to_string(every), "PRISMATEL_INPUT=" + input},
            std::chrono::seconds(600));
    }

    bool Has(int n) const { return access(capture::FramePath(dir, n).c_str(), R_OK) == 0; }

    Frame Load(int n) const {
        Frame f;
        EXPECT_TRUE(capture::ReadPng(capture::FramePath(dir, n), f.rgb, f.width, f.height)) << n;
        if (f.rgb.empty()) f.rgb.assign(640 * 480, 0), f.width = 640, f.height = 480;
        return f;
    }

    int LastFrame() const {
        int n = 0;
        while (Has(n + 1)) n++;
        return n;
    }

    std::string dir;
};

TEST_F(ShowTest, EveryMomentShowsWhatTheScriptDescribes) {
    e2e::Outcome run = Record("31000:ESCAPE", 6, "show");
    ASSERT_TRUE(run.exited) << run.errors;
    ASSERT_EQ(0, run.status) << run.errors;

    // 1 s: one uniform grey on its way from black to white.
    Frame f1 = Load(60);
    EXPECT_EQ(1u, f1.Colours(0, 0, 640, 480));
    EXPECT_GT(Frame::Grey(f1.At(320, 240)), 40);
    EXPECT_LT(Frame::Grey(f1.At(320, 240)), 215);

    // 5 s: a white screen (the background's palette is still white), the line across the
    // top drawn part of the way, the logo sliding in from the right.
    Frame f5 = Load(300);
    EXPECT_GT(f5.MeanGrey(0, 100, 640, 480), 200);
    EXPECT_LT(Frame::Grey(f5.At(20, 10)), 60);
    EXPECT_GT(Frame::Grey(f5.At(630, 10)), 200);
    EXPECT_GT(f5.Colours(300, 150, 640, 330), 3u);

    // 12 s: the first frames have opened: a dark outline just outside the first cell.
    Frame f12 = Load(720);
    EXPECT_LT(Frame::Grey(f12.At(49, 88)), 80);
    EXPECT_LT(Frame::Grey(f12.At(105, 32)), 80);
    EXPECT_GT(Frame::Grey(f12.At(105, 88)), 200);

    // 16.8 s: the first background fades in behind the grid.
    Frame f168 = Load(1008);
    EXPECT_LT(f168.MeanGrey(0, 0, 640, 480), f12.MeanGrey(0, 0, 640, 480) - 10);
    EXPECT_GT(f168.Colours(0, 150, 640, 200), 4u);

    // 20 s: the second background and the warp panels in gold tones.
    Frame f20 = Load(1200);
    EXPECT_GT(f20.WarmShare(50, 33, 160, 143), 0.5);
    EXPECT_GT(f20.WarmShare(482, 197, 592, 307), 0.5);
    EXPECT_LT(f20.WarmShare(0, 160, 40, 190), 0.1);

    // 23.5 s: everything on its way to white.
    Frame f235 = Load(1410);
    EXPECT_GT(f235.MeanGrey(0, 0, 640, 480), f20.MeanGrey(0, 0, 640, 480) + 40);

    // 30 s: the third background in greys.
    Frame f30 = Load(1800);
    EXPECT_GT(f30.Colours(0, 0, 640, 480), 8u);
    EXPECT_LT(f30.WarmShare(0, 0, 640, 480), 0.01);
}

TEST_F(ShowTest, OverlayKeyShowsAndHidesTheTimingBar) {
    e2e::Outcome run = Record("5000:M,6000:M,7000:ESCAPE", 1, "overlay");
    ASSERT_TRUE(run.exited) << run.errors;
    ASSERT_EQ(0, run.status);
    // The bar's left tick at x = 10 along the bottom of the screen.
    auto tick = [&](int n) {
        Frame f = Load(n);
        int dark = 0;
        for (int y = 459; y <= 470; y++) dark += Frame::Grey(f.At(10, y)) < 60;
        return dark;
    };
    EXPECT_EQ(0, tick(290));
    EXPECT_EQ(12, tick(330));
    EXPECT_EQ(0, tick(390));
}

TEST_F(ShowTest, RestartReplaysTheShowFromItsBeginning) {
    e2e::Outcome run = Record("6000:R,9000:ESCAPE", 1, "restart");
    ASSERT_TRUE(run.exited) << run.errors;
    ASSERT_EQ(0, run.status);
    // The key is read when frame 359 has been shown at 6 s; frame 360 is the show's time 0
    // again. At exactly 0 ms no window is open yet, so frame n + 360 matches frame n from
    // the next frame on.
    const int restart = 360;
    ASSERT_TRUE(Has(restart + 179));
    for (int n : {1, 30, 60, 100, 170, 179}) {
        Frame a = Load(n), b = Load(restart + n);
        EXPECT_TRUE(a.rgb == b.rgb) << "frame " << n << " and " << restart + n;
    }
    // Around 1 s the grey changes every few frames, so the match above is exact.
    EXPECT_FALSE(Load(60).rgb == Load(restart + 64).rgb);
}

TEST_F(ShowTest, EscapeAndSpaceEndAtOnceBothButtonsAfterTheFrame) {
    for (const char* key : {"ESCAPE", "SPACE"}) {
        e2e::Outcome run = Record(std::string("1000:") + key, 1, key);
        ASSERT_TRUE(run.exited) << key << run.errors;
        EXPECT_EQ(0, run.status) << key;
        EXPECT_EQ(59, LastFrame()) << key; // the key arrives as frame 59 has been shown
    }
    e2e::Outcome run = Record("1000:+MOUSE0,1000:+MOUSE1", 1, "mouse");
    ASSERT_TRUE(run.exited) << run.errors;
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(59, LastFrame());
    e2e::Outcome one = Record("1000:+MOUSE0,1100:ESCAPE", 1, "onebutton");
    ASSERT_TRUE(one.exited);
    EXPECT_EQ(65, LastFrame()) << "one button alone does not end the show";
}

} // namespace
