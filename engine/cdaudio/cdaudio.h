// CD audio: the command word and the audio thread that carries the commands out.
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

// The audio thread's routine: polls cdCommand until CD_QUIT, then clears
// cdThreadRunning and ends with CD_THREAD_EXIT_CODE.
DWORD WINAPI CdThread(LPVOID parameter);

// CdThread marks its thread first thing; Fatal asks, to release the thread's waiter.
void MarkCdThread();
bool IsCdThread();

#endif
