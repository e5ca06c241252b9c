// The application frame: process globals shared between the threads, the device
// registry, clocks, fatal errors, debug output and small integer and rectangle helpers.
#ifndef PRISMATEL_SYSTEM_H
#define PRISMATEL_SYSTEM_H

#include <windows.h>

#include <atomic>
#include <stdint.h>

#include "base/base.h"

// ---- process globals (window thread, main thread, CD-audio thread) ----------

extern HINSTANCE appInstance;
extern std::atomic<HWND> mainWindow;
extern bool appActive;
extern bool inMenuLoop;
extern std::atomic<HANDLE> mainThread;
extern DWORD mainThreadId;
extern std::atomic<HANDLE> cdThread;
extern DWORD cdThreadId;
extern std::atomic<bool> cdThreadRunning;
extern std::atomic<uint32_t> cdCommand;
extern char fatalMessage[256];

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// True on the thread that runs WinMain, while it runs (WinMain sets it).
extern thread_local bool onWindowThread;
inline bool IsWindowThread() {
    return onWindowThread;
}
DWORD WINAPI MainThread(LPVOID parameter);

// What the main thread runs between engine start-up and shut-down: the demo, or
// another program built on the engine.
void DemoMain();

// ---- device registry --------------------------------------------------------

enum DeviceKind {
    DK_DISPLAY = 0,
    DK_POINTER = 2,
    DK_KEYBOARD = 3,
    DK_CDAUDIO = 4,
};

const int DEVICE_KINDS = 5;
const int DEVICE_SLOTS = 4;

class sDevice {
public:
    sDevice();
    virtual ~sDevice();

    char name[32];
    int32_t priority;
};

void ClearDevices();
void RegisterDevice(int kind, sDevice* device);
sDevice* GetDevice(int kind, int slot);
void DeleteDevices();

// ---- clocks -----------------------------------------------------------------

int64_t GetMilliseconds();
int64_t GetMicroseconds();

// ---- failures and debug output ------------------------------------------------

[[noreturn]] void FatalBox(const char* text);
[[noreturn]] void Fatal(const char* text);
[[noreturn]] void AssertionFailed(int line, const char* file);

#define ASSERT(condition)                                                                          \
    do {                                                                                           \
        if (!(condition)) AssertionFailed(__LINE__, __FILE__);                                     \
    } while (0)

void DebugPrint(const char* format, ...);
void DebugOutput(const char* text);

// ---- small helpers ------------------------------------------------------------

inline int Min(int a, int b) {
    return a <= b ? a : b;
}
inline int Sign(int a) {
    return a > 0 ? 1 : (a < 0 ? -1 : 0);
}
int Abs(int a);
inline int AlignUp(int a, int b) {
    return (a + b - 1) & ~(b - 1);
}

// Rectangles exclude their right and bottom edges.
struct sRect {
    int32_t x0, y0, x1, y1;
    bool Contains(int x, int y) const { return x0 <= x && x < x1 && y0 <= y && y < y1; }
};

struct sBlitRect {
    int32_t srcX, srcY, dstX, dstY, width, height;
};

// Clips a blit to the clip rectangle and the source size; false means nothing to draw.
bool ClipBlitRect(sBlitRect& r, const sRect& clip, int sourceWidth, int sourceHeight);

#endif
