// File handles of the kernel stand-in. CloseHandle serves threads and files alike:
// it offers every handle to CloseFileHandle first.
#ifndef PRISMATEL_KERNEL32_FILE_HANDLES_H
#define PRISMATEL_KERNEL32_FILE_HANDLES_H

#include <windows.h>

// True when the handle was an open file handle, which is now closed.
bool CloseFileHandle(HANDLE handle);
// True when the handle names an open file.
bool IsFileHandle(HANDLE handle);

namespace kernel32 {
// Files opened through CreateFileA and not closed yet (tests).
int OpenFileHandles();
} // namespace kernel32

#endif
