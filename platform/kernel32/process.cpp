// The process: its module handle, the debugger channel, each thread's last error, and the
// process's end.
#include <windows.h>

#include <stdio.h>
#include <unistd.h>

#include "machine/machine.h"

#if defined(__SANITIZE_ADDRESS__)
#define PRISMATEL_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PRISMATEL_LEAK_CHECKED 1
#endif
#endif
#ifdef PRISMATEL_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>
#endif

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

// As in Windows, the other threads end where they stand and none of their code runs again;
// _exit does that. exit() would instead run static destructors and the libraries' exit
// handlers (the display's among them) while those threads still draw and play. What the
// host records is finished first, so that the files left behind are whole, and the
// host's window and devices go with the process, as on Windows.
void WINAPI ExitProcess(UINT exitCode) {
    machine::PowerOff();
    fflush(NULL);
#ifdef PRISMATEL_LEAK_CHECKED
    // _exit skips the leak checker's own exit handler.
    __lsan_do_leak_check();
#endif
    _exit((int)exitCode);
}

} // extern "C"
