// Inside user32: Ctrl+C and kill, the ways a user ends a program from outside its window.
#ifndef PRISMATEL_USER32_INTERRUPTS_H
#define PRISMATEL_USER32_INTERRUPTS_H

namespace user32 {

// From now on SIGINT and SIGTERM ask the program's windows to close; a second one ends the
// process at once with status 128 + the signal's number, as the default action would.
void WatchInterrupts();
// A signal came that nobody has answered yet.
bool InterruptWaiting();
// True once for each signal not yet answered: the caller closes its windows.
bool TakeInterrupt();

} // namespace user32

#endif
