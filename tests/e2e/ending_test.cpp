// The ways people end the program: Escape (scripted, or the headless default), Ctrl+C and
// kill, the window manager's close button. Each ends cleanly with status 0 and leaves a
// whole recording. And full screen fills the screen with the picture at 4:3, with or
// without a window manager.
#include "program.h"
#include "virtual_screen.h"

#include "host/headless/capture.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const int FPS = 60;

class Ending : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(e2e::PROGRAM, X_OK) != 0) GTEST_SKIP() << e2e::PROGRAM << " not built";
        if (access((e2e::DataDirectory() + "/q47.dat").c_str(), R_OK) != 0)
            GTEST_SKIP() << "no show data in " << e2e::DataDirectory();
    }
};

bool WaitFor(const std::function<bool()>& done, std::chrono::seconds limit) {
    auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// The highest frame number recorded in `dir`, -1 for none.
int LastFrame(const std::string& dir) {
    int last = -1;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
        int n;
        if (sscanf(entry.path().filename().c_str(), "frame_%d.png", &n) == 1 && n > last) last = n;
    }
    return last;
}

uint32_t Le32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; i--) v = v << 8 | (uint8_t)bytes[at + i];
    return v;
}

// Exited by itself, status 0, and neither a sanitizer nor the C++ runtime complained.
void ExpectCleanEnd(const e2e::Outcome& run) {
    EXPECT_TRUE(run.exited) << "ended by signal " << run.signal << "\n" << run.errors;
    EXPECT_EQ(0, run.status) << run.errors;
    for (const char* complaint : {"Sanitizer", "runtime error", "terminate called"})
        EXPECT_EQ(std::string::npos, run.errors.find(complaint)) << run.errors;
}

// audio.wav's header gives the length of exactly the data that follows it, and the last
// frame is a whole picture.
void ExpectWholeRecording(const std::string& dir) {
    std::string wave = e2e::ReadFile(dir + "/audio.wav");
    ASSERT_GE(wave.size(), 44u);
    EXPECT_EQ("RIFF", wave.substr(0, 4));
    EXPECT_EQ(wave.size() - 8, Le32(wave, 4));
    EXPECT_EQ("data", wave.substr(36, 4));
    EXPECT_EQ(wave.size() - 44, Le32(wave, 40));
    int last = LastFrame(dir);
    ASSERT_GE(last, 0);
    std::vector<uint32_t> rgb;
    int width = 0, height = 0;
    EXPECT_TRUE(capture::ReadPng(capture::FramePath(dir, last), rgb, width, height)) << last;
    EXPECT_EQ(640, width);
    EXPECT_EQ(480, height);
}

// Without a script of its own a headless run ends as a viewer ends the show, and says so;
// a script replaces that default.
TEST_F(Ending, HeadlessRunEndsByItsScriptOrTheDefaultEscape) {
    struct Case {
        const char* input; // PRISMATEL_INPUT=…, or the bare name: none
        int escapeSeconds;
        bool saysDefault;
    };
    const Case cases[] = {
        {"PRISMATEL_INPUT", 38, true},
        {"PRISMATEL_INPUT=3000:ESCAPE", 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        std::string dir = e2e::MakeTempDirectory("script");
        std::vector<std::string> env = {"PRISMATEL_HEADLESS=1", "PRISMATEL_CAPTURE=" + dir,
                                        "PRISMATEL_CAPTURE_EVERY=30", c.input};
        e2e::Outcome run = e2e::RunProgram(env, 120s);
        ExpectCleanEnd(run);
        EXPECT_EQ(c.saysDefault, run.errors.find("PRISMATEL_INPUT is not set") != std::string::npos)
            << run.errors;
        // The show ends within a second of Escape.
        int last = LastFrame(dir);
        EXPECT_GE(last, (c.escapeSeconds - 1) * FPS);
        EXPECT_LE(last, (c.escapeSeconds + 1) * FPS);
        ExpectWholeRecording(dir);
    }
}

// Ctrl+C and kill close the program as its close button would, headless too, and what was
// recorded up to then is whole. The empty script keeps the show running past the default
// Escape until then.
TEST_F(Ending, HeadlessSignalClosesTheShow) {
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        std::string dir = e2e::MakeTempDirectory("signal");
        e2e::Running running =
            e2e::StartProgram({"PRISMATEL_HEADLESS=1", "PRISMATEL_CAPTURE=" + dir,
                               "PRISMATEL_CAPTURE_EVERY=60", "PRISMATEL_INPUT="});
        bool pastDefault = WaitFor(
            [&] { return LastFrame(dir) >= 40 * FPS || !e2e::StillRunning(running); }, 300s);
        EXPECT_TRUE(pastDefault && e2e::StillRunning(running)) << "ended before 40 s of show";
        kill(running.pid, signal);
        auto sent = Clock::now();
        e2e::Outcome run = e2e::WaitForProgram(running, 600s);
        EXPECT_LT(Clock::now() - sent, 5s);
        ExpectCleanEnd(run);
        ExpectWholeRecording(dir);
    }
}

TEST_F(Ending, SecondInterruptEndsAtOnce) {
    e2e::Running running = e2e::StartProgram({"PRISMATEL_HEADLESS=1", "PRISMATEL_INPUT="});
    // The window exists (the engine names it) and with it the watch for signals.
    ASSERT_TRUE(WaitFor(
        [&] { return e2e::ReadFile(running.errorsPath).find("Window ") != std::string::npos; },
        60s));
    // Stopped, the process cannot answer the first; both are pending when it goes on.
    kill(running.pid, SIGSTOP);
    kill(running.pid, SIGINT);
    std::this_thread::sleep_for(100ms);
    kill(running.pid, SIGTERM);
    kill(running.pid, SIGCONT);
    e2e::Outcome run = e2e::WaitForProgram(running, 60s);
    EXPECT_TRUE(run.exited);
    EXPECT_TRUE(run.status == 128 + SIGINT || run.status == 128 + SIGTERM) << run.status << "\n"
                                                                           << run.errors;
}

// ---- on a desktop --------------------------------------------------------------------

class OnScreen : public Ending {
protected:
    void SetUp() override {
        Ending::SetUp();
        if (IsSkipped()) return;
        std::string missing = e2e::MissingForScreen(true);
        if (!missing.empty()) GTEST_SKIP() << missing;
    }

    // The show on `screen`, full screen unless `windowed`, the sound going nowhere. Mesa's
    // software rasterizer draws on the calling thread: its own worker threads are beyond
    // the thread checker's sight (the library is not instrumented).
    e2e::Running Start(const e2e::VirtualScreen& screen, bool windowed) {
        std::vector<std::string> env = {screen.Variable(), "SDL_AUDIODRIVER=dummy",
                                        "LP_NUM_THREADS=0", "PRISMATEL_INPUT="};
        if (windowed) env.push_back("PRISMATEL_WINDOWED=1");
        return e2e::StartProgram(env);
    }

    // The window is mapped, and the show has had time to start.
    static bool WaitForWindow(const e2e::VirtualScreen& screen) {
        bool mapped = WaitFor(
            [&] {
                return screen.Tool(
                           {"xdotool", "search", "--onlyvisible", "--name", "^Prismatel$"}) == 0;
            },
            30s);
        std::this_thread::sleep_for(2s);
        return mapped;
    }
};

TEST_F(OnScreen, CloseButtonEndsTheWindowedShow) {
    e2e::VirtualScreen screen(1024, 768, true);
    ASSERT_FALSE(screen.Display().empty());
    e2e::Running running = Start(screen, true);
    ASSERT_TRUE(WaitForWindow(screen));
    ASSERT_TRUE(e2e::StillRunning(running));
    EXPECT_EQ(0, screen.Tool({"wmctrl", "-c", "Prismatel"}));
    e2e::Outcome run = e2e::WaitForProgram(running, 60s);
    ExpectCleanEnd(run);
}

TEST_F(OnScreen, SignalEndsTheFullScreenShow) {
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        e2e::VirtualScreen screen(1024, 768, true);
        ASSERT_FALSE(screen.Display().empty());
        e2e::Running running = Start(screen, false);
        ASSERT_TRUE(WaitForWindow(screen));
        ASSERT_TRUE(e2e::StillRunning(running));
        kill(running.pid, signal);
        auto sent = Clock::now();
        e2e::Outcome run = e2e::WaitForProgram(running, 60s);
        EXPECT_LT(Clock::now() - sent, 5s);
        ExpectCleanEnd(run);
    }
}

// The lit part of a screenshot: the bright pixels' bounding box and how many there are
// inside and outside an expected rectangle.
struct Lit {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    double insideShare = 0, outsideShare = 0;
};

Lit Measure(const pngio::Image& shot, int x0, int y0, int x1, int y1) {
    Lit lit;
    long inside = 0, outside = 0;
    for (int y = 0; y < shot.height; y++)
        for (int x = 0; x < shot.width; x++) {
            pngio::Rgba c = shot.ColorAt(x, y);
            if (c.r + c.g + c.b < 3 * 128) continue;
            bool in = x >= x0 && x < x1 && y >= y0 && y < y1;
            (in ? inside : outside)++;
            lit.left = std::min(lit.left, x);
            lit.right = std::max(lit.right, x + 1);
            lit.top = std::min(lit.top, y);
            lit.bottom = std::max(lit.bottom, y + 1);
        }
    long area = (long)(x1 - x0) * (y1 - y0);
    long rest = (long)shot.width * shot.height - area;
    lit.insideShare = (double)inside / area;
    lit.outsideShare = rest ? (double)outside / rest : 0;
    return lit;
}

// The show's first seconds are a bright page over the whole picture: the screenshot shows
// it over exactly the 4:3 rectangle centred on the screen, black around it.
TEST_F(OnScreen, FullScreenShowsTheWholePictureCentredAtFourToThree) {
    struct Case {
        int width, height;
        bool windowManager;
    };
    const Case cases[] = {
        {1024, 768, true}, {1024, 768, false}, {1920, 1080, true}, {1920, 1080, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) +
                     (c.windowManager ? " with openbox" : " without a window manager"));
        e2e::VirtualScreen screen(c.width, c.height, c.windowManager);
        ASSERT_FALSE(screen.Display().empty());
        int pictureWidth = c.height * 4 / 3;
        int x0 = (c.width - pictureWidth) / 2, x1 = x0 + pictureWidth;
        e2e::Running running = Start(screen, false);
        pngio::Image shot;
        Lit lit, before;
        // Two screenshots in a row that agree: one read from the frame buffer while the
        // window is being updated shows part of the old picture.
        bool bright = WaitFor(
            [&] {
                std::string error;
                if (!screen.Screenshot(shot, error)) return false;
                before = lit;
                lit = Measure(shot, x0, 0, x1, c.height);
                return lit.insideShare > 0.99 && lit.left == before.left && lit.top == before.top &&
                       lit.right == before.right && lit.bottom == before.bottom;
            },
            30s);
        kill(running.pid, SIGTERM);
        ExpectCleanEnd(e2e::WaitForProgram(running, 60s));
        ASSERT_TRUE(bright) << "lit inside " << lit.insideShare;
        EXPECT_LT(lit.outsideShare, 0.001);
        EXPECT_NEAR(x0, lit.left, 2);
        EXPECT_NEAR(x1, lit.right, 2);
        EXPECT_NEAR(0, lit.top, 2);
        EXPECT_NEAR(c.height, lit.bottom, 2);
    }
}

} // namespace
