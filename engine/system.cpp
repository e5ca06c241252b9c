// Process globals, clocks, the two ways to die, debug output and small integer and
// rectangle helpers.
#include "system.h"

#include <stdlib.h>

#include "cdaudio/cdaudio.h"
#include "windriver/windriver.h"

HINSTANCE appInstance;
std::atomic<HWND> mainWindow;
bool appActive;
bool inMenuLoop;
std::atomic<HANDLE> mainThread;
DWORD mainThreadId;
std::atomic<HANDLE> cdThread;
DWORD cdThreadId;
std::atomic<bool> cdThreadRunning;
std::atomic<uint32_t> cdCommand;
thread_local bool onWindowThread = false;
char fatalMessage[256];

static const char APP_NAME[] = "Prismatel";
static const int FATAL_EXIT_CODE = 666;

// ---- clocks -------------------------------------------------------------------------

// Counter values in units of 2^32 counts; the scale cancels out in the quotient.
static double CounterToDouble(const LARGE_INTEGER& v) {
    return (double)v.u.HighPart + (double)v.u.LowPart * (1.0 / 4294967296.0);
}

static bool ReadCounter(double& count, double& frequency) {
    LARGE_INTEGER c, f;
    if (!QueryPerformanceCounter(&c) || !QueryPerformanceFrequency(&f)) return false;
    if (f.QuadPart == 0) return false;
    count = CounterToDouble(c);
    frequency = CounterToDouble(f);
    return true;
}

int64_t GetMilliseconds() {
    double count, frequency;
    if (!ReadCounter(count, frequency)) return (int64_t)timeGetTime();
    return (int64_t)(count * 1000.0 / frequency);
}

int64_t GetMicroseconds() {
    double count, frequency;
    if (!ReadCounter(count, frequency)) return (int64_t)timeGetTime() * 1000;
    return (int64_t)(count * 1000000.0 / frequency);
}

// ---- failures -----------------------------------------------------------------------

void FatalBox(const char* text) {
    // DirectDraw belongs to the main thread. When the window thread fails while that
    // thread runs, pulling DirectDraw from under it would race; the process's end
    // gives it back instead.
    if (!(IsWindowThread() && mainThread)) ReleaseDirectDraw();
    MessageBoxA(NULL, text, APP_NAME, MB_ICONQUESTION);
    exit(1);
}

void Fatal(const char* text) {
    ReleaseDirectDraw();
    Format(fatalMessage, sizeof fatalMessage, "Fatal:%s\n", text);
    DebugOutput(fatalMessage);
    PostMessageA(mainWindow, WM_QUIT, 0, 0);
    // The window thread waits for this flag at exit; a CD thread that dies here must not
    // leave it set.
    if (IsCdThread()) cdThreadRunning = false;
    ExitThread(FATAL_EXIT_CODE);
}

void AssertionFailed(int line, const char* file) {
    char text[256];
    Format(text, sizeof text, "Assertion in line %d, file %s", line, file);
    Fatal(text);
}

// ---- debug output ---------------------------------------------------------------------

static char debugBuffer[256];

void DebugPrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(debugBuffer, sizeof debugBuffer, format, args);
    va_end(args);
    DebugOutput(debugBuffer);
}

void DebugOutput(const char* text) {
    // A debugger halted on this line must not find the back buffer locked.
    if (theDisplay) theDisplay->UnlockBack();
    OutputDebugStringA(text);
}

// ---- integers and rectangles ------------------------------------------------------------

// The most negative integer has no positive counterpart and comes back unchanged.
int Abs(int a) {
    return a > 0 ? a : (int)(0u - (uint32_t)a);
}

static int32_t Narrow(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return (int32_t)v;
}

// Computed in 64 bits so that no input can overflow; the steps are the blitter's.
bool ClipBlitRect(sBlitRect& r, const sRect& clip, int sourceWidth, int sourceHeight) {
    int64_t srcX = r.srcX, srcY = r.srcY, dstX = r.dstX, dstY = r.dstY;
    int64_t width = r.width, height = r.height;
    if (srcX + width > sourceWidth) width = sourceWidth - srcX;
    if (srcY + height > sourceHeight) height = sourceHeight - srcY;
    r.width = Narrow(width);
    r.height = Narrow(height);
    if (dstX >= clip.x1 || dstY >= clip.y1 || dstX + width <= clip.x0 || dstY + height <= clip.y0 ||
        width <= 0 || height <= 0)
        return false;
    if (dstX < clip.x0) {
        width = dstX + width - clip.x0;
        srcX = srcX + clip.x0 - dstX;
        dstX = clip.x0;
    }
    if (dstY < clip.y0) {
        height = dstY + height - clip.y0;
        srcY = srcY + clip.y0 - dstY;
        dstY = clip.y0;
    }
    if (srcX < 0) {
        width = width + srcX;
        dstX = dstX - srcX;
        srcX = 0;
    }
    if (srcY < 0) {
        height = height + srcY;
        dstY = dstY - srcY;
        srcY = 0;
    }
    if (dstX + width > clip.x1) width = clip.x1 - dstX;
    if (dstY + height > clip.y1) height = clip.y1 - dstY;
    // A source starting left of or above its bitmap can still shrink the blit to nothing.
    bool drawable = width > 0 && height > 0;
    r.srcX = Narrow(srcX);
    r.srcY = Narrow(srcY);
    r.dstX = Narrow(dstX);
    r.dstY = Narrow(dstY);
    r.width = Narrow(width);
    r.height = Narrow(height);
    return drawable;
}
