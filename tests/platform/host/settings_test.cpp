// The host's settings from the environment, and the parts the host is made of for them.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "host/headless/parts.h"
#include "host/host.h"
#include "host/sdl/parts.h"
#include "host/select.h"
#include "support/headless_machine.h"

namespace {

host::Settings Parse(std::map<std::string, std::string> env) {
    return host::ParseSettings([&](const char* name) -> const char* {
        auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    });
}

TEST(Settings, HeadlessDefaultsToSixtyFramesPerSecond) {
    auto s = Parse({{"DISPLAY", ":0"}, {"PRISMATEL_HEADLESS", "1"}});
    EXPECT_TRUE(s.headless);
    EXPECT_EQ(s.fps, 60);
    s = Parse({{"DISPLAY", ":0"}});
    EXPECT_FALSE(s.headless);
    EXPECT_EQ(s.fps, 0) << "real time with a display";
    s = Parse({});
    EXPECT_TRUE(s.headless) << "no display variable at all";
    s = Parse({{"WAYLAND_DISPLAY", "wayland-0"}});
    EXPECT_FALSE(s.headless);
}

TEST(Settings, ValuesAndBadValues) {
    auto s = Parse({{"DISPLAY", ":0"},
                    {"PRISMATEL_FPS", "25"},
                    {"PRISMATEL_WINDOWED", "1"},
                    {"PRISMATEL_CAPTURE", "/tmp/x"},
                    {"PRISMATEL_CAPTURE_EVERY", "3"},
                    {"PRISMATEL_INPUT", "100:ESCAPE"}});
    EXPECT_EQ(s.fps, 25);
    EXPECT_TRUE(s.windowed);
    EXPECT_EQ(s.captureDir, "/tmp/x");
    EXPECT_EQ(s.captureEvery, 3);
    EXPECT_EQ(s.input, "100:ESCAPE");
    s = Parse({{"PRISMATEL_HEADLESS", "1"},
               {"PRISMATEL_FPS", "fast"},
               {"PRISMATEL_CAPTURE_EVERY", "0"},
               {"PRISMATEL_WINDOWED", "yes"}});
    EXPECT_EQ(s.fps, 60);
    EXPECT_EQ(s.captureEvery, 1);
    EXPECT_FALSE(s.windowed);
    s = Parse({{"PRISMATEL_HEADLESS", "0"}, {"DISPLAY", ":1"}});
    EXPECT_FALSE(s.headless);
}

// Headless nobody can press Escape: without a script of its own the run ends with the show;
// an empty PRISMATEL_INPUT is a script of its own (none), and a display needs no default.
TEST(Settings, HeadlessInputDefaultsToTheEndOfTheShow) {
    struct Case {
        std::map<std::string, std::string> env;
        const char* input;
        bool byDefault;
    };
    const Case cases[] = {
        {{{"PRISMATEL_HEADLESS", "1"}}, "38000:ESCAPE", true},
        {{}, "38000:ESCAPE", true},
        {{{"PRISMATEL_HEADLESS", "1"}, {"PRISMATEL_INPUT", ""}}, "", false},
        {{{"PRISMATEL_HEADLESS", "1"}, {"PRISMATEL_INPUT", "5:M"}}, "5:M", false},
        {{{"DISPLAY", ":0"}}, "", false},
    };
    for (const Case& c : cases) {
        auto s = Parse(c.env);
        EXPECT_EQ(c.input, s.input);
        EXPECT_EQ(c.byDefault, s.inputByDefault) << c.input;
    }
}

// Which parts serve a run: the window, speakers and real time of SDL unless headless; the
// recording and the virtual clock wherever the settings ask for them.
TEST(HostChoice, FollowsTheSettings) {
    struct Case {
        bool headless;
        int fps;
        const char* capture;
        const char* name;
        host::Window* window;
        host::FrameSink* frames; // null: neither the window's nor the recording's alone
        host::SoundSink* sound;
        host::Clock* clock;
    };
    host::FrameSink* shown = host::sdl::TheFrameSink();
    host::FrameSink* recorded = host::headless::TheFrameRecorder();
    host::SoundSink* speakers = host::sdl::TheSoundSink();
    host::SoundSink* byClock = host::headless::TheSoundRecorder();
    host::Clock* virtualClock = host::headless::TheVirtualClock();
    host::Clock* realClock = host::TheRealClock();
    const Case cases[] = {
        {true, 60, "", "headless", host::headless::TheWindow(), nullptr, byClock, virtualClock},
        {true, 0, "/tmp/x", "headless", host::headless::TheWindow(), recorded, byClock, realClock},
        {false, 0, "", "sdl", host::sdl::TheWindow(), shown, speakers, realClock},
        {false, 50, "/tmp/x", "sdl", host::sdl::TheWindow(), nullptr, byClock, virtualClock},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(c.fps) + " fps, capture '" +
                     c.capture + "'");
        host::Settings s;
        s.headless = c.headless;
        s.fps = c.fps;
        s.captureDir = c.capture;
        host::OverrideSettings(s);
        host::Host h = host::Current();
        EXPECT_STREQ(c.name, h.name);
        EXPECT_EQ(c.window, h.window);
        if (c.frames) {
            EXPECT_EQ(c.frames, h.frames);
        } else {
            EXPECT_TRUE(h.frames != shown && h.frames != recorded);
        }
        EXPECT_EQ(c.sound, h.sound);
        EXPECT_EQ(c.clock, h.clock);
        EXPECT_EQ(host::headless::TheInputScript(), h.script);
    }
    // A window that cannot open leaves the run headless.
    host::FallBackToHeadless();
    EXPECT_STREQ("headless", host::Current().name);
    EXPECT_EQ(byClock, host::Current().sound);
    StartHeadlessMachine();
}

} // namespace
