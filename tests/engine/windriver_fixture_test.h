// Shared set-up for the display driver tests: a headless machine with a chosen video card,
// DirectDraw started as the main thread starts it, and a way to watch fatal ends.
#ifndef PRISMATEL_WINDRIVER_FIXTURE_TEST_H
#define PRISMATEL_WINDRIVER_FIXTURE_TEST_H

#include <gtest/gtest.h>

#include "bitmap.h"
#include "display.h"
#include "ddraw/surface.h"
#include "support/headless_machine.h"
#include "machine/machine.h"
#include "machine/video_card.h"
#include "system.h"
#include "windriver/windriver.h"

#include <functional>
#include <string>

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override { Configure(60); }

    void TearDown() override {
        delete driver;
        driver = nullptr;
        ReleaseDirectDraw();
    }

    void Configure(int fps, const SettingsChange& change = nullptr) {
        StartHeadlessMachine(fps, change);
        ClearDevices(); // each test's driver registers itself anew
        // DirectDraw only needs a window to hand exclusive access to.
        mainWindow = (HWND)(uintptr_t)0x5150;
    }

    // StartDirectDraw and the driver's constructor, as the main thread runs them.
    void Start(const video::CardSpec& card = video::DefaultCard()) {
        video::SetCard(card);
        StartDirectDraw();
        driver = new sWinDriver;
    }

    // Sets the mode found for the request; the request shows what was set.
    sDisplayMode SetMode(int width, int height, int kind, int backBuffers = 2, bool z = false,
                         bool with3D = false) {
        sDisplayMode mode(width, height, kind);
        mode.backBuffers = backBuffers;
        mode.hasZBuffer = z;
        mode.has3D = with3D;
        EXPECT_TRUE(driver->FindMode(mode));
        mode.hasZBuffer = z;
        mode.has3D = with3D;
        driver->SetDisplayMode(mode);
        return mode;
    }

    static std::string Log() {
        std::string all;
        for (const std::string& line : machine::DebugLines()) all += line;
        return all;
    }

    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            n++;
        return n;
    }

    // Runs `body` on a thread of the machine and returns that thread's exit code, so that
    // Fatal (which ends the calling thread) can be watched.
    static DWORD RunOnThread(std::function<void()> body) {
        HANDLE thread = CreateThread(
            NULL, 0,
            [](LPVOID p) -> DWORD {
                (*(std::function<void()>*)p)();
                return 0;
            },
            &body, 0, NULL);
        WaitForSingleObject(thread, INFINITE);
        DWORD code = 0;
        GetExitCodeThread(thread, &code);
        CloseHandle(thread);
        return code;
    }

    static bool FatalWith(const std::string& text) {
        return Log().find("Fatal:" + text + "\n") != std::string::npos;
    }

    sWinDriver* driver = nullptr;
};

#endif
