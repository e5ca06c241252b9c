// User: window classes, windows, a message queue per thread and the default window
// procedure. The first window created is backed by the host's window where the host has
// one; its thread's GetMessageA pumps the host's events and serves frame presentation.
#include <windows.h>

#include <ctype.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "interrupts.h"

#include "host/host.h"
#include "host/settings.h"
#include "machine/machine.h"

namespace {

const DWORD ERROR_INVALID_WINDOW_HANDLE_CODE = 1400;
const DWORD ERROR_CLASS_ALREADY_EXISTS_CODE = 1410;
const DWORD ERROR_CANNOT_FIND_WND_CLASS_CODE = 1407;
const DWORD ERROR_INVALID_PARAMETER_CODE = 87;
const WPARAM SIZE_RESTORED = 0;
const WPARAM SIZE_MINIMIZED = 1;
const LPARAM HTCLIENT = 1;
const UINT FIRST_CLASS_ATOM = 0xC000;

// How often a window thread with a host window looks at the host while it has nothing
// else to do; other threads sleep until a message arrives.
const auto HOST_POLL = std::chrono::milliseconds(2);
const auto IDLE_WAIT = std::chrono::milliseconds(100);

struct WindowClass {
    std::string name;
    UINT style = 0;
    WNDPROC procedure = nullptr;
    HCURSOR cursor = NULL;
    HBRUSH background = NULL;
};

struct Window {
    WindowClass windowClass;
    std::string title;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect = {0, 0, 0, 0};
    DWORD thread = 0;
    bool visible = false;
    bool shownBefore = false;
    bool iconic = false;
    bool needsPaint = false;
    bool host = false;
};

struct Queue {
    std::deque<MSG> posted;
    bool quit = false;
    int quitCode = 0;
    std::condition_variable arrived;
};

struct User {
    std::mutex lock;
    std::map<std::string, WindowClass> classes;
    std::map<HWND, Window> windows;
    std::map<DWORD, Queue> queues;
    uintptr_t nextWindow = 0x10010;
    UINT nextAtom = FIRST_CLASS_ATOM;
    HCURSOR cursor = NULL;
    HWND focus = NULL;
    bool appActive = false;
    HWND hostWindow = NULL;
    host::Window* hostPart = nullptr; // the host's window behind hostWindow
};

User& TheUser() {
    static User* user = new User; // outlives exit handlers: threads may still run
    return *user;
}

std::string ClassKey(LPCSTR name) {
    std::string key = name ? name : "";
    for (char& c : key) c = (char)toupper((unsigned char)c);
    return key;
}

LPARAM PackPoint(LONG x, LONG y) {
    return (LPARAM)(DWORD)MAKELONG((WORD)x, (WORD)y);
}

// Sends a message straight to the window procedure (the user lock must not be held).
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC procedure = nullptr;
    {
        User& u = TheUser();
        std::lock_guard<std::mutex> guard(u.lock);
        auto it = u.windows.find(window);
        if (it != u.windows.end()) procedure = it->second.windowClass.procedure;
    }
    return procedure ? procedure(window, message, wParam, lParam) : 0;
}

bool PostTo(DWORD thread, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    User& u = TheUser();
    MSG msg = {};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = GetTickCount();
    {
        std::lock_guard<std::mutex> guard(u.lock);
        Queue& queue = u.queues[thread];
        queue.posted.push_back(msg);
        queue.arrived.notify_all();
    }
    return true;
}

bool IsWindowAlive(HWND window) {
    User& u = TheUser();
    std::lock_guard<std::mutex> guard(u.lock);
    return u.windows.count(window) != 0;
}

void SendMoveAndSize(HWND window, const RECT& rect, bool moved, bool sized) {
    if (moved) Send(window, WM_MOVE, 0, PackPoint(rect.left, rect.top));
    if (sized)
        Send(window, WM_SIZE, SIZE_RESTORED,
             PackPoint(rect.right - rect.left, rect.bottom - rect.top));
}

void SetActive(bool active) {
    HWND notify = NULL;
    {
        User& u = TheUser();
        std::lock_guard<std::mutex> guard(u.lock);
        if (u.appActive == active) return;
        u.appActive = active;
        notify = u.hostWindow;
        if (!notify && !u.windows.empty()) notify = u.windows.begin()->first;
    }
    if (notify) Send(notify, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
}

void SetIconic(HWND window, bool iconic) {
    User& u = TheUser();
    std::lock_guard<std::mutex> guard(u.lock);
    auto it = u.windows.find(window);
    if (it != u.windows.end()) it->second.iconic = iconic;
}

// 0 for buttons a window hears nothing of (the fourth).
UINT MouseButtonMessage(int button, bool down) {
    static const UINT messages[3][2] = {{WM_LBUTTONUP, WM_LBUTTONDOWN},
                                        {WM_RBUTTONUP, WM_RBUTTONDOWN},
                                        {WM_MBUTTONUP, WM_MBUTTONDOWN}};
    if (button < 0 || button > 2) return 0;
    return messages[button][down ? 1 : 0];
}

// A key message's lParam: the scan code in bits 16-23 and, for the keys DirectInput marks
// with 0x80 (the extended ones), the extended-key flag in bit 24.
LPARAM KeyData(int scanCode) {
    const LPARAM EXTENDED_KEY = 1 << 24;
    return (LPARAM)(scanCode & 0x7F) << 16 | ((scanCode & 0x80) ? EXTENDED_KEY : 0);
}

// Turns what happened to the host window into the messages Windows would send or post.
void DeliverHostEvent(HWND window, DWORD thread, const host::Event& e) {
    switch (e.kind) {
    case host::Event::PAINT: InvalidateRect(window, NULL, FALSE); break;
    case host::Event::ACTIVATE: SetActive(e.a != 0); break;
    case host::Event::CLOSE: PostTo(thread, window, WM_CLOSE, 0, 0); break;
    case host::Event::MOVE: Send(window, WM_MOVE, 0, PackPoint(e.a, e.b)); break;
    case host::Event::SIZE: Send(window, WM_SIZE, SIZE_RESTORED, PackPoint(e.a, e.b)); break;
    case host::Event::MINIMIZE:
        SetIconic(window, true);
        Send(window, WM_SIZE, SIZE_MINIMIZED, 0);
        break;
    case host::Event::RESTORE: SetIconic(window, false); break;
    case host::Event::MOUSE_MOVE:
        Send(window, WM_SETCURSOR, (WPARAM)window, MAKELONG(HTCLIENT, WM_MOUSEMOVE));
        PostTo(thread, window, WM_MOUSEMOVE, 0, PackPoint(e.a, e.b));
        break;
    case host::Event::MOUSE_BUTTON:
        if (UINT message = MouseButtonMessage(e.a, e.b != 0)) PostTo(thread, window, message, 0, 0);
        break;
    case host::Event::KEY:
        PostTo(thread, window, e.b ? WM_KEYDOWN : WM_KEYUP, 0, KeyData(e.a));
        break;
    case host::Event::MOUSE_MOTION:
    case host::Event::MOUSE_WHEEL: break; // the input devices' own: DirectInput reports them
    }
}

void PumpHost(DWORD thread) {
    HWND window;
    host::Window* part;
    {
        User& u = TheUser();
        std::lock_guard<std::mutex> guard(u.lock);
        window = u.hostWindow;
        part = u.hostPart;
        if (!window || u.windows[window].thread != thread) return;
    }
    std::vector<host::Event> events;
    part->Pump(events);
    for (const auto& e : events) DeliverHostEvent(window, thread, e);
}

// Ctrl+C or kill: the thread's windows are asked to close, as by their close buttons.
void AnswerInterrupt(DWORD thread) {
    if (!user32::InterruptWaiting()) return;
    std::vector<HWND> windows;
    {
        User& u = TheUser();
        std::lock_guard<std::mutex> guard(u.lock);
        for (const auto& entry : u.windows)
            if (entry.second.thread == thread) windows.push_back(entry.first);
    }
    if (windows.empty() || !user32::TakeInterrupt()) return;
    for (HWND window : windows) PostTo(thread, window, WM_CLOSE, 0, 0);
}

bool InFilter(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
    if (window && msg.hwnd != window) return false;
    if (filterMin == 0 && filterMax == 0) return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

// The next message in Windows' order: posted messages, then the quit request, then a paint.
bool TakeMessage(User& u, Queue& queue, DWORD thread, MSG* msg, HWND window, UINT filterMin,
                 UINT filterMax, bool remove) {
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (!InFilter(*it, window, filterMin, filterMax)) continue;
        *msg = *it;
        if (remove) queue.posted.erase(it);
        return true;
    }
    if (queue.quit) {
        *msg = MSG();
        msg->message = WM_QUIT;
        msg->wParam = (WPARAM)queue.quitCode;
        if (remove) queue.quit = false;
        return true;
    }
    for (auto& entry : u.windows) {
        const Window& w = entry.second;
        if (w.thread != thread || !w.needsPaint || !w.visible) continue;
        if (window && entry.first != window) continue;
        *msg = MSG();
        msg->hwnd = entry.first;
        msg->message = WM_PAINT;
        return true; // stays until the window is validated
    }
    return false;
}

bool PeekOrWait(MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove, bool wait) {
    User& u = TheUser();
    DWORD thread = GetCurrentThreadId();
    for (;;) {
        AnswerInterrupt(thread);
        PumpHost(thread);
        std::unique_lock<std::mutex> guard(u.lock);
        Queue& queue = u.queues[thread];
        if (TakeMessage(u, queue, thread, msg, window, filterMin, filterMax, remove)) {
            msg->time = GetTickCount();
            return true;
        }
        if (!wait) return false;
        bool hostThread = u.hostWindow && u.windows[u.hostWindow].thread == thread;
        queue.arrived.wait_for(guard, hostThread ? HOST_POLL : IDLE_WAIT);
    }
}

// A new run of the machine starts without classes, windows or queues.
void ResetUser() {
    User& u = TheUser();
    std::lock_guard<std::mutex> guard(u.lock);
    u.classes.clear();
    u.windows.clear();
    u.queues.clear();
    u.cursor = NULL;
    u.focus = NULL;
    u.appActive = false;
    u.hostWindow = NULL;
    u.hostPart = nullptr;
}

const int resetHook = machine::AddResetHook(ResetUser);

} // namespace

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER_CODE);
        return 0;
    }
    User& u = TheUser();
    std::lock_guard<std::mutex> guard(u.lock);
    std::string key = ClassKey(windowClass->lpszClassName);
    if (u.classes.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS_CODE);
        return 0;
    }
    WindowClass& c = u.classes[key];
    c.name = windowClass->lpszClassName;
    c.style = windowClass->style;
    c.procedure = windowClass->lpfnWndProc;
    c.cursor = windowClass->hCursor;
    c.background = windowClass->hbrBackground;
    return (ATOM)u.nextAtom++;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE) {
    User& u = TheUser();
    std::lock_guard<std::mutex> guard(u.lock);
    return u.classes.erase(ClassKey(className)) ? TRUE : FALSE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
    User& u = TheUser();
    HWND handle;
    bool wantsHost;
    {
        std::lock_guard<std::mutex> guard(u.lock);
        auto it = u.classes.find(ClassKey(className));
        if (it == u.classes.end()) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS_CODE);
            return NULL;
        }
        handle = (HWND)u.nextWindow;
        u.nextWindow += 0x10;
        Window& w = u.windows[handle];
        w.windowClass = it->second;
        w.title = windowName ? windowName : "";
        w.style = style;
        w.exStyle = exStyle;
        if (x == CW_USEDEFAULT) x = y = 0;
        if (width == CW_USEDEFAULT) width = 640, height = 480;
        w.rect = {x, y, x + width, y + height};
        w.thread = GetCurrentThreadId();
        wantsHost = !u.hostWindow && !host::GetSettings().headless;
    }
    user32::WatchInterrupts(); // before the host's libraries look for handlers of their own
    if (wantsHost) {
        host::Window* part = host::Current().window;
        if (part->Open(windowName ? windowName : "")) {
            std::lock_guard<std::mutex> guard(u.lock);
            u.hostWindow = handle;
            u.hostPart = part;
            u.windows[handle].host = true;
        } else {
            host::FallBackToHeadless();
        }
    }
    if (!Send(handle, WM_NCCREATE, 0, 0) || Send(handle, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(handle);
        return NULL;
    }
    if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL WINAPI DestroyWindow(HWND window) {
    if (!IsWindowAlive(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE_CODE);
        return FALSE;
    }
    Send(window, WM_DESTROY, 0, 0);
    Send(window, WM_NCDESTROY, 0, 0);
    host::Window* part = nullptr;
    {
        User& u = TheUser();
        std::lock_guard<std::mutex> guard(u.lock);
        if (u.hostWindow == window) {
            part = u.hostPart;
            u.hostWindow = NULL;
            u.hostPart = nullptr;
        }
        if (u.focus == window) u.focus = NULL;
        u.windows.erase(window);
    }
    if (part) part->Close();
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND window, int showCommand) {
    User& u = TheUser();
    bool wasVisible, firstShow;
    host::Window* part;
    RECT rect;
    {
        std::lock_guard<std::mutex> guard(u.lock);
        auto it = u.windows.find(window);
        if (it == u.windows.end()) return FALSE;
        Window& w = it->second;
        wasVisible = w.visible;
        part = w.host ? u.hostPart : nullptr;
        if (showCommand == SW_HIDE) {
            w.visible = false;
        } else {
            w.visible = true;
            w.iconic = showCommand == SW_MINIMIZE || showCommand == SW_SHOWMINIMIZED;
            if (!wasVisible) w.needsPaint = true;
        }
        firstShow = w.visible && !w.shownBefore;
        if (w.visible) w.shownBefore = true;
        rect = w.rect;
    }
    if (part) part->Show(showCommand != SW_HIDE);
    if (showCommand != SW_HIDE && !wasVisible) Send(window, WM_SHOWWINDOW, TRUE, 0);
    if (showCommand == SW_HIDE && wasVisible) Send(window, WM_SHOWWINDOW, FALSE, 0);
    if (showCommand != SW_HIDE && showCommand != SW_MINIMIZE) SetActive(true);
    if (firstShow) SendMoveAndSize(window, rect, true, true);
    return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND window) {
    bool paint;
    {
        User& u = TheUser();
        std::lock_guard<std::mutex> guard(u.lock);
        auto it = u.windows.find(window);
        if (it == u.windows.end()) return FALSE;
        paint = it->second.needsPaint && it->second.visible;
    }
    if (paint) Send(window, WM_PAINT, 0, 0);
    return TRUE;
}

HWND WINAPI SetFocus(HWND window) {
    HWND previous;
    {
        User& u = TheUser();
        std::lock_guard<std::mutex> guard(u.lock);
        if (window && !u.windows.count(window)) return NULL;
        previous = u.focus;
        u.focus = window;
    }
    if (previous && previous != window) Send(previous, WM_KILLFOCUS, (WPARAM)window, 0);
    if (window && previous != window) Send(window, WM_SETFOCUS, (WPARAM)previous, 0);
    return previous;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (!msg) return FALSE;
    PeekOrWait(msg, window, filterMin, filterMax, true, true);
    if (msg->message != WM_QUIT) return TRUE;
    // The thread stops reading its queue: nobody will present frames any more.
    User& u = TheUser();
    host::Window* part = nullptr;
    {
        std::lock_guard<std::mutex> guard(u.lock);
        if (u.hostWindow && u.windows[u.hostWindow].thread == GetCurrentThreadId())
            part = u.hostPart;
    }
    if (part) part->StopPresenting();
    return FALSE;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    if (!msg) return FALSE;
    return PeekOrWait(msg, window, filterMin, filterMax, (remove & PM_REMOVE) != 0, false) ? TRUE
                                                                                           : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (!msg) return FALSE;
    return msg->message == WM_KEYDOWN || msg->message == WM_KEYUP ||
           msg->message == WM_SYSKEYDOWN || msg->message == WM_SYSKEYUP;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    return Send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return Send(window, message, wParam, lParam);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE: return TRUE;
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_PAINT: ValidateRect(window, NULL); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETCURSOR: {
        if (LOWORD(lParam) != HTCLIENT) return FALSE;
        HCURSOR classCursor = NULL;
        {
            User& u = TheUser();
            std::lock_guard<std::mutex> guard(u.lock);
            auto it = u.windows.find(window);
            if (it != u.windows.end()) classCursor = it->second.windowClass.cursor;
        }
        if (!classCursor) return FALSE;
        SetCursor(classCursor);
        return TRUE;
    }
    default: return 0;
    }
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD thread;
    if (!window) {
        thread = GetCurrentThreadId();
    } else {
        User& u = TheUser();
        std::lock_guard<std::mutex> guard(u.lock);
        auto it = u.windows.find(window);
        if (it == u.windows.end()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE_CODE);
            return FALSE;
        }
        thread = it->second.thread;
    }
    return PostTo(thread, window, message, wParam, lParam) ? TRUE : FALSE;
}

void WINAPI PostQuitMessage(int exitCode) {
    User& u = TheUser();
    std::lock_guard<std::mutex> guard(u.lock);
    Queue& queue = u.queues[GetCurrentThreadId()];
    queue.quit = true;
    queue.quitCode = exitCode;
    queue.arrived.notify_all();
}

BOOL WINAPI IsIconic(HWND window) {
    User& u = TheUser();
    std::lock_guard<std::mutex> guard(u.lock);
    auto it = u.windows.find(window);
    return it != u.windows.end() && it->second.iconic ? TRUE : FALSE;
}

BOOL WINAPI SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags) {
    RECT rect;
    bool moved, sized;
    {
        User& u = TheUser();
        std::lock_guard<std::mutex> guard(u.lock);
        auto it = u.windows.find(window);
        if (it == u.windows.end()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE_CODE);
            return FALSE;
        }
        RECT& r = it->second.rect;
        RECT old = r;
        if (!(flags & SWP_NOMOVE)) {
            r.right += x - r.left;
            r.bottom += y - r.top;
            r.left = x;
            r.top = y;
        }
        if (!(flags & SWP_NOSIZE)) {
            r.right = r.left + cx;
            r.bottom = r.top + cy;
        }
        moved = r.left != old.left || r.top != old.top;
        sized =
            r.right - r.left != old.right - old.left || r.bottom - r.top != old.bottom - old.top;
        rect = r;
        if (flags & SWP_SHOWWINDOW) it->second.visible = true;
    }
    // As in Windows, only a real change is reported, which also ends a window procedure's
    // habit of answering WM_SIZE with another SetWindowPos.
    SendMoveAndSize(window, rect, moved, sized);
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
    if (!rect) return FALSE;
    User& u = TheUser();
    std::lock_guard<std::mutex> guard(u.lock);
    auto it = u.windows.find(window);
    if (it == u.windows.end()) return FALSE;
    const RECT& r = it->second.rect;
    *rect = {0, 0, r.right - r.left, r.bottom - r.top};
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND window, const RECT*, BOOL) {
    User& u = TheUser();
    std::lock_guard<std::mutex> guard(u.lock);
    auto it = u.windows.find(window);
    if (it == u.windows.end()) return FALSE;
    it->second.needsPaint = true;
    u.queues[it->second.thread].arrived.notify_all();
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND window, const RECT*) {
    User& u = TheUser();
    std::lock_guard<std::mutex> guard(u.lock);
    auto it = u.windows.find(window);
    if (it == u.windows.end()) return FALSE;
    it->second.needsPaint = false;
    return TRUE;
}

BOOL WINAPI RedrawWindow(HWND window, const RECT* update, HRGN, UINT flags) {
    if (!IsWindowAlive(window)) return FALSE;
    if (flags & RDW_INVALIDATE) InvalidateRect(window, update, (flags & RDW_ERASE) != 0);
    if (flags & RDW_UPDATENOW) UpdateWindow(window);
    return TRUE;
}

BOOL WINAPI DrawMenuBar(HWND window) {
    return IsWindowAlive(window) ? TRUE : FALSE;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    HCURSOR previous;
    {
        User& u = TheUser();
        std::lock_guard<std::mutex> guard(u.lock);
        previous = u.cursor;
        u.cursor = cursor;
    }
    host::Current().window->SetCursorVisible(cursor != NULL);
    return previous;
}

} // extern "C"
