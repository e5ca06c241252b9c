// A headless machine with the default card and the display driver in a chosen mode, for
// the benchmarks.
#ifndef BENCH_DISPLAY_H
#define BENCH_DISPLAY_H

#include "support/headless_machine.h"
#include "machine/machine.h"
#include "system.h"
#include "windriver/windriver.h"

inline sWinDriver* StartBenchDisplay(int kind) {
    StartHeadlessMachine(60);
    ClearDevices();
    mainWindow = (HWND)(uintptr_t)0x5150;
    StartDirectDraw();
    sWinDriver* driver = new sWinDriver;
    sDisplayMode mode(640, 480, kind);
    driver->FindMode(mode);
    driver->SetDisplayMode(mode);
    return driver;
}

inline void StopBenchDisplay(sWinDriver* driver) {
    delete driver;
    ReleaseDirectDraw();
}

#endif
