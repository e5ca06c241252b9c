// CD audio: the command word, the CD-audio device and the thread that carries the commands
// out through the multimedia control interface.
#ifndef PRISMATEL_CDAUDIO_H
#define PRISMATEL_CDAUDIO_H

#include "system.h"

// Commands posted into cdCommand: bits 8-15 select, bits 0-7 carry the argument.
enum CdCommandCode {
    CD_OPEN = 0x100,
    CD_CLOSE = 0x200,
    CD_PLAY = 0x300, // | track number 1-99
    CD_STOP = 0x400,
    CD_QUIT = 0x500,
};

const int CD_POLL_MILLISECONDS = 100;
const DWORD CD_THREAD_EXIT_CODE = 123;
const int CD_MAX_TRACKS = 99;
// One slot more than the tracks: the end mark while the lengths are computed.
const int CD_TRACK_TABLE_SIZE = CD_MAX_TRACKS + 1;

// The drive's state; the audio thread's alone.
extern MCIDEVICEID cdDeviceId; // 0 while the drive is closed
extern int32_t cdTrackCount;
extern int32_t cdTrackLength[CD_TRACK_TABLE_SIZE]; // milliseconds, index 0 = track 1

// The CD-audio device: registered as DK_CDAUDIO; destroying it asks the thread to close
// the drive.
class sCdAudio : public sDevice {
public:
    sCdAudio();
    virtual ~sCdAudio();
};

// The audio thread's routine: polls cdCommand until CD_QUIT, then clears
// cdThreadRunning and ends with CD_THREAD_EXIT_CODE.
DWORD WINAPI CdThread(LPVOID parameter);

// One taken command carried out; false when it asks the thread to end.
bool CdPerform(uint32_t command);

// The drive operations behind the commands (audio thread only).
void CdOpen();
void CdClose();
void CdPlay(int track);
void CdStop();

// CdThread marks its thread first thing; Fatal asks, to release the thread's waiter.
void MarkCdThread();
bool IsCdThread();

#endif
