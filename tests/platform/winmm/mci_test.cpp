// mciSendCommandA's "cdaudio" device over the simulated drive: opening, time formats,
// status items, playing on the machine clock, the tracks' sound and injected failures.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/headless_machine.h"
#include "machine/machine.h"
#include "machine/cd_drive.h"
#include "machine/sound_card.h"

namespace {

class CdMci : public ::testing::Test {
protected:
    void SetUp() override {
        StartHeadlessMachine(1); // every frame is one second of disc time
    }

    // The disc of the examples: three tracks, 400 s from the first track's start.
    static machine::CdDiscSpec ThreeTracks() {
        machine::CdDiscSpec disc;
        disc.tracks = {{2000, ""}, {182000, ""}, {302000, ""}};
        disc.lengthMs = 400000;
        return disc;
    }

    void InsertThreeTracks() {
        machine::SetCdDrivePresent(true);
        ASSERT_TRUE(machine::InsertCdDisc(ThreeTracks()));
    }

    static MCIERROR Open(MCIDEVICEID* id, DWORD flags = MCI_OPEN_TYPE,
                         const char* type = "cdaudio") {
        MCI_OPEN_PARMSA open = {};
        open.lpstrDeviceType = type;
        MCIERROR error = mciSendCommandA(0, MCI_OPEN, flags, (DWORD_PTR)&open);
        *id = open.wDeviceID;
        return error;
    }

    static MCIERROR SetFormat(MCIDEVICEID id, DWORD format) {
        MCI_SET_PARMS set = {};
        set.dwTimeFormat = format;
        return mciSendCommandA(id, MCI_SET, MCI_SET_TIME_FORMAT, (DWORD_PTR)&set);
    }

    static MCIERROR Status(MCIDEVICEID id, DWORD item, DWORD_PTR* value, int track = 0) {
        MCI_STATUS_PARMS status = {};
        status.dwItem = item;
        status.dwTrack = track;
        MCIERROR error = mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM | (track ? MCI_TRACK : 0),
                                         (DWORD_PTR)&status);
        *value = status.dwReturn;
        return error;
    }

    static MCIERROR Play(MCIDEVICEID id, DWORD from, DWORD to, DWORD flags = MCI_FROM | MCI_TO) {
        MCI_PLAY_PARMS play = {};
        play.dwFrom = from;
        play.dwTo = to;
        return mciSendCommandA(id, MCI_PLAY, flags, (DWORD_PTR)&play);
    }
};

// ---- opening ---------------------------------------------------------------------------------

TEST_F(CdMci, TheDefaultMachineHasNoDrive) {
    MCIDEVICEID id;
    EXPECT_EQ((MCIERROR)MCIERR_INVALID_DEVICE_NAME, Open(&id));
}

TEST_F(CdMci, OpenNeedsTheCdaudioTypeAndAParameterBlock) {
    machine::SetCdDrivePresent(true);
    MCIDEVICEID id;
    EXPECT_EQ((MCIERROR)MCIERR_DEVICE_TYPE_REQUIRED, Open(&id, 0));
    EXPECT_EQ((MCIERROR)MCIERR_INVALID_DEVICE_NAME, Open(&id, MCI_OPEN_TYPE, "waveaudio"));
    EXPECT_EQ((MCIERROR)MCIERR_NULL_PARAMETER_BLOCK,
              mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, 0));
    EXPECT_EQ(0u, Open(&id, MCI_OPEN_TYPE, "CDAudio"));
    EXPECT_NE(0u, id);
}

TEST_F(CdMci, ASecondOpenMustBeShareable) {
    machine::SetCdDrivePresent(true);
    MCIDEVICEID first, second;
    ASSERT_EQ(0u, Open(&first));
    EXPECT_EQ((MCIERROR)MCIERR_MUST_USE_SHAREABLE, Open(&second));
    ASSERT_EQ(0u, mciSendCommandA(first, MCI_CLOSE, 0, 0));
    EXPECT_EQ((MCIERROR)MCIERR_INVALID_DEVICE_ID, mciSendCommandA(first, MCI_CLOSE, 0, 0));
    ASSERT_EQ(0u, Open(&first, MCI_OPEN_TYPE | MCI_OPEN_SHAREABLE));
    EXPECT_EQ(0u, Open(&second, MCI_OPEN_TYPE | MCI_OPEN_SHAREABLE));
    EXPECT_NE(first, second);
}

TEST_F(CdMci, UnknownDevicesAndCommandsAreRefused) {
    InsertThreeTracks();
    DWORD_PTR value;
    EXPECT_EQ((MCIERROR)MCIERR_INVALID_DEVICE_ID, Status(42, MCI_STATUS_MODE, &value));
    MCIDEVICEID id;
    ASSERT_EQ(0u, Open(&id));
    EXPECT_EQ((MCIERROR)MCIERR_UNRECOGNIZED_COMMAND, mciSendCommandA(id, 0x0999, 0, 0));
}

// ---- status ------------------------------------------------------------------------------------

TEST_F(CdMci, WithoutADiscOnlyTheDriveStateAnswers) {
    machine::SetCdDrivePresent(true);
    MCIDEVICEID id;
    ASSERT_EQ(0u, Open(&id));
    DWORD_PTR value;
    EXPECT_EQ((MCIERROR)MCIERR_DEVICE_NOT_READY, Status(id, MCI_STATUS_NUMBER_OF_TRACKS, &value));
    EXPECT_EQ(0u, Status(id, MCI_STATUS_MODE, &value));
    EXPECT_EQ((DWORD_PTR)MCI_MODE_NOT_READY, value);
    EXPECT_EQ(0u, Status(id, MCI_STATUS_MEDIA_PRESENT, &value));
    EXPECT_EQ((DWORD_PTR)FALSE, value);
    EXPECT_EQ((MCIERROR)MCIERR_DEVICE_NOT_READY, Play(id, 0, 0, 0));
}

TEST_F(CdMci, TrackStartsAndLengthsInMilliseconds) {
    InsertThreeTracks();
    MCIDEVICEID id;
    ASSERT_EQ(0u, Open(&id));
    ASSERT_EQ(0u, SetFormat(id, MCI_FORMAT_MILLISECONDS));
    DWORD_PTR value;
    ASSERT_EQ(0u, Status(id, MCI_STATUS_NUMBER_OF_TRACKS, &value));
    EXPECT_EQ(3u, value);
    ASSERT_EQ(0u, Status(id, MCI_STATUS_POSITION, &value, 2));
    EXPECT_EQ(182000u, value);
    ASSERT_EQ(0u, Status(id, MCI_STATUS_LENGTH, &value));
    EXPECT_EQ(400000u, value);
    ASSERT_EQ(0u, Status(id, MCI_STATUS_LENGTH, &value, 3));
    EXPECT_EQ(100000u, value); // to the disc's end, 2000 + 400000
    EXPECT_EQ((MCIERROR)MCIERR_OUTOFRANGE, Status(id, MCI_STATUS_POSITION, &value, 4));
    EXPECT_EQ((MCIERROR)MCIERR_OUTOFRANGE, Status(id, MCI_STATUS_POSITION, &value, 0x7FFF));
}

TEST_F(CdMci, MsfIsTheStartingFormatAndTmsfNamesTracks) {
    InsertThreeTracks();
    MCIDEVICEID id;
    ASSERT_EQ(0u, Open(&id));
    DWORD_PTR value;
    ASSERT_EQ(0u, Status(id, MCI_STATUS_TIME_FORMAT, &value));
    EXPECT_EQ((DWORD_PTR)MCI_FORMAT_MSF, value);
    ASSERT_EQ(0u, Status(id, MCI_STATUS_POSITION, &value, 2));
    EXPECT_EQ(MCI_MAKE_MSF(3, 2, 0), value);

    ASSERT_EQ(0u, SetFormat(id, MCI_FORMAT_TMSF));
    ASSERT_EQ(0u, Status(id, MCI_STATUS_POSITION, &value, 3));
    EXPECT_EQ(MCI_MAKE_TMSF(3, 0, 0, 0), value);
    ASSERT_EQ(0u, Status(id, MCI_STATUS_LENGTH, &value, 2));
    EXPECT_EQ(MCI_MAKE_MSF(2, 0, 0), value); // lengths stay MSF
    EXPECT_EQ((MCIERROR)MCIERR_BAD_TIME_FORMAT, SetFormat(id, MCI_FORMAT_BYTES));
}

TEST_F(CdMci, DiscsMustHaveRisingTracksInsideTheirLength) {
    machine::SetCdDrivePresent(true);
    machine::CdDiscSpec disc = ThreeTracks();
    disc.tracks[2].startMs = 150000;
    EXPECT_FALSE(machine::InsertCdDisc(disc));
    disc = ThreeTracks();
    disc.lengthMs = 300000; // the disc ends at 302000, where track 3 would start
    EXPECT_FALSE(machine::InsertCdDisc(disc));
    machine::CdDiscSpec none;
    EXPECT_FALSE(machine::CdDisc(&none));
}

// ---- playing
// -------------------------------------------------------------------------------------

TEST_F(CdMci, PlayRunsOnTheClockToItsEnd) {
    InsertThreeTracks();
    MCIDEVICEID id;
    ASSERT_EQ(0u, Open(&id));
    ASSERT_EQ(0u, SetFormat(id, MCI_FORMAT_TMSF));
    ASSERT_EQ(0u, Play(id, MCI_MAKE_TMSF(2, 0, 0, 0), MCI_MAKE_TMSF(3, 0, 0, 0)));
    EXPECT_EQ(182000, machine::CdLastPlayFromMs());
    EXPECT_EQ(302000, machine::CdLastPlayToMs());
    DWORD_PTR value;
    ASSERT_EQ(0u, Status(id, MCI_STATUS_MODE, &value));
    EXPECT_EQ((DWORD_PTR)MCI_MODE_PLAY, value);
    for (int s = 0; s < 5; s++) machine::AdvanceFrame();
    ASSERT_EQ(0u, Status(id, MCI_STATUS_POSITION, &value));
    EXPECT_EQ(MCI_MAKE_TMSF(2, 0, 5, 0), value);
    ASSERT_EQ(0u, Status(id, MCI_STATUS_CURRENT_TRACK, &value));
    EXPECT_EQ(2u, value);
    for (int s = 0; s < 120; s++) machine::AdvanceFrame();
    ASSERT_EQ(0u, Status(id, MCI_STATUS_MODE, &value));
    EXPECT_EQ((DWORD_PTR)MCI_MODE_STOP, value);
    EXPECT_EQ(302000, machine::CdPositionMs());
}

TEST_F(CdMci, StopHoldsThePositionAndCloseStopsTheDrive) {
    InsertThreeTracks();
    MCIDEVICEID id;
    ASSERT_EQ(0u, Open(&id));
    ASSERT_EQ(0u, SetFormat(id, MCI_FORMAT_MILLISECONDS));
    ASSERT_EQ(0u, Play(id, 10000, 0, MCI_FROM)); // to the disc's end
    EXPECT_EQ(402000, machine::CdLastPlayToMs());
    machine::AdvanceFrame();
    ASSERT_EQ(0u, mciSendCommandA(id, MCI_STOP, 0, 0));
    machine::AdvanceFrame();
    EXPECT_EQ(11000, machine::CdPositionMs());
    EXPECT_FALSE(machine::CdPlaying());
    ASSERT_EQ(0u, Play(id, 0, 0, 0)); // resumes where it stopped
    EXPECT_EQ(11000, machine::CdLastPlayFromMs());
    ASSERT_EQ(0u, mciSendCommandA(id, MCI_CLOSE, 0, 0));
    EXPECT_FALSE(machine::CdPlaying());
}

TEST_F(CdMci, PlaysOutsideTheDiscAreRefused) {
    InsertThreeTracks();
    MCIDEVICEID id;
    ASSERT_EQ(0u, Open(&id));
    ASSERT_EQ(0u, SetFormat(id, MCI_FORMAT_TMSF));
    EXPECT_EQ((MCIERROR)MCIERR_OUTOFRANGE, Play(id, MCI_MAKE_TMSF(4, 0, 0, 0), 0, MCI_FROM));
    EXPECT_EQ((MCIERROR)MCIERR_OUTOFRANGE, Play(id, MCI_MAKE_TMSF(0, 0, 0, 0), 0, MCI_FROM));
    EXPECT_EQ((MCIERROR)MCIERR_OUTOFRANGE,
              Play(id, MCI_MAKE_TMSF(3, 0, 0, 0), MCI_MAKE_TMSF(2, 0, 0, 0)));
    EXPECT_EQ((MCIERROR)MCIERR_OUTOFRANGE,
              Play(id, MCI_MAKE_TMSF(3, 0, 0, 0), MCI_MAKE_TMSF(3, 1, 41, 0)));
    EXPECT_EQ(0u, Play(id, MCI_MAKE_TMSF(3, 0, 0, 0), MCI_MAKE_TMSF(3, 1, 40, 0)));
    EXPECT_EQ((MCIERROR)MCIERR_UNSUPPORTED_FUNCTION,
              Play(id, MCI_MAKE_TMSF(1, 0, 0, 0), 0, MCI_FROM | MCI_WAIT));
    EXPECT_EQ((MCIERROR)MCIERR_NULL_PARAMETER_BLOCK, mciSendCommandA(id, MCI_PLAY, MCI_FROM, 0));
}

// ---- sound
// ----------------------------------------------------------------------------------------

std::string WriteWave(const std::vector<int16_t>& stereo, int channels) {
    char path[] = "/tmp/prismatel_cd_XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    uint32_t dataBytes = (uint32_t)stereo.size() * 2;
    auto u32 = [](std::vector<uint8_t>& out, uint32_t v) {
        for (int i = 0; i < 4; i++) out.push_back((uint8_t)(v >> (8 * i)));
    };
    auto u16 = [](std::vector<uint8_t>& out, uint16_t v) {
        out.push_back((uint8_t)v);
        out.push_back((uint8_t)(v >> 8));
    };
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
    u32(file, 36 + dataBytes);
    file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    u32(file, 16);
    u16(file, 1);
    u16(file, (uint16_t)channels);
    u32(file, 44100);
    u32(file, 44100 * 2 * channels);
    u16(file, (uint16_t)(2 * channels));
    u16(file, 16);
    file.insert(file.end(), {'d', 'a', 't', 'a'});
    u32(file, dataBytes);
    for (int16_t s : stereo) u16(file, (uint16_t)s);
    EXPECT_EQ((ssize_t)file.size(), write(fd, file.data(), file.size()));
    close(fd);
    return path;
}

TEST_F(CdMci, PlayingATrackSendsItsSoundThenSilence) {
    std::vector<int16_t> samples;
    for (int i = 0; i < 100; i++) {
        samples.push_back((int16_t)(i * 10));
        samples.push_back((int16_t)(-i * 10));
    }
    std::string path = WriteWave(samples, 2);
    machine::SetCdDrivePresent(true);
    machine::CdDiscSpec disc;
    disc.tracks = {{0, ""}, {1000, path}};
    disc.lengthMs = 3000;
    ASSERT_TRUE(machine::InsertCdDisc(disc));
    MCIDEVICEID id;
    ASSERT_EQ(0u, Open(&id));
    ASSERT_EQ(0u, SetFormat(id, MCI_FORMAT_TMSF));
    ASSERT_EQ(0u, Play(id, MCI_MAKE_TMSF(2, 0, 0, 0), 0, MCI_FROM));
    std::vector<int16_t> out(2 * 150);
    sound::Render(out.data(), 150);
    EXPECT_EQ(std::vector<int16_t>(samples.begin(), samples.end()),
              std::vector<int16_t>(out.begin(), out.begin() + 200));
    for (size_t i = 200; i < out.size(); i++) EXPECT_EQ(0, out[i]);
    mciSendCommandA(id, MCI_STOP, 0, 0);
    EXPECT_EQ(0, sound::SourceCount());
    unlink(path.c_str());
}

TEST_F(CdMci, UnusableWavesKeepTheDiscOut) {
    std::string path = WriteWave({1, 2, 3, 4}, 3);
    machine::SetCdDrivePresent(true);
    machine::CdDiscSpec disc;
    disc.tracks = {{0, path}};
    disc.lengthMs = 1000;
    EXPECT_FALSE(machine::InsertCdDisc(disc));
    disc.tracks[0].wavPath = "/nonexistent/track.wav";
    EXPECT_FALSE(machine::InsertCdDisc(disc));
    unlink(path.c_str());
}

// ---- failures and the log
// --------------------------------------------------------------------------

TEST_F(CdMci, InjectedFailuresHitTheChosenStatusItem) {
    InsertThreeTracks();
    MCIDEVICEID id;
    ASSERT_EQ(0u, Open(&id));
    machine::FailMciCommand(MCI_STATUS, MCI_STATUS_LENGTH, MCIERR_HARDWARE);
    DWORD_PTR value;
    EXPECT_EQ(0u, Status(id, MCI_STATUS_NUMBER_OF_TRACKS, &value));
    EXPECT_EQ((MCIERROR)MCIERR_HARDWARE, Status(id, MCI_STATUS_LENGTH, &value));
    EXPECT_EQ(0u, Status(id, MCI_STATUS_LENGTH, &value));
    std::vector<machine::MciCall> calls = machine::MciCalls();
    ASSERT_EQ(4u, calls.size());
    EXPECT_EQ((UINT)MCI_OPEN, calls[0].message);
    EXPECT_EQ((DWORD)MCI_STATUS_LENGTH, calls[2].item);
    EXPECT_EQ(id, calls[2].device);
}

TEST_F(CdMci, ResetTakesTheDriveAwayAndClosesDevices) {
    InsertThreeTracks();
    MCIDEVICEID id;
    ASSERT_EQ(0u, Open(&id));
    machine::ResetForTest();
    EXPECT_FALSE(machine::CdDrivePresent());
    EXPECT_TRUE(machine::MciCalls().empty());
    machine::SetCdDrivePresent(true);
    EXPECT_EQ(0u, Open(&id)); // nothing left open to share with
}

} // namespace
