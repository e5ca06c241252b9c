// The simulated machine's CD drive: whether there is one (by default there is none), the
// disc in it (track start times, its length, optionally each track's sound from a WAV
// file), where the drive is playing, and the hooks tests use to break single commands.
#ifndef PRISMATEL_MACHINE_CD_H
#define PRISMATEL_MACHINE_CD_H

#include <windows.h>

#include <string>
#include <vector>

namespace machine {

struct CdTrackSpec {
    int64_t startMs;     // position of the track's first frame on the disc
    std::string wavPath; // optional: 44,100 Hz 16-bit PCM (mono or stereo) to sound while playing
};

struct CdDiscSpec {
    std::vector<CdTrackSpec> tracks;
    int64_t lengthMs = 0; // as the drive reports it: from the first track's start to the end
};

void SetCdDrivePresent(bool present);
bool CdDrivePresent();
// Puts a disc into the drive (stopping what played). False, with no disc in the drive, when
// the track starts do not rise strictly inside the disc or a track's WAV cannot be read.
bool InsertCdDisc(const CdDiscSpec& disc);
void RemoveCdDisc();
// The disc in the drive; false when there is none (or no drive).
bool CdDisc(CdDiscSpec* disc);
// The end of the disc in disc milliseconds: first track's start + length.
int64_t CdDiscEndMs(const CdDiscSpec& disc);

// ---- playing (disc milliseconds, on the machine clock) --------------------------------------

// Plays [fromMs, toMs) and sends the tracks' sound, if any, to the sound card.
void CdStartPlaying(int64_t fromMs, int64_t toMs);
void CdStopPlaying();
bool CdPlaying();
int64_t CdPositionMs();
// The span of the last play command, for tests: -1 before any.
int64_t CdLastPlayFromMs();
int64_t CdLastPlayToMs();

// ---- commands and failures --------------------------------------------------------------------

struct MciCall {
    MCIDEVICEID device;
    UINT message;
    DWORD flags;
    DWORD item; // the status item, or the time format of a set; 0 otherwise
};

// Every command mciSendCommandA received since the last reset, in order.
std::vector<MciCall> MciCalls();
void RecordMciCall(const MciCall& call);
// The next `count` commands `message` (for MCI_STATUS: of status item `item`; 0 = any item)
// fail with `error`.
void FailMciCommand(UINT message, DWORD item, MCIERROR error, int count = 1);
bool TakeMciFailure(UINT message, DWORD item, MCIERROR* error);

// No drive, no disc, nothing playing, no failures, an empty log (also on machine reset,
// when winmm closes its MCI devices too).
void ResetCd();

} // namespace machine

#endif
