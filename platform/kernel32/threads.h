// The kernel's threads as tests see them.
#ifndef PRISMATEL_KERNEL32_THREADS_H
#define PRISMATEL_KERNEL32_THREADS_H

#include <stddef.h>

namespace kernel32 {

// Threads started through CreateThread since the last machine reset.
int ThreadsCreated();
// Threads started through CreateThread that have not ended yet.
int ThreadsRunning();
// Waits until no thread started through CreateThread runs; false on timeout.
bool WaitForAllThreads(int milliseconds);
// The stack size the program asked for when it created the thread behind the handle.
size_t RequestedStackSize(void* threadHandle);
// The next `successes` CreateThread calls succeed and the one after fails (-1: none fails).
void FailThreadCreation(int successes);

} // namespace kernel32

#endif
