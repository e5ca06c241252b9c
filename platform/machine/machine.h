// The simulated PC behind the Win32 stand-in: its clock, its performance counter and
// screen, the logs of what the program said, and the hooks tests use to inspect and change
// it. Its screen, speakers, keyboard, mouse and time come from the host (host/host.h).
#ifndef PRISMATEL_MACHINE_H
#define PRISMATEL_MACHINE_H

#include <stdint.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace machine {

// ---- the clock ----------------------------------------------------------------

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

// ---- the end ------------------------------------------------------------------

// The process is ending (ExitProcess): the host finishes the frame or sound it is recording
// and records nothing after it.
void PowerOff();

// ---- runs -----------------------------------------------------------------------

// Clears the logs, the clock and the host's per-run state and calls every reset hook, so
// that a test can start the program again in the same process.
void ResetForTest();
// The hardware and the libraries (windows, threads, MCI devices) clear their per-run state
// here; a hook is registered once, when its part is first used.
int AddResetHook(std::function<void()> hook);

} // namespace machine

#endif
