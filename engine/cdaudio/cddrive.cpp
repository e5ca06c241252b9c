// The drive operations of the CD-audio thread: open with the track table, play a track,
// stop, close; all through the multimedia control interface's "cdaudio" device.
#include "cdaudio/cdaudio.h"

MCIDEVICEID cdDeviceId = 0;
int32_t cdTrackCount = 0;
int32_t cdTrackLength[CD_TRACK_TABLE_SIZE];

static bool SetTimeFormat(MCIDEVICEID device, DWORD format) {
    MCI_SET_PARMS set;
    MemFill(&set, 0, sizeof set);
    set.dwTimeFormat = format;
    return mciSendCommandA(device, MCI_SET, MCI_SET_TIME_FORMAT, (DWORD_PTR)&set) == 0;
}

// One status item (of one track when `track` is not 0); false when the drive refuses.
static bool ReadStatus(MCIDEVICEID device, DWORD item, int track, DWORD_PTR* value) {
    MCI_STATUS_PARMS status;
    MemFill(&status, 0, sizeof status);
    status.dwItem = item;
    status.dwTrack = (DWORD)track;
    DWORD flags = MCI_STATUS_ITEM | (track ? MCI_TRACK : 0);
    if (mciSendCommandA(device, MCI_STATUS, flags, (DWORD_PTR)&status) != 0) return false;
    *value = status.dwReturn;
    return true;
}

static void CloseDevice(MCIDEVICEID device) {
    mciSendCommandA(device, MCI_CLOSE, 0, 0);
}

// Reads the track starts and turns them into lengths; the last track runs to the disc's
// end, the first track's start plus the disc's length.
static bool ReadTrackTable(MCIDEVICEID device, int count) {
    DWORD_PTR value;
    for (int track = 1; track <= count; track++) {
        if (!ReadStatus(device, MCI_STATUS_POSITION, track, &value)) return false;
        cdTrackLength[track - 1] = (int32_t)value;
    }
    if (!ReadStatus(device, MCI_STATUS_LENGTH, 0, &value)) return false;
    // A disc without tracks has no starts to measure from.
    if (count == 0) return true;
    cdTrackLength[count] = cdTrackLength[0] + (int32_t)value;
    for (int i = 0; i < count; i++) cdTrackLength[i] = cdTrackLength[i + 1] - cdTrackLength[i];
    return true;
}

static bool ReadDisc(MCIDEVICEID device) {
    DWORD_PTR value;
    if (!SetTimeFormat(device, MCI_FORMAT_MILLISECONDS)) return false;
    if (!ReadStatus(device, MCI_STATUS_NUMBER_OF_TRACKS, 0, &value)) return false;
    int32_t count = (int32_t)value;
    ASSERT(count >= 0);
    if (count > CD_MAX_TRACKS) count = CD_MAX_TRACKS;
    cdTrackCount = count;
    return ReadTrackTable(device, count);
}

void CdOpen() {
    // Opening again would leave the first device open for good.
    CdClose();
    cdDeviceId = 0;
    MCI_OPEN_PARMSA open;
    MemFill(&open, 0, sizeof open);
    open.lpstrDeviceType = "cdaudio";
    if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, (DWORD_PTR)&open) != 0) return;
    if (!ReadDisc(open.wDeviceID)) {
        CloseDevice(open.wDeviceID);
        cdTrackCount = 0;
        return;
    }
    cdDeviceId = open.wDeviceID;
}

// The end of a play: the next track's start, or for the last track its own length.
static DWORD PlayEnd(int track) {
    if (track < cdTrackCount) return MCI_MAKE_TMSF(track + 1, 0, 0, 0);
    int32_t length = cdTrackLength[track - 1];
    return MCI_MAKE_TMSF(track, length / 60000, (length / 1000) % 60, (length % 1000) * 75 / 1000);
}

void CdPlay(int track) {
    if (cdDeviceId == 0) return;
    ASSERT(track >= 1 && track <= cdTrackCount);
    if (!SetTimeFormat(cdDeviceId, MCI_FORMAT_TMSF)) return;
    MCI_PLAY_PARMS play;
    MemFill(&play, 0, sizeof play);
    play.dwFrom = MCI_MAKE_TMSF(track, 0, 0, 0);
    play.dwTo = PlayEnd(track);
    mciSendCommandA(cdDeviceId, MCI_PLAY, MCI_FROM | MCI_TO, (DWORD_PTR)&play);
}

void CdStop() {
    if (cdDeviceId != 0) mciSendCommandA(cdDeviceId, MCI_STOP, 0, 0);
}

void CdClose() {
    if (cdDeviceId == 0) return;
    CdStop();
    CloseDevice(cdDeviceId);
    cdDeviceId = 0;
}
