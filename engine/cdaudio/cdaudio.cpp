// The CD-audio thread. All drive work happens here, so that no other thread ever waits
// for the drive.
#include "cdaudio/cdaudio.h"

static thread_local bool onCdThread = false;

void MarkCdThread() {
    onCdThread = true;
}

bool IsCdThread() {
    return onCdThread;
}

// ---- drive operations (audio thread only) --------------------------------------------

static void Open() {}

static void Close() {}

static void Play(int track) {
    (void)track;
}

static void Stop() {}

// ---- the command loop --------------------------------------------------------------------

// Takes the posted command; the exchange cannot lose a command posted meanwhile.
static uint32_t TakeCommand() {
    return cdCommand.exchange(0);
}

// Returns false when the command asks the thread to end.
static bool Perform(uint32_t command) {
    switch (command & 0xFF00) {
    case CD_OPEN: Open(); break;
    case CD_CLOSE: Close(); break;
    case CD_PLAY: Play((int)(command & 0xFF)); break;
    case CD_STOP: Stop(); break;
    case CD_QUIT: return false;
    default: break;
    }
    return true;
}

DWORD WINAPI CdThread(LPVOID) {
    MarkCdThread();
    bool running = true;
    while (running) {
        running = Perform(TakeCommand());
        Sleep(CD_POLL_MILLISECONDS);
    }
    cdThreadRunning = false;
    return CD_THREAD_EXIT_CODE;
}
