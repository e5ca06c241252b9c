// The simulated PC behind the Win32 stand-in: its settings (from the environment),
// its clock, and the hooks tests use to inspect and change it.
#ifndef PRISMATEL_MACHINE_H
#define PRISMATEL_MACHINE_H

#include <stdint.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace machine {

struct Settings {
    bool headless = false;  // PRISMATEL_HEADLESS=1, or no display could be opened
    bool windowed = false;  // PRISMATEL_WINDOWED=1
    int fps = 0;            // PRISMATEL_FPS (0 = real time; default 60 when headless)
    std::string captureDir; // PRISMATEL_CAPTURE ("" = none)
    int captureEvery = 1;   // PRISMATEL_CAPTURE_EVERY (default 1)
    std::string input;      // PRISMATEL_INPUT script, raw
};

// Parsed once from the environment on first use.
const Settings& GetSettings();
// Replaces the settings (tests); the clock restarts from 0.
void OverrideSettings(const Settings& settings);
// The host could not open a display: run headless from now on, with the virtual clock
// unless PRISMATEL_FPS chose otherwise.
void FallBackToHeadless();
// Parses settings from an environment lookup (exposed for tests).
Settings ParseSettings(const std::function<const char*(const char*)>& getenv);

// ---- the clock ----------------------------------------------------------------

bool VirtualClock();
// The machine clock behind QueryPerformanceCounter and timeGetTime: on the virtual clock
// FramesShown() * 1e6 / fps, otherwise real monotonic time since the machine started.
int64_t ClockMicroseconds();
// Called by the display after a frame has been shown: on the virtual clock the time moves
// exactly 1/fps s; then every clock listener sees the step.
void AdvanceFrame();
int64_t FramesShown();
int AddClockListener(std::function<void(int64_t fromUs, int64_t toUs)> listener);
void RemoveClockListener(int id);

// The performance counter's presence and rate (counts per second, default 1,000,000).
void SetPerformanceCounterPresent(bool present);
bool PerformanceCounterPresent();
void SetPerformanceFrequency(int64_t countsPerSecond);
int64_t PerformanceFrequency();

// ---- the screen as Windows reports it (GetSystemMetrics) ----------------------------

void SetScreenSize(int width, int height);
int ScreenWidth();
int ScreenHeight();

// ---- logs -----------------------------------------------------------------------

// Every text OutputDebugStringA wrote, one entry per call (also written to stderr).
std::vector<std::string> DebugLines();
// (caption, text) of every MessageBoxA.
std::vector<std::pair<std::string, std::string>> MessageBoxes();
void RecordDebugText(const char* text);
void RecordMessageBox(const char* caption, const char* text);

// ---- threads (kernel) -------------------------------------------------------------

// Threads started through CreateThread since the last reset.
int ThreadsCreated();
// Threads started through CreateThread that have not ended yet.
int ThreadsRunning();
// Waits until no thread started through CreateThread runs; false on timeout.
bool WaitForAllThreads(int milliseconds);
// The stack size the program asked for when it created the thread behind the handle.
size_t RequestedStackSize(void* threadHandle);
// The next `successes` CreateThread calls succeed and the one after fails (-1: none fails).
void FailThreadCreation(int successes);

// ---- runs -----------------------------------------------------------------------

// Clears the logs, the clock, windows, classes and queues and calls every reset hook,
// so that a test can start the program again in the same process.
void ResetForTest();
// Other parts of the machine (video card, input, sound, CD) clear their per-run state here.
int AddResetHook(std::function<void()> hook);

// Runs the program's WinMain on the calling thread as the process start-up would (after a
// reset), then waits up to waitMs for the threads it started; returns WinMain's result.
// Lives in its own object file: only programs that define WinMain may call it.
int RunWinMain(int waitMs = 5000);

} // namespace machine

#endif
