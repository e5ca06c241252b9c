// The page's canvas as the program's window. The page's thread turns DOM events into calls
// below; they wait in a queue until the window thread pumps, as a window's messages wait
// for its thread in Windows.
#include "parts.h"

#include "keymap.h"
#include "page.h"

#include <emscripten.h>
#include <stdio.h>

#include <atomic>
#include <mutex>

namespace host {
namespace web {
namespace {

struct WindowState {
    std::atomic<bool> open{false};
    std::atomic<bool> cursorVisible{true};
    bool cursorShown = true; // window thread only
    std::mutex lock;
    std::vector<Event> arrived;
    EventListener listener;
};

WindowState& TheState() {
    static WindowState* state = new WindowState; // outlives exit handlers
    return *state;
}

// Page thread: keeps the event for the next pump; nothing arrives while the window is shut.
void Arrive(const Event& event) {
    WindowState& w = TheState();
    if (!w.open) return;
    std::lock_guard<std::mutex> guard(w.lock);
    w.arrived.push_back(event);
}

void ApplyCursor() {
    WindowState& w = TheState();
    bool wanted = w.cursorVisible;
    if (wanted == w.cursorShown) return;
    page::SetCursorVisible(wanted);
    w.cursorShown = wanted;
}

class PageWindow : public Window {
public:
    bool Open(const char*) override {
        TheState().open = true;
        return true;
    }

    bool IsOpen() override { return TheState().open; }

    // The page shows the canvas from the start; showing the window gives it the keyboard.
    void Show(bool show) override {
        if (!show) return;
        Arrive({Event::PAINT});
        Arrive({Event::ACTIVATE, 1});
    }

    void Close() override {
        WindowState& w = TheState();
        StopPresenting();
        w.open = false;
        if (!w.cursorShown) page::SetCursorVisible(true);
        w.cursorShown = true;
        std::lock_guard<std::mutex> guard(w.lock);
        w.arrived.clear();
    }

    void Pump(std::vector<Event>& events) override {
        WindowState& w = TheState();
        if (!w.open) return;
        ApplyCursor();
        std::vector<Event> taken;
        EventListener listener;
        {
            std::lock_guard<std::mutex> guard(w.lock);
            taken.swap(w.arrived);
            listener = w.listener;
        }
        for (const Event& e : taken) {
            if (listener) listener(e);
            events.push_back(e);
        }
    }

    void SetCursorVisible(bool visible) override { TheState().cursorVisible = visible; }

    void StopPresenting() override { StopDrawing(); }

    int64_t FramesPresented() override { return FramesDrawn(); }

    void ShowMessageBox(const char* caption, const char* text, bool warning) override {
        page::ShowMessage(caption, text, warning);
    }

    void SetListener(EventListener listener) override {
        WindowState& w = TheState();
        std::lock_guard<std::mutex> guard(w.lock);
        w.listener = std::move(listener);
    }
};

} // namespace

bool WindowIsOpen() {
    return TheState().open;
}

Window* TheWindow() {
    static PageWindow* window = new PageWindow; // outlives exit handlers
    return window;
}

void ResetForTest() {
    WindowState& w = TheState();
    w.cursorVisible = true;
    ResetDrawing();
}

} // namespace web
} // namespace host

// ---- called by the page's thread (page.js) ---------------------------------------------

using host::Event;
using host::web::Arrive;

extern "C" {

// A key by its KeyboardEvent.code; 1 when the simulated keyboard has it, so that the page
// keeps the browser from acting on it too.
EMSCRIPTEN_KEEPALIVE int prismatel_page_key(const char* code, int down, int repeat) {
    int scanCode = host::web::ScanCodeFromKeyCode(code);
    if (scanCode == 0) return 0;
    Event key = {Event::KEY, scanCode, down != 0};
    key.repeat = repeat != 0;
    Arrive(key);
    return 1;
}

// The pointer at (x, y) on the 640 x 480 screen, having moved by (dx, dy) canvas pixels.
EMSCRIPTEN_KEEPALIVE void prismatel_page_mouse_move(int x, int y, int dx, int dy) {
    Arrive({Event::MOUSE_MOVE, x, y});
    Arrive({Event::MOUSE_MOTION, dx, dy});
}

// MouseEvent.button: 0 left, 1 middle, 2 right, 3 back.
EMSCRIPTEN_KEEPALIVE void prismatel_page_mouse_button(int button, int down) {
    static const int buttons[] = {0, 2, 1, 3};
    if (button < 0 || button > 3) return;
    Arrive({Event::MOUSE_BUTTON, buttons[button], down != 0});
}

// Wheel notches, away from the viewer positive, in WHEEL_DELTA units.
EMSCRIPTEN_KEEPALIVE void prismatel_page_mouse_wheel(int notches) {
    const int WHEEL_STEP = 120;
    Arrive({Event::MOUSE_WHEEL, notches * WHEEL_STEP});
}

EMSCRIPTEN_KEEPALIVE void prismatel_page_focus(int focused) {
    Arrive({Event::ACTIVATE, focused != 0});
}

} // extern "C"
