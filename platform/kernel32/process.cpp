// The process: its module handle, the debugger channel, each thread's last error, and the
// process's end.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "machine/machine.h"

namespace {

const DWORD ERROR_MOD_NOT_FOUND_CODE = 126;
const HMODULE PROGRAM_IMAGE_BASE = (HMODULE)(uintptr_t)0x400000;

thread_local DWORD lastError = 0;

} // namespace

extern "C" {

void WINAPI OutputDebugStringA(LPCSTR text) {
    if (!text) return;
    machine::RecordDebugText(text);
    fputs(text, stderr);
    fflush(stderr);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName == NULL) return PROGRAM_IMAGE_BASE;
    SetLastError(ERROR_MOD_NOT_FOUND_CODE);
    return NULL;
}

DWORD WINAPI GetLastError(void) {
    return lastError;
}
void WINAPI SetLastError(DWORD error) {
    lastError = error;
}

// Only the process: the host's window and devices are the host's to close.
void WINAPI ExitProcess(UINT exitCode) {
    fflush(NULL);
    exit((int)exitCode);
}

} // extern "C"
