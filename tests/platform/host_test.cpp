// The host window on SDL's off-screen video driver: frame hand-over between threads,
// event listeners, and host events turned into window messages.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>

#include <atomic>
#include <vector>

#include "host/host.h"
#include "machine/machine.h"

namespace {

std::vector<UINT> received;

LRESULT CALLBACK RecordingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    received.push_back(m);
    return DefWindowProcA(w, m, wp, lp);
}

class HostWindow : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        machine::Settings s;
        s.headless = false;
        s.windowed = true;
        machine::OverrideSettings(s);
        machine::ResetForTest();
        received.clear();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = "Host";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "Host", "Prismatel", 0, 0, 0, 320, 200, NULL, NULL, NULL, NULL);
        if (!host::HasWindow()) GTEST_SKIP() << "no off-screen SDL video here";
        ShowWindow(window, SW_SHOWNORMAL);
    }
    void TearDown() override {
        if (window) DestroyWindow(window);
        EXPECT_FALSE(host::HasWindow()) << "destroying the window closes the host window";
        machine::WaitForAllThreads(2000);
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
        host::PresentFrame(pixels.data(), 640, 480);
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
    EXPECT_EQ(host::FramesPresented(), 3);
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
    std::vector<Uint32> seen;
    int id = host::AddEventListener([&](const SDL_Event& e) { seen.push_back(e.type); });
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    Pump(50);
    host::RemoveEventListener(id);
    bool listened = false;
    for (Uint32 type : seen) listened |= type == SDL_QUIT;
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

TEST(HostHeadless, PresentFrameReturnsAtOnce) {
    machine::Settings s;
    s.headless = true;
    machine::OverrideSettings(s);
    machine::ResetForTest();
    EXPECT_FALSE(host::HasWindow());
    std::vector<uint32_t> pixels(16, 0);
    host::PresentFrame(pixels.data(), 4, 4);
    host::PresentFrame(nullptr, 4, 4);
    EXPECT_EQ(host::FramesPresented(), 0);
}

} // namespace
