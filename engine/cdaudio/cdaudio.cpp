// The CD-audio thread and device. All drive work happens on the thread, so that no other
// thread ever waits for the drive.
#include "cdaudio/cdaudio.h"

static thread_local bool onCdThread = false;

void MarkCdThread() {
    onCdThread = true;
}

bool IsCdThread() {
    return onCdThread;
}

// ---- the device ---------------------------------------------------------------------------

sCdAudio::sCdAudio() {
    cdDeviceId = 0;
    RegisterDevice(DK_CDAUDIO, this);
}

sCdAudio::~sCdAudio() {
    cdCommand = CD_CLOSE;
}

// ---- the command loop --------------------------------------------------------------------

// Takes the posted command; the exchange cannot lose a command posted meanwhile.
static uint32_t TakeCommand() {
    return cdCommand.exchange(0);
}

bool CdPerform(uint32_t command) {
    switch (command & 0xFF00) {
    case CD_OPEN: CdOpen(); break;
    case CD_CLOSE: CdClose(); break;
    case CD_PLAY: CdPlay((int)(command & 0xFF)); break;
    case CD_STOP: CdStop(); break;
    case CD_QUIT:
        // A close posted just before may have been replaced by the quit: nothing may stay
        // open or playing after the thread.
        CdClose();
        return false;
    default: break;
    }
    return true;
}

DWORD WINAPI CdThread(LPVOID) {
    MarkCdThread();
    bool running = true;
    while (running) {
        running = CdPerform(TakeCommand());
        Sleep(CD_POLL_MILLISECONDS);
    }
    cdThreadRunning = false;
    return CD_THREAD_EXIT_CODE;
}
