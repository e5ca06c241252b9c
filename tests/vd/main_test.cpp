// The demo's main routine run in-process on the headless machine, as the engine's main thread
// runs it: the devices it cannot do without, the show's clock, the overlay key and the whole
// show with a CD drive playing beside it.
#include "effect.h"
#include "file.h"
#include "input/input.h"

#include "cdaudio/cdaudio.h"
#include "host/select.h"
#include "machine/cd_drive.h"
#include "machine/input_devices.h"
#include "machine/machine.h"
#include "machine/sound_card.h"
#include "machine/video_card.h"
#include "support/headless_machine.h"
#include "support/null_display.h"
#include "support/run_winmain.h"

#include "assets_wav.h"

#include <gtest/gtest.h>

#include <dinput.h>
#include <math.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

void DemoMain();

namespace {

namespace fs = std::filesystem;

const fs::path DATA = PRISMATEL_BINARY_DIR "/data";

// ---- the devices the loop polls ------------------------------------------------------------

DWORD WINAPI RunDemoMain(LPVOID) {
    DemoMain();
    return 0;
}

TEST(DemoMainDevices, AMissingDeviceEndsWithItsFatalMessage) {
    // The input devices as DirectInput finds them on a machine without one of them.
    const struct {
        std::vector<machine::InputDeviceSpec> input;
        bool display;
        const char* message;
    } cases[] = {
        {{machine::DefaultMouse(), machine::DefaultKeyboard()},
         false,
         "Fatal:DemoMain(): no display\n"},
        {{machine::DefaultKeyboard()}, true, "Fatal:DemoMain(): no pointer device\n"},
        {{machine::DefaultMouse()}, true, "Fatal:DemoMain(): no keyboard device\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        StartHeadlessMachine();
        appInstance = GetModuleHandleA(NULL);
        mainWindow = reinterpret_cast<HWND>(0x10010);
        ClearDevices();
        machine::SetInputDevices(c.input);
        InitInput();
        if (c.display) RegisterDevice(DK_DISPLAY, new NullDisplay);
        // Fatal ends the calling thread, so the routine runs on a thread of its own.
        HANDLE thread = CreateThread(NULL, 0, RunDemoMain, NULL, 0, NULL);
        ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
        DWORD code = 0;
        GetExitCodeThread(thread, &code);
        CloseHandle(thread);
        EXPECT_NE(0u, code);
        EXPECT_STREQ(c.message, fatalMessage);
        DeleteDevices();
        ClearDevices();
        ShutdownInput();
    }
}

// ---- whole runs ------------------------------------------------------------------------------

// Runs the program in-process from a folder holding the show's data (the music only when
// asked for: without it the show runs silently and starts sooner). `onFrame(n)` runs on the
// main thread as frame n (from 1) has been shown.
class DemoRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (access((DATA / "q47.dat").c_str(), R_OK) != 0)
            GTEST_SKIP() << "no show data in " << DATA;
        StartHeadlessMachine(60);
        // Its own folder: tests run in parallel processes.
        folder = fs::path(testing::TempDir()) /
                 ("demo_run_" + std::to_string(getpid()) + "_" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::create_symlink(DATA / "q47.dat", folder / "q47.dat");
        home = fs::current_path();
    }

    void TearDown() override {
        if (!home.empty()) fs::current_path(home);
        if (!folder.empty()) fs::remove_all(folder);
        ClearDevices();   // the run deleted them already
        ForgetPackfile(); // the next run opens it again
    }

    int Run(bool withMusic, std::function<void(int)> onFrame) {
        if (withMusic) fs::create_symlink(DATA / "vd.mp3", folder / "vd.mp3");
        fs::current_path(folder);
        int frame = 0;
        int listener = machine::AddClockListener([&](int64_t, int64_t) { onFrame(++frame); });
        int result = machine::RunWinMain(120000);
        machine::RemoveClockListener(listener);
        fs::current_path(home);
        frames = frame;
        return result;
    }

    // A key pressed in frame n is read at the end of that frame; it lets go a frame later.
    static void Press(int scanCode, int frame, int at) {
        if (frame == at) machine::KeyEvent(scanCode, true);
        if (frame == at + 1) machine::KeyEvent(scanCode, false);
    }

    fs::path folder, home;
    int frames = 0;
};

bool White(const sColor& c) {
    return c.r == 255 && c.g == 255 && c.b == 255;
}

TEST_F(DemoRun, AClockRunningBackwardsFreezesTheShowPastItsEnd) {
    // r at 1 s starts the show again from the clock's 1 s; at 1.5 s the clock itself starts
    // again from 0, so the show's time would be a second before its start.
    int result = Run(false, [](int frame) {
        Press(DIK_R, frame, 60);
        if (frame == 90) host::RestartClock();
        Press(DIK_ESCAPE, frame, 110);
    });
    EXPECT_EQ(0, result);
    EXPECT_EQ(110, frames);
    // What the palette fades leave after the show's last key: the grey ramp and the warp
    // ranges faded to white, the third background's range back to its ramp from black. At a
    // time before the start it would be the other way round.
    for (int i : {0, 8, 16, 128, 200, 255}) EXPECT_TRUE(White(demoPalette[i])) << i;
    EXPECT_EQ(0, demoPalette[32].r);
    EXPECT_EQ(255, demoPalette[47].r);
}

TEST_F(DemoRun, HoldingMShowsTheTimingBarWithoutFlicker) {
    // The bar's left tick runs down column 10 in the frame-line colour; from 2 s the first
    // background lies there, which holds no pixel of that colour.
    std::vector<int> barFrames;
    auto barShown = [] {
        video::Screen screen = video::ReadScreen();
        if (screen.width != 640 || screen.bitsPerPixel != 8) return false;
        for (int y = 459; y <= 470; y++)
            if (screen.pixels[(size_t)y * screen.width + 10] != 0) return false;
        return true;
    };
    int result = Run(false, [&](int frame) {
        if (frame == 180) machine::KeyEvent(DIK_M, true); // held a whole second: it repeats
        if (frame == 240) machine::KeyEvent(DIK_M, false);
        if (frame > 150 && barShown()) barFrames.push_back(frame);
        Press(DIK_ESCAPE, frame, 270);
    });
    EXPECT_EQ(0, result);
    std::vector<int> expected;
    for (int frame = 181; frame <= 270; frame++) expected.push_back(frame);
    EXPECT_EQ(expected, barFrames);
}

// Waits (on the main thread, in real time) until the audio thread has taken the command
// posted last; it polls every 100 ms.
bool CommandTaken() {
    for (int i = 0; i < 300 && cdCommand.load() != 0; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return cdCommand.load() == 0;
}

TEST_F(DemoRun, WholeShowWithACdDrivePlayingBeside) {
    // The demo posts no CD command; another client of the engine does, from its own thread,
    // while the show and its music play: the drive's sound and the music meet in the sound
    // card's mix.
    assets::StereoBuffer tone(44100);
    for (size_t i = 0; i < tone.Frames(); i++)
        tone.left[i] = tone.right[i] = 0.25f * (float)sin(i * 0.05);
    std::string error, track = (folder / "track1.wav").string();
    ASSERT_TRUE(assets::WriteWav(track, tone, error)) << error;
    bool playing = false;
    int sources = 0;
    int result = Run(true, [&](int frame) {
        if (frame == 1) {
            machine::SetCdDrivePresent(true);
            machine::CdDiscSpec disc;
            disc.tracks = {{2000, track}, {182000, ""}};
            disc.lengthMs = 300000;
            EXPECT_TRUE(machine::InsertCdDisc(disc));
            cdCommand = CD_OPEN;
            CommandTaken();
            // Taken is not done: the open runs in the same pass, the play in the next one.
            cdCommand = CD_PLAY | 1;
            CommandTaken();
            for (int i = 0; i < 300 && !machine::CdPlaying(); i++)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            playing = machine::CdPlaying();
            sources = sound::SourceCount();
        }
        Press(DIK_ESCAPE, frame, 37 * 60);
    });
    EXPECT_EQ(0, result);
    EXPECT_TRUE(playing);
    EXPECT_EQ(2, sources) << "the music and the drive";
    EXPECT_EQ(2000, machine::CdLastPlayFromMs());
    EXPECT_EQ(37 * 60, frames);
    // Shut-down closed the drive it found open.
    EXPECT_FALSE(machine::CdPlaying());
    int closes = 0;
    for (const machine::MciCall& call : machine::MciCalls()) closes += call.message == MCI_CLOSE;
    EXPECT_EQ(1, closes);
}

} // namespace
