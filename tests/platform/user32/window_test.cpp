// User stand-in: classes, windows, message order, posting across threads, default processing.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "support/headless_machine.h"
#include "machine/machine.h"

namespace {

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::mutex seenLock;
std::vector<Seen> seen;
// What the recording procedure does with WM_PAINT and WM_SIZE.
bool paintValidates = true;
bool sizeMovesWindow = false;

std::vector<UINT> Messages() {
    std::lock_guard<std::mutex> guard(seenLock);
    std::vector<UINT> out;
    for (auto& s : seen) out.push_back(s.message);
    return out;
}

LRESULT CALLBACK RecordingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    {
        std::lock_guard<std::mutex> guard(seenLock);
        seen.push_back({m, wp, lp});
    }
    if (m == WM_PAINT && !paintValidates) return 0;
    if (m == WM_SIZE && sizeMovesWindow) SetWindowPos(w, NULL, 5, 5, 100, 50, SWP_NOZORDER);
    return DefWindowProcA(w, m, wp, lp);
}

class User : public ::testing::Test {
protected:
    void SetUp() override {
        StartHeadlessMachine(60);
        seen.clear();
        paintValidates = true;
        sizeMovesWindow = false;
    }
    HWND Create() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = RecordingProc;
        wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
        wc.lpszClassName = "Test";
        RegisterClassA(&wc);
        return CreateWindowExA(0, "Test", "Test", 0, 0, 0, 320, 200, NULL, NULL, NULL, NULL);
    }
};

bool Has(const std::vector<UINT>& v, UINT m) {
    for (UINT x : v)
        if (x == m) return true;
    return false;
}

TEST_F(User, ClassNamesAreUniqueIgnoringCase) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "Prismatel";
    EXPECT_NE(RegisterClassA(&wc), 0);
    wc.lpszClassName = "PRISMATEL";
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(CreateWindowExA(0, "Nothing", "", 0, 0, 0, 1, 1, NULL, NULL, NULL, NULL), (HWND)NULL);
    EXPECT_NE(CreateWindowExA(0, "prismatel", "", 0, 0, 0, 1, 1, NULL, NULL, NULL, NULL),
              (HWND)NULL);
}

TEST_F(User, ShowingAndUpdatingANewWindowSendsActivationSizeAndOnePaint) {
    HWND w = Create();
    ASSERT_NE(w, (HWND)NULL);
    ShowWindow(w, SW_SHOWNORMAL);
    auto shown = Messages();
    EXPECT_TRUE(Has(shown, WM_ACTIVATEAPP));
    EXPECT_TRUE(Has(shown, WM_SIZE));
    EXPECT_TRUE(Has(shown, WM_MOVE));
    EXPECT_FALSE(Has(shown, WM_PAINT)) << "painting waits for UpdateWindow or the queue";
    UpdateWindow(w);
    EXPECT_EQ(Messages().back(), (UINT)WM_PAINT);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) << "validated: no second paint";
}

TEST_F(User, AnUnvalidatedPaintComesBack) {
    paintValidates = false;
    HWND w = Create();
    ShowWindow(w, SW_SHOWNORMAL);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_PAINT);
    DispatchMessageA(&msg);
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_PAINT);
    ValidateRect(w, NULL);
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
}

TEST_F(User, PostedMessagesComeBeforeQuitAndPaint) {
    HWND w = Create();
    ShowWindow(w, SW_SHOWNORMAL);
    PostQuitMessage(3);
    PostMessageA(w, WM_USER, 1, 2);
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, NULL, 0, 0));
    EXPECT_EQ(msg.message, (UINT)WM_USER);
    EXPECT_EQ(msg.hwnd, w);
    EXPECT_EQ(msg.wParam, 1u);
    EXPECT_FALSE(GetMessageA(&msg, NULL, 0, 0));
    EXPECT_EQ(msg.message, (UINT)WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    ASSERT_TRUE(GetMessageA(&msg, NULL, 0, 0)) << "the quit request is taken once";
    EXPECT_EQ(msg.message, (UINT)WM_PAINT);
}

HWND target;
DWORD WINAPI PostQuitFromAnotherThread(LPVOID) {
    Sleep(30);
    return PostMessageA(target, WM_QUIT, 0, 0);
}

TEST_F(User, PostToAWindowLandsInItsThreadsQueue) {
    ChangeSettings([](host::Settings& s) { s.fps = 0; });
    target = Create();
    DWORD start = timeGetTime();
    HANDLE t = CreateThread(NULL, 0, PostQuitFromAnotherThread, NULL, 0, NULL);
    MSG msg;
    EXPECT_FALSE(GetMessageA(&msg, NULL, 0, 0)) << "GetMessageA waits for the posted quit";
    EXPECT_EQ(msg.message, (UINT)WM_QUIT);
    EXPECT_GE(timeGetTime() - start, 20u);
    WaitForSingleObject(t, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, (DWORD)TRUE);
    CloseHandle(t);
}

TEST_F(User, CloseDestroysTheWindowThroughDefaultProcessing) {
    HWND w = Create();
    ShowWindow(w, SW_SHOWNORMAL);
    seen.clear();
    PostMessageA(w, WM_CLOSE, 0, 0);
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, NULL, 0, 0));
    DispatchMessageA(&msg);
    auto after = Messages();
    ASSERT_GE(after.size(), 2u);
    EXPECT_EQ(after[0], (UINT)WM_CLOSE);
    EXPECT_EQ(after[1], (UINT)WM_DESTROY);
    EXPECT_FALSE(PostMessageA(w, WM_USER, 0, 0)) << "the window is gone";
    EXPECT_FALSE(IsIconic(w));
}

TEST_F(User, SetWindowPosReportsOnlyChanges) {
    sizeMovesWindow = true; // answers every WM_SIZE with the same SetWindowPos
    HWND w = Create();
    ShowWindow(w, SW_SHOWNORMAL);
    auto first = Messages();
    int sizes = 0;
    for (UINT m : first) sizes += m == WM_SIZE;
    EXPECT_EQ(sizes, 2) << "the first show, then the one change; no endless echo";
    RECT r;
    GetClientRect(w, &r);
    EXPECT_EQ(r.right, 100);
    EXPECT_EQ(r.bottom, 50);
    seen.clear();
    SetWindowPos(w, NULL, 5, 5, 100, 50, SWP_NOZORDER);
    EXPECT_TRUE(Messages().empty());
    SetWindowPos(w, NULL, 9, 9, 0, 0, SWP_NOSIZE);
    EXPECT_EQ(Messages(), std::vector<UINT>{WM_MOVE});
}

TEST_F(User, DefaultCursorIsTheClassCursorAndSetCursorReturnsThePrevious) {
    HWND w = Create();
    HCURSOR arrow = LoadCursorA(NULL, IDC_ARROW);
    ASSERT_NE(arrow, (HCURSOR)NULL);
    SetCursor(NULL);
    EXPECT_EQ(DefWindowProcA(w, WM_SETCURSOR, (WPARAM)w, MAKELONG(1, WM_MOUSEMOVE)), TRUE);
    EXPECT_EQ(SetCursor(NULL), arrow);
    EXPECT_EQ(SetCursor(arrow), (HCURSOR)NULL);
}

TEST_F(User, WindowRectangleArithmetic) {
    RECT r = {0, 0, 640, 480};
    AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
    EXPECT_EQ(r.left, -4);
    EXPECT_EQ(r.top, -23);
    EXPECT_EQ(r.right, 644);
    EXPECT_EQ(r.bottom, 484);
    r = {0, 19, 640, 480};
    AdjustWindowRectEx(&r, WS_POPUP | WS_CAPTION, FALSE, 0);
    EXPECT_EQ(r.left, -3);
    EXPECT_EQ(r.top, -3);
    EXPECT_EQ(r.right, 643);
    EXPECT_EQ(r.bottom, 483);
    r = {0, 0, 10, 10};
    AdjustWindowRectEx(&r, WS_POPUP, FALSE, 0);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.bottom, 10);
    EXPECT_FALSE(AdjustWindowRectEx(NULL, 0, FALSE, 0));
    machine::SetScreenSize(800, 600);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
    EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), 19);
}

TEST_F(User, MessageBoxesAreRecordedAndWrittenToStandardError) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(NULL, "Fatal:x\n", "Prismatel", MB_ICONQUESTION), IDOK);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Prismatel"), std::string::npos);
    EXPECT_NE(err.find("Fatal:x"), std::string::npos);
    auto boxes = machine::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].first, "Prismatel");
    EXPECT_EQ(boxes[0].second, "Fatal:x\n");
}

TEST_F(User, StockObjectsAndCursorsExistOnlyForKnownIds) {
    EXPECT_NE(GetStockObject(BLACK_BRUSH), (HGDIOBJ)NULL);
    EXPECT_NE(GetStockObject(BLACK_BRUSH), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetStockObject(-1), (HGDIOBJ)NULL);
    EXPECT_EQ(LoadCursorA(NULL, (LPCSTR)(uintptr_t)5), (HCURSOR)NULL);
}

} // namespace
