// The application frame: the window thread's WinMain and window procedure, and the main
// thread that starts the engine, runs the demo and shuts everything down.
#include "system.h"

#include "cdaudio/cdaudio.h"
#include "input/input.h"
#include "windriver/windriver.h"

static const char APP_NAME[] = "Prismatel";
static const int WINDOW_WIDTH = 320;
static const int WINDOW_HEIGHT = 200;
static const SIZE_T THREAD_STACK_SIZE = 65536;
static const DWORD MAIN_THREAD_EXIT_CODE = 234;
static const DWORD CD_QUIT_POLL_MILLISECONDS = 10;
// The process's status after it showed a deferred fatal error.
static const int FATAL_STATUS = 1;

// Keyboard and mouse reach the program only through DirectInput.
static const UINT SWALLOWED_MESSAGES[] = {
    WM_NCMOUSEMOVE,   WM_NCLBUTTONDOWN, WM_NCLBUTTONUP, WM_NCRBUTTONDOWN, WM_NCRBUTTONUP,
    WM_NCMBUTTONDOWN, WM_NCMBUTTONUP,   WM_KEYDOWN,     WM_KEYUP,         WM_CHAR,
    WM_COMMAND,       WM_MOUSEMOVE,     WM_LBUTTONDOWN, WM_LBUTTONUP,     WM_RBUTTONDOWN,
    WM_RBUTTONUP,     WM_MBUTTONDOWN,   WM_MBUTTONUP,
};

static bool IsSwallowed(UINT message) {
    for (UINT swallowed : SWALLOWED_MESSAGES)
        if (message == swallowed) return true;
    return false;
}

// ---- main thread ------------------------------------------------------------------------

DWORD WINAPI MainThread(LPVOID) {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    ClearDevices();
    StartDirectDraw();
    InitInput();
    new sWinDriver; // registers itself as the display device
    new sCdAudio;   // registers itself as the CD-audio device
    DemoMain();
    DeleteDevices();
    ShutdownInput();
    ReleaseDirectDraw();
    PostMessageA(mainWindow, WM_QUIT, 0, 0);
    return MAIN_THREAD_EXIT_CODE;
}

// ---- window procedure ----------------------------------------------------------------------

// Keeps the window over the whole screen while the program is active.
static void CoverScreen(HWND window) {
    RECT r;
    r.left = 0;
    r.top = GetSystemMetrics(SM_CYCAPTION);
    r.right = GetSystemMetrics(SM_CXSCREEN);
    r.bottom = GetSystemMetrics(SM_CYSCREEN);
    AdjustWindowRectEx(&r, WS_POPUP | WS_CAPTION, FALSE, 0);
    SetWindowPos(window, NULL, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

static void StartMainThread() {
    DWORD id = 0;
    HANDLE thread = CreateThread(NULL, THREAD_STACK_SIZE, MainThread, NULL, 0, &id);
    if (!thread) FatalBox("Could not create main thread");
    mainThreadId = id;
    mainThread = thread;
}

static void StartCdThread() {
    // Set before the thread can run, so that nothing it does (not even an early Fatal)
    // can happen before the flag it clears at its end.
    cdThreadRunning = true;
    DWORD id = 0;
    HANDLE thread = CreateThread(NULL, THREAD_STACK_SIZE, CdThread, NULL, 0, &id);
    if (!thread) FatalBox("Could not create audio thread");
    cdThreadId = id;
    cdThread = thread;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsSwallowed(message)) return 0;
    switch (message) {
    case WM_DESTROY: PostQuitMessage(0); break;
    case WM_MOVE:
    case WM_SIZE:
    case WM_DISPLAYCHANGE:
        if (appActive && !IsIconic(window)) CoverScreen(window);
        break;
    case WM_PAINT:
        if (!mainThread) StartMainThread();
        if (!cdThread) StartCdThread();
        break;
    case WM_ACTIVATEAPP: appActive = wParam != 0; break;
    case WM_SETCURSOR:
        if (appActive && !inMenuLoop) {
            SetCursor(NULL);
            return TRUE;
        }
        break;
    case WM_ENTERMENULOOP:
        inMenuLoop = true;
        DrawMenuBar(mainWindow);
        RedrawWindow(mainWindow, NULL, NULL, RDW_FRAME);
        break;
    case WM_EXITMENULOOP: inMenuLoop = false; break;
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// ---- window thread -------------------------------------------------------------------------

static void ResetProcessState(HINSTANCE instance) {
    appInstance = instance;
    appActive = true;
    inMenuLoop = false;
    mainWindow = NULL;
    mainThread = NULL;
    mainThreadId = 0;
    cdThread = NULL;
    cdThreadId = 0;
    cdThreadRunning = false;
    cdCommand = 0;
    fatalMessage[0] = 0;
}

static void RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSA wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WindowProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = NULL;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    wc.lpszMenuName = NULL;
    wc.lpszClassName = APP_NAME;
    if (!RegisterClassA(&wc)) FatalBox("Internal Error: Could not register Window Class");
}

static void CreateMainWindow(HINSTANCE instance, int showCommand) {
    HWND window = CreateWindowExA(WS_EX_APPWINDOW, APP_NAME, APP_NAME, 0, 0, 0, WINDOW_WIDTH,
                                  WINDOW_HEIGHT, NULL, NULL, instance, NULL);
    // Without a window no paint ever comes and the message loop would wait for ever.
    if (!window) FatalBox("Internal Error: Could not create Window");
    mainWindow = window;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    SetFocus(window);
}

static void RunMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

static void StopCdThread() {
    if (!cdThread) return;
    cdCommand = CD_QUIT;
    while (cdThreadRunning) Sleep(CD_QUIT_POLL_MILLISECONDS);
    CloseHandle(cdThread);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR, int showCommand) {
    onWindowThread = true;
    ResetProcessState(instance);
    if (!previousInstance) RegisterWindowClass(instance);
    CreateMainWindow(instance, showCommand);
    RunMessageLoop();
    StopCdThread();
    // The main thread is not waited for: it has posted its quit as its last act.
    if (mainThread) CloseHandle(mainThread);
    onWindowThread = false;
    if (!fatalMessage[0]) return 0;
    MessageBoxA(NULL, fatalMessage, APP_NAME, MB_ICONQUESTION);
    return FATAL_STATUS;
}
