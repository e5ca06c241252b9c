// Starting the program in-process, as the loader would, for tests of WinMain.
#ifndef TESTS_SUPPORT_RUN_WINMAIN_H
#define TESTS_SUPPORT_RUN_WINMAIN_H

namespace machine {

// Runs the program's WinMain on the calling thread as the process start-up would (after a
// machine reset), then waits up to waitMs for the threads it started; returns WinMain's
// result.
int RunWinMain(int waitMs = 5000);

} // namespace machine

#endif
