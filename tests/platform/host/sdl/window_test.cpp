// The SDL host's window on SDL's off-screen video driver: frame hand-over between threads,
// the event listener, and host events turned into window messages.
#include <gtest/gtest.h>
#include <windows.h>
#include <SDL.h>

#include <stdlib.h>

#include <atomic>
#include <vector>

#include "host/host.h"
#include "host/sdl/parts.h"
#include "host/settings.h"
#include "kernel32/threads.h"
#include "machine/machine.h"
#include "support/headless_machine.h"

namespace {

std::vector<UINT> received;
std::vector<LPARAM> keyDowns; // lParam of every WM_KEYDOWN

LRESULT CALLBACK RecordingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    received.push_back(m);
    if (m == WM_KEYDOWN) keyDowns.push_back(lp);
    return DefWindowProcA(w, m, wp, lp);
}

class HostWindow : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        host::Settings s;
        s.headless = false;
        s.windowed = true;
        host::OverrideSettings(s);
        machine::ResetForTest();
        received.clear();
        keyDowns.clear();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = "Host";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "Host", "Prismatel", 0, 0, 0, 320, 200, NULL, NULL, NULL, NULL);
        if (!host::sdl::TheWindow()->IsOpen()) GTEST_SKIP() << "no off-screen SDL video here";
        ShowWindow(window, SW_SHOWNORMAL);
    }
    void TearDown() override {
        if (window) DestroyWindow(window);
        EXPECT_FALSE(host::sdl::TheWindow()->IsOpen())
            << "destroying the window closes the host window";
        kernel32::WaitForAllThreads(2000);
    }
    // Serves the window thread's queue for a while, as its message loop would.
    void Pump(int milliseconds) {
        DWORD end = GetTickCount() + milliseconds;
        MSG msg;
        while (GetTickCount() < end) {
            while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            Sleep(1);
        }
    }
    HWND window = NULL;
};

std::atomic<int> framesHandedOver{0};

DWORD WINAPI PresentThreeFrames(LPVOID) {
    std::vector<uint32_t> pixels(640 * 480, 0x00FF8000);
    for (int i = 0; i < 3; i++) {
        host::sdl::TheFrameSink()->Show(pixels.data(), 640, 480, i);
        framesHandedOver++;
    }
    return 0;
}

TEST_F(HostWindow, PresentFrameWaitsUntilTheWindowThreadHasShownIt) {
    framesHandedOver = 0;
    HANDLE t = CreateThread(NULL, 0, PresentThreeFrames, NULL, 0, NULL);
    EXPECT_EQ(WaitForSingleObject(t, 150), (DWORD)WAIT_TIMEOUT) << "nobody presents yet";
    EXPECT_EQ(framesHandedOver.load(), 0);
    MSG msg;
    for (int i = 0; i < 2000 && WaitForSingleObject(t, 0) == WAIT_TIMEOUT; i++)
        PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE);
    ASSERT_EQ(WaitForSingleObject(t, 1000), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(host::sdl::TheWindow()->FramesPresented(), 3);
    CloseHandle(t);
}

TEST_F(HostWindow, QuittingTheLoopReleasesAWaitingPresenter) {
    PostQuitMessage(0);
    MSG msg;
    EXPECT_FALSE(GetMessageA(&msg, NULL, 0, 0));
    framesHandedOver = 0;
    HANDLE t = CreateThread(NULL, 0, PresentThreeFrames, NULL, 0, NULL);
    EXPECT_EQ(WaitForSingleObject(t, 1000), (DWORD)WAIT_OBJECT_0)
        << "no frame waits for a window thread that stopped serving";
    EXPECT_EQ(framesHandedOver.load(), 3);
    CloseHandle(t);
}

TEST_F(HostWindow, ListenersSeeEveryEventAndCloseBecomesWmClose) {
    std::vector<host::Event::Kind> seen;
    host::Window* hostWindow = host::sdl::TheWindow();
    hostWindow->SetListener([&](const host::Event& e) { seen.push_back(e.kind); });
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    Pump(50);
    hostWindow->SetListener(nullptr);
    bool listened = false;
    for (host::Event::Kind kind : seen) listened |= kind == host::Event::CLOSE;
    EXPECT_TRUE(listened);
    bool closed = false, destroyed = false;
    for (UINT m : received) {
        closed |= m == WM_CLOSE;
        destroyed |= m == WM_DESTROY;
    }
    EXPECT_TRUE(closed);
    EXPECT_TRUE(destroyed) << "default processing of WM_CLOSE";
    window = NULL; // already destroyed
}

// The window's key messages carry DirectInput's scan codes: bits 16-23 the code, bit 24 for
// the extended keys (those DirectInput marks with 0x80).
TEST_F(HostWindow, KeyMessagesCarryDirectInputScanCodes) {
    for (SDL_Scancode key : {SDL_SCANCODE_A, SDL_SCANCODE_RCTRL}) {
        SDL_Event press = {};
        press.type = SDL_KEYDOWN;
        press.key.keysym.scancode = key;
        SDL_PushEvent(&press);
    }
    Pump(50);
    ASSERT_EQ(2u, keyDowns.size());
    EXPECT_EQ((LPARAM)0x1E << 16, keyDowns[0]);
    EXPECT_EQ((LPARAM)0x1D << 16 | (LPARAM)1 << 24, keyDowns[1]);
}

TEST(HostHeadless, PresentFrameReturnsAtOnce) {
    StartHeadlessMachine(0);
    host::Window* window = host::sdl::TheWindow();
    EXPECT_FALSE(window->IsOpen());
    std::vector<uint32_t> pixels(16, 0);
    host::sdl::TheFrameSink()->Show(pixels.data(), 4, 4, 0);
    host::sdl::TheFrameSink()->Show(nullptr, 4, 4, 1);
    EXPECT_EQ(window->FramesPresented(), 0);
}

} // namespace
