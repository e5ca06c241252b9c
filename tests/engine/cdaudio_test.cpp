// The CD-audio device and thread against the simulated drive: the track table, plays to the
// end of a track, the silent failure paths, the command word and the thread's end.
#include <gtest/gtest.h>

#include <string.h>

#include <chrono>
#include <thread>
#include <vector>

#include "cdaudio/cdaudio.h"
#include "demo_hook.h"
#include "support/headless_machine.h"
#include "kernel32/threads.h"
#include "machine/machine.h"
#include "support/run_winmain.h"
#include "machine/cd_drive.h"

namespace {

int CountCalls(UINT message) {
    int count = 0;
    for (const machine::MciCall& call : machine::MciCalls())
        if (call.message == message) count++;
    return count;
}

bool WaitFor(const std::function<bool()>& condition, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class CdAudio : public ::testing::Test {
protected:
    void SetUp() override {
        StartHeadlessMachine(0);
        mainWindow = reinterpret_cast<HWND>(0x10010);
        cdCommand = 0;
        cdDeviceId = 0;
        cdTrackCount = 0;
        ClearDevices();
    }

    void TearDown() override {
        if (cdDeviceId) CdClose();
        kernel32::WaitForAllThreads(2000);
        ClearDevices();
    }

    static void InsertDisc(const std::vector<int64_t>& starts, int64_t lengthMs) {
        machine::SetCdDrivePresent(true);
        machine::CdDiscSpec disc;
        for (int64_t start : starts) disc.tracks.push_back({start, ""});
        disc.lengthMs = lengthMs;
        ASSERT_TRUE(machine::InsertCdDisc(disc));
    }

    static void InsertThreeTracks() { InsertDisc({2000, 182000, 302000}, 400000); }
};

// ---- open and the track table --------------------------------------------------------------

TEST_F(CdAudio, TrackTableHoldsLengthsToTheNextStartAndTheDiscEnd) {
    InsertThreeTracks();
    CdOpen();
    ASSERT_NE(0u, cdDeviceId);
    EXPECT_EQ(3, cdTrackCount);
    EXPECT_EQ(180000, cdTrackLength[0]);
    EXPECT_EQ(120000, cdTrackLength[1]);
    EXPECT_EQ(100000, cdTrackLength[2]);
}

TEST_F(CdAudio, ADiscOf120TracksCounts99) {
    std::vector<int64_t> starts;
    for (int i = 0; i < 120; i++) starts.push_back(2000 + i * 10000);
    InsertDisc(starts, 1300000);
    CdOpen();
    ASSERT_NE(0u, cdDeviceId);
    EXPECT_EQ(99, cdTrackCount);
    EXPECT_EQ(10000, cdTrackLength[0]);
    EXPECT_EQ(10000, cdTrackLength[97]);
    // The 99th runs to the end of the disc: 2000 + 1300000 - (2000 + 98 * 10000).
    EXPECT_EQ(320000, cdTrackLength[98]);
    // Only the status of tracks 1 to 99 was asked for.
    EXPECT_EQ(1 + 99 + 1, CountCalls(MCI_STATUS));
}

TEST_F(CdAudio, WithoutADriveTheOpenFailsSilently) {
    CdOpen();
    EXPECT_EQ(0u, cdDeviceId);
    EXPECT_EQ(1, CountCalls(MCI_OPEN));
    CdPlay(3); // closed: nothing happens, not even an assertion
    CdStop();
    EXPECT_EQ(1u, machine::MciCalls().size());
}

TEST_F(CdAudio, AStatusFailureAfterOpenClosesTheDriveAgain) {
    InsertThreeTracks();
    machine::FailMciCommand(MCI_STATUS, MCI_STATUS_POSITION, MCIERR_HARDWARE);
    CdOpen();
    EXPECT_EQ(0u, cdDeviceId);
    EXPECT_EQ(1, CountCalls(MCI_CLOSE));
    // Really closed: a non-shareable open succeeds again.
    CdOpen();
    EXPECT_NE(0u, cdDeviceId);
    EXPECT_EQ(3, cdTrackCount);
}

TEST_F(CdAudio, ADiscLengthFailureClosesTheDriveToo) {
    InsertThreeTracks();
    machine::FailMciCommand(MCI_STATUS, MCI_STATUS_LENGTH, MCIERR_HARDWARE);
    CdOpen();
    EXPECT_EQ(0u, cdDeviceId);
    EXPECT_EQ(0, cdTrackCount);
    EXPECT_EQ(1, CountCalls(MCI_CLOSE));
}

TEST_F(CdAudio, ADiscWithoutTracksOpensWithAnEmptyTable) {
    machine::SetCdDrivePresent(true);
    machine::CdDiscSpec disc;
    disc.lengthMs = 0;
    ASSERT_TRUE(machine::InsertCdDisc(disc));
    cdTrackLength[0] = 12345;
    CdOpen();
    EXPECT_NE(0u, cdDeviceId);
    EXPECT_EQ(0, cdTrackCount);
    EXPECT_EQ(12345, cdTrackLength[0]); // nothing measured from a start that does not exist
}

TEST_F(CdAudio, OpeningAnOpenDriveClosesTheFirstDevice) {
    InsertThreeTracks();
    CdOpen();
    MCIDEVICEID first = cdDeviceId;
    CdOpen();
    EXPECT_NE(0u, cdDeviceId);
    EXPECT_NE(first, cdDeviceId);
    EXPECT_EQ(1, CountCalls(MCI_CLOSE));
}

// ---- play, stop, close --------------------------------------------------------------------------

TEST_F(CdAudio, PlayRunsToTheNextTrackOrTheDiscEnd) {
    InsertThreeTracks();
    CdOpen();
    CdPlay(2);
    EXPECT_TRUE(machine::CdPlaying());
    EXPECT_EQ(182000, machine::CdLastPlayFromMs());
    EXPECT_EQ(302000, machine::CdLastPlayToMs());
    CdPlay(3);
    EXPECT_EQ(302000, machine::CdLastPlayFromMs());
    EXPECT_EQ(402000, machine::CdLastPlayToMs());
    CdPlay(1);
    EXPECT_EQ(182000, machine::CdLastPlayToMs());
}

TEST_F(CdAudio, AFailedTimeFormatSkipsThePlay) {
    InsertThreeTracks();
    CdOpen();
    machine::FailMciCommand(MCI_SET, MCI_FORMAT_TMSF, MCIERR_HARDWARE);
    CdPlay(2);
    EXPECT_EQ(0, CountCalls(MCI_PLAY));
    EXPECT_FALSE(machine::CdPlaying());
}

TEST_F(CdAudio, StopAndCloseStopTheDrive) {
    InsertThreeTracks();
    CdOpen();
    CdPlay(1);
    CdStop();
    EXPECT_FALSE(machine::CdPlaying());
    CdPlay(1);
    CdClose();
    EXPECT_EQ(0u, cdDeviceId);
    EXPECT_FALSE(machine::CdPlaying());
    EXPECT_EQ(2, CountCalls(MCI_STOP));
    EXPECT_EQ(1, CountCalls(MCI_CLOSE));
    CdClose(); // closed already: nothing more
    EXPECT_EQ(1, CountCalls(MCI_CLOSE));
}

TEST_F(CdAudio, CommandsDispatchOnTheirHighByte) {
    InsertThreeTracks();
    EXPECT_TRUE(CdPerform(CD_OPEN));
    EXPECT_NE(0u, cdDeviceId);
    EXPECT_TRUE(CdPerform(CD_PLAY | 3));
    EXPECT_EQ(302000, machine::CdLastPlayFromMs());
    EXPECT_TRUE(CdPerform(0x600)); // unknown: ignored
    EXPECT_TRUE(CdPerform(0));
    EXPECT_TRUE(CdPerform(CD_STOP));
    EXPECT_FALSE(machine::CdPlaying());
    EXPECT_TRUE(CdPerform(CD_CLOSE));
    EXPECT_EQ(0u, cdDeviceId);
    EXPECT_FALSE(CdPerform(CD_QUIT));
}

TEST_F(CdAudio, QuitClosesADriveLeftOpen) {
    InsertThreeTracks();
    CdPerform(CD_OPEN);
    CdPerform(CD_PLAY | 1);
    EXPECT_FALSE(CdPerform(CD_QUIT));
    EXPECT_EQ(0u, cdDeviceId);
    EXPECT_FALSE(machine::CdPlaying());
}

// ---- the device
// -----------------------------------------------------------------------------------

TEST_F(CdAudio, DeviceRegistersAndPostsCloseWhenDestroyed) {
    cdDeviceId = 7; // whatever was there before
    sCdAudio* device = new sCdAudio;
    EXPECT_EQ(0u, cdDeviceId);
    EXPECT_EQ(device, GetDevice(DK_CDAUDIO, 0));
    EXPECT_EQ(0u, cdCommand.load());
    delete device;
    EXPECT_EQ((uint32_t)CD_CLOSE, cdCommand.load());
    cdCommand = 0;
}

// ---- the thread
// ------------------------------------------------------------------------------------

struct RunningThread {
    HANDLE handle;
    std::chrono::steady_clock::time_point started;
};

RunningThread StartCdThread() {
    cdThreadRunning = true;
    HANDLE handle = CreateThread(NULL, 65536, CdThread, NULL, 0, NULL);
    EXPECT_NE(nullptr, handle);
    return {handle, std::chrono::steady_clock::now()};
}

DWORD EndOf(HANDLE handle) {
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(handle, 2000));
    DWORD code = 0;
    GetExitCodeThread(handle, &code);
    CloseHandle(handle);
    return code;
}

TEST_F(CdAudio, QuitEndsTheThreadPromptlyWithCode123) {
    RunningThread thread = StartCdThread();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    auto posted = std::chrono::steady_clock::now();
    cdCommand = CD_QUIT;
    EXPECT_TRUE(WaitFor([] { return !cdThreadRunning; }, 1000));
    auto took = std::chrono::steady_clock::now() - posted;
    EXPECT_LT(took, std::chrono::milliseconds(260));
    EXPECT_EQ(123u, EndOf(thread.handle));
    EXPECT_EQ(0u, cdCommand.load());
}

TEST_F(CdAudio, ThreadCarriesOutPostedCommands) {
    InsertThreeTracks();
    RunningThread thread = StartCdThread();
    cdCommand = CD_OPEN;
    ASSERT_TRUE(WaitFor([] { return CountCalls(MCI_OPEN) == 1 && cdCommand == 0; }, 1000));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    cdCommand = CD_PLAY | 2;
    ASSERT_TRUE(WaitFor([] { return machine::CdPlaying(); }, 1000));
    EXPECT_EQ(182000, machine::CdLastPlayFromMs());
    cdCommand = CD_QUIT;
    EXPECT_EQ(123u, EndOf(thread.handle));
    EXPECT_FALSE(cdThreadRunning);
}

TEST_F(CdAudio, OfTwoPostsInOnePollOnlyTheLaterIsTaken) {
    // One word holds one command: a post before the thread's next pass replaces the one
    // waiting. Close then quit ends the thread at once, and the quit closes the drive itself;
    // quit then close only closes it, and the thread goes on polling.
    const struct {
        uint32_t first, second;
        bool ends;
    } orders[] = {{CD_CLOSE, CD_QUIT, true}, {CD_QUIT, CD_CLOSE, false}};
    for (const auto& order : orders) {
        SCOPED_TRACE(order.ends ? "close, quit" : "quit, close");
        InsertThreeTracks();
        int closesBefore = CountCalls(MCI_CLOSE), opensBefore = CountCalls(MCI_OPEN);
        RunningThread thread = StartCdThread();
        cdCommand = CD_OPEN;
        ASSERT_TRUE(WaitFor(
            [&] { return CountCalls(MCI_OPEN) == opensBefore + 1 && cdCommand == 0; }, 1000));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        cdCommand = CD_PLAY | 1;
        // The pass that starts the play has just begun its sleep: both posts fall into it.
        ASSERT_TRUE(WaitFor([] { return machine::CdPlaying(); }, 1000));
        cdCommand = order.first;
        cdCommand = order.second;
        if (!order.ends) {
            ASSERT_TRUE(WaitFor([] { return !machine::CdPlaying(); }, 1000));
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            EXPECT_TRUE(cdThreadRunning) << "the quit was taken too";
            cdCommand = CD_QUIT;
        }
        EXPECT_EQ(123u, EndOf(thread.handle));
        EXPECT_FALSE(machine::CdPlaying());
        EXPECT_EQ(0u, cdDeviceId);
        EXPECT_EQ(closesBefore + 1, CountCalls(MCI_CLOSE));
    }
}

TEST_F(CdAudio, AnAssertionOnTheThreadStillLetsShutDownProceed) {
    InsertThreeTracks();
    RunningThread thread = StartCdThread();
    cdCommand = CD_OPEN;
    ASSERT_TRUE(WaitFor([] { return CountCalls(MCI_OPEN) == 1 && cdCommand == 0; }, 1000));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    cdCommand = CD_PLAY | 4; // the disc has three tracks
    EXPECT_EQ(666u, EndOf(thread.handle));
    EXPECT_FALSE(cdThreadRunning);
    EXPECT_NE(nullptr, strstr(fatalMessage, "cddrive.cpp")) << fatalMessage;
    cdDeviceId = 0; // the thread died holding the drive; nothing else may use it
}

// ---- shut-down of the whole program
// ------------------------------------------------------------------

TEST_F(CdAudio, ShutDownClosesAnOpenDrive) {
    SetTestDemo([] {
        InsertThreeTracks(); // the run starts from a freshly reset machine
        cdCommand = CD_OPEN;
        WaitFor([] { return CountCalls(MCI_OPEN) == 1 && cdCommand == 0; }, 1000);
        Sleep(20);
        cdCommand = CD_PLAY | 1;
        WaitFor([] { return machine::CdPlaying(); }, 1000);
    });
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(0, machine::RunWinMain());
    SetTestDemo(nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_FALSE(machine::CdPlaying());
    EXPECT_EQ(1, CountCalls(MCI_CLOSE));
    EXPECT_FALSE(cdThreadRunning);
    ClearDevices(); // the run deleted them already
    cdDeviceId = 0;
}

} // namespace
