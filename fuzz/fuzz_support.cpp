// Stand-ins for the parts of the frame and kernel that the file and bitmap code call,
// fit for a fuzzer: failures throw, debug text is dropped.
#include "fuzz_support.h"

#include <stdarg.h>
#include <stdio.h>
#include <unistd.h>

#include "kernel32/file_handles.h"
#include "system.h"

namespace {
thread_local DWORD lastError = 0;
}

void FatalBox(const char* text) {
    throw FuzzStop{text};
}
void Fatal(const char* text) {
    throw FuzzStop{text};
}
void AssertionFailed(int line, const char* file) {
    char text[256];
    Format(text, sizeof text, "Assertion in line %d, file %s", line, file);
    throw FuzzStop{text};
}
void DebugPrint(const char*, ...) {}
void DebugOutput(const char*) {}
int Abs(int a) {
    return a < 0 ? -a : a;
}

DWORD WINAPI GetLastError(void) {
    return lastError;
}
void WINAPI SetLastError(DWORD error) {
    lastError = error;
}
BOOL WINAPI CloseHandle(HANDLE object) {
    return CloseFileHandle(object) ? TRUE : FALSE;
}

const char* WriteInputFile(const uint8_t* data, size_t size) {
    static std::string path;
    if (path.empty()) {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path = std::string(dir) + "/prismatel-fuzz-" + std::to_string(getpid()) + ".bin";
    }
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) abort();
    if (size && fwrite(data, 1, size, f) != size) abort();
    fclose(f);
    return path.c_str();
}
