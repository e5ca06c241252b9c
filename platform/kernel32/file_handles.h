// File handles of the kernel stand-in. CloseHandle serves threads and files alike:
// it offers every handle to CloseFileHandle first.
#ifndef PRISMATEL_FILEHANDLES_H
#define PRISMATEL_FILEHANDLES_H

#include <windows.h>

// True when the handle was an open file handle, which is now closed.
bool CloseFileHandle(HANDLE handle);
// True when the handle names an open file.
bool IsFileHandle(HANDLE handle);

namespace machine {
// Files opened through CreateFileA and not closed yet (tests).
int OpenFileHandles();
} // namespace machine

#endif
