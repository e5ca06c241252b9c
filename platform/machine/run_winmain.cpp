// Starting the program in-process, as the loader would: kept apart from the rest of the
// machine because it needs the program's WinMain.
#include <windows.h>

#include "machine.h"

namespace machine {

int RunWinMain(int waitMs) {
    ResetForTest();
    char commandLine[1] = {0};
    int result = WinMain(GetModuleHandleA(NULL), NULL, commandLine, SW_SHOWNORMAL);
    // The program does not wait for its main thread; a test must, before the next run.
    WaitForAllThreads(waitMs);
    return result;
}

} // namespace machine
