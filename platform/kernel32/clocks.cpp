// Kernel clocks on the machine clock: Sleep, the performance counter and the tick count.
#include <windows.h>

#include <chrono>
#include <thread>

#include "machine/machine.h"

extern "C" {

void WINAPI Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (!count) return FALSE;
    if (!machine::PerformanceCounterPresent()) {
        count->QuadPart = 0;
        return FALSE;
    }
    __int128 counts = (__int128)machine::ClockMicroseconds() * machine::PerformanceFrequency();
    count->QuadPart = (LONGLONG)(counts / 1000000);
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency) return FALSE;
    if (!machine::PerformanceCounterPresent()) {
        frequency->QuadPart = 0;
        return FALSE;
    }
    frequency->QuadPart = machine::PerformanceFrequency();
    return TRUE;
}

// Milliseconds since start-up on the same clock as winmm's timeGetTime.
DWORD WINAPI GetTickCount(void) {
    return (DWORD)(machine::ClockMicroseconds() / 1000);
}

} // extern "C"
