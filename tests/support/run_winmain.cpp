// Starting the program in-process, as the loader would: a test links it only when it
// defines the program (WinMain and what it calls).
#include "run_winmain.h"

#include <windows.h>

#include "kernel32/threads.h"
#include "machine/machine.h"

namespace machine {

int RunWinMain(int waitMs) {
    ResetForTest();
    char commandLine[1] = {0};
    int result = WinMain(GetModuleHandleA(NULL), NULL, commandLine, SW_SHOWNORMAL);
    // The program does not wait for its main thread; a test must, before the next run.
    kernel32::WaitForAllThreads(waitMs);
    return result;
}

} // namespace machine
