// The application frame run in-process: threads at the first paint, shut-down order,
// deferred fatal errors, the window procedure's rules, and the start-up failures.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "demo_hook.h"
#include "support/headless_machine.h"
#include "kernel32/threads.h"
#include "machine/machine.h"
#include "support/run_winmain.h"
#include "system.h"

namespace {

class Frame : public ::testing::Test {
protected:
    void SetUp() override { StartHeadlessMachine(); }
    void TearDown() override { SetTestDemo(nullptr); }
};

std::vector<int> deletedKinds;
class CountedDevice : public sDevice {
public:
    explicit CountedDevice(int kind) : kind(kind) { RegisterDevice(kind, this); }
    ~CountedDevice() override { deletedKinds.push_back(kind); }
    int kind;
};

TEST_F(Frame, NormalRunStartsTwoThreadsAndEndsCleanly) {
    static sDevice stale; // left over from an earlier run: start-up must empty the table
    ClearDevices();
    RegisterDevice(DK_DISPLAY, &stale);
    std::atomic<int> priority{0};
    std::atomic<bool> registryEmpty{false}; // of what an earlier run left
    std::atomic<bool> cdRunning{false};
    SetTestDemo([&] {
        priority = GetThreadPriority(GetCurrentThread());
        bool stalePresent = false;
        for (int slot = 0; slot < DEVICE_SLOTS; slot++)
            stalePresent |= GetDevice(DK_DISPLAY, slot) == &stale;
        registryEmpty = !stalePresent;
        // The audio thread is created right after this one, at the same paint.
        for (int i = 0; i < 100 && !cdThreadRunning; i++) Sleep(10);
        cdRunning = cdThreadRunning.load();
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(machine::RunWinMain(), 0);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_EQ(priority.load(), THREAD_PRIORITY_HIGHEST);
    EXPECT_TRUE(registryEmpty);
    EXPECT_TRUE(cdRunning) << "the audio thread runs while the demo does";
    EXPECT_FALSE(cdThreadRunning) << "and has ended by the time WinMain returns";
    EXPECT_EQ(kernel32::ThreadsCreated(), 2);
    EXPECT_TRUE(machine::MessageBoxes().empty());
    EXPECT_EQ(kernel32::ThreadsRunning(), 0);
}

TEST_F(Frame, ShutDownDeletesEveryDeviceDisplayFirst) {
    deletedKinds.clear();
    SetTestDemo([] {
        new CountedDevice(DK_CDAUDIO);
        new CountedDevice(DK_KEYBOARD);
        new CountedDevice(DK_DISPLAY);
        new CountedDevice(DK_POINTER);
    });
    EXPECT_EQ(machine::RunWinMain(), 0);
    EXPECT_EQ(deletedKinds, (std::vector<int>{DK_DISPLAY, DK_POINTER, DK_KEYBOARD, DK_CDAUDIO}));
}

TEST_F(Frame, LaterPaintsCreateNoThreads) {
    SetTestDemo([] {
        for (int i = 0; i < 5; i++) {
            InvalidateRect(mainWindow, NULL, FALSE);
            Sleep(20);
        }
    });
    EXPECT_EQ(machine::RunWinMain(), 0);
    EXPECT_EQ(kernel32::ThreadsCreated(), 2);
}

TEST_F(Frame, DeferredFatalShowsOneBoxAndFailsTheProcess) {
    SetTestDemo([] { Fatal("sFile::Read() read error"); });
    EXPECT_EQ(machine::RunWinMain(), 1);
    auto boxes = machine::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].first, "Prismatel");
    EXPECT_EQ(boxes[0].second, "Fatal:sFile::Read() read error\n");
    EXPECT_FALSE(cdThreadRunning);
}

std::atomic<int> demoAssertLine{0};

TEST_F(Frame, AssertionInTheMainThreadLeavesExactlyOneBox) {
    SetTestDemo([] {
        // clang-format off
        demoAssertLine = __LINE__; ASSERT(demoAssertLine < 0);
        // clang-format on
    });
    EXPECT_EQ(machine::RunWinMain(), 1);
    auto boxes = machine::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    std::string expected = "Fatal:Assertion in line " + std::to_string(demoAssertLine.load()) +
                           ", file " + __FILE__ + "\n";
    EXPECT_EQ(boxes[0].second, expected.substr(0, 255));
}

TEST_F(Frame, ClosingTheWindowEndsWithoutWaitingForTheMainThread) {
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    SetTestDemo([&] {
        PostMessageA(mainWindow, WM_CLOSE, 0, 0);
        while (!release) Sleep(5);
        finished = true;
    });
    EXPECT_EQ(machine::RunWinMain(0), 0);
    EXPECT_FALSE(finished) << "WinMain returned while the demo still ran";
    EXPECT_FALSE(cdThreadRunning);
    release = true;
    EXPECT_TRUE(kernel32::WaitForAllThreads(2000));
    EXPECT_TRUE(finished);
    EXPECT_TRUE(machine::MessageBoxes().empty());
}

// ---- the window procedure alone ----------------------------------------------------------------

class WindowProcedure : public ::testing::Test {
protected:
    void SetUp() override {
        StartHeadlessMachine();
        machine::ResetForTest();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = WindowProc;
        wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
        wc.lpszClassName = "Prismatel";
        RegisterClassA(&wc);
        appActive = true;
        inMenuLoop = false;
        window = CreateWindowExA(WS_EX_APPWINDOW, "Prismatel", "Prismatel", 0, 0, 0, 320, 200, NULL,
                                 NULL, NULL, NULL);
        mainWindow = window;
    }
    // The cursor the window shows after the mouse moves over it.
    HCURSOR CursorAfterMouseMove() {
        SetCursor(LoadCursorA(NULL, (LPCSTR)(uintptr_t)32513)); // something else first
        WindowProc(window, WM_SETCURSOR, (WPARAM)window, MAKELONG(1, WM_MOUSEMOVE));
        HCURSOR shown = SetCursor(NULL);
        return shown;
    }
    HWND window;
};

TEST_F(WindowProcedure, PointerHiddenOnlyWhileActiveOutsideMenus) {
    HCURSOR arrow = LoadCursorA(NULL, IDC_ARROW);
    EXPECT_EQ(CursorAfterMouseMove(), (HCURSOR)NULL);
    WindowProc(window, WM_ENTERMENULOOP, 0, 0);
    EXPECT_TRUE(inMenuLoop);
    EXPECT_EQ(CursorAfterMouseMove(), arrow);
    WindowProc(window, WM_EXITMENULOOP, 0, 0);
    EXPECT_EQ(CursorAfterMouseMove(), (HCURSOR)NULL);
    WindowProc(window, WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_FALSE(appActive);
    EXPECT_EQ(CursorAfterMouseMove(), arrow);
    WindowProc(window, WM_ACTIVATEAPP, TRUE, 0);
    EXPECT_EQ(CursorAfterMouseMove(), (HCURSOR)NULL);
}

TEST_F(WindowProcedure, KeyboardAndMouseMessagesAreSwallowed) {
    const UINT swallowed[] = {WM_NCMOUSEMOVE, WM_NCLBUTTONDOWN, WM_NCLBUTTONUP, WM_NCRBUTTONDOWN,
                              WM_NCRBUTTONUP, WM_NCMBUTTONDOWN, WM_NCMBUTTONUP, WM_KEYDOWN,
                              WM_KEYUP,       WM_CHAR,          WM_COMMAND,     WM_MOUSEMOVE,
                              WM_LBUTTONDOWN, WM_LBUTTONUP,     WM_RBUTTONDOWN, WM_RBUTTONUP,
                              WM_MBUTTONDOWN, WM_MBUTTONUP};
    for (UINT m : swallowed) EXPECT_EQ(WindowProc(window, m, 0x1B, 0), 0) << m;
    EXPECT_TRUE(PostMessageA(window, WM_USER, 0, 0)) << "the window is still there";
    WindowProc(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0)) << "WM_CLOSE goes to default: destroyed";
    MSG msg;
    bool quit = false;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) quit |= msg.message == WM_QUIT;
    EXPECT_TRUE(quit) << "WM_DESTROY asks the loop to end";
}

TEST_F(WindowProcedure, MoveAndSizeCoverTheScreenWhileActive) {
    machine::SetScreenSize(800, 600);
    RECT r;
    appActive = false;
    WindowProc(window, WM_SIZE, 0, 0);
    GetClientRect(window, &r);
    EXPECT_EQ(r.right, 320) << "inactive: left alone";
    appActive = true;
    WindowProc(window, WM_DISPLAYCHANGE, 8, 0);
    GetClientRect(window, &r);
    EXPECT_EQ(r.right, 806);
    EXPECT_EQ(r.bottom, 606);
}

TEST_F(WindowProcedure, MinimisedWindowIsNotMoved) {
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(window));
    WindowProc(window, WM_MOVE, 0, 0);
    RECT r;
    GetClientRect(window, &r);
    EXPECT_EQ(r.right, 320);
}

// ---- start-up failures end the process through FatalBox ----------------------------------------

void RunWithFailingThread(int successes) {
    machine::ResetForTest();
    kernel32::FailThreadCreation(successes);
    char commandLine[1] = {0};
    WinMain(GetModuleHandleA(NULL), NULL, commandLine, SW_SHOWNORMAL);
}

void RunWithClassTaken() {
    machine::ResetForTest();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "Prismatel";
    RegisterClassA(&wc);
    char commandLine[1] = {0};
    WinMain(GetModuleHandleA(NULL), NULL, commandLine, SW_SHOWNORMAL);
}

void RunAsSecondInstance() {
    machine::ResetForTest();
    char commandLine[1] = {0};
    WinMain(GetModuleHandleA(NULL), GetModuleHandleA(NULL), commandLine, SW_SHOWNORMAL);
}

TEST_F(Frame, StartUpFailuresExitWithOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RunWithFailingThread(0), ::testing::ExitedWithCode(1),
                "Could not create main thread");
    EXPECT_EXIT(RunWithFailingThread(1), ::testing::ExitedWithCode(1),
                "Could not create audio thread");
    EXPECT_EXIT(RunWithClassTaken(), ::testing::ExitedWithCode(1),
                "Internal Error: Could not register Window Class");
    EXPECT_EXIT(RunAsSecondInstance(), ::testing::ExitedWithCode(1),
                "Internal Error: Could not create Window");
}

} // namespace
