// The host side of the simulated PC's screen: one SDL window, created and served by the
// window thread (the thread that created the program's first window). Without a display
// there is no window and every call here is cheap and harmless.
#ifndef PRISMATEL_HOST_H
#define PRISMATEL_HOST_H

#include <SDL.h>
#include <stdint.h>

#include <functional>
#include <vector>

namespace host {

bool HasWindow();

// Main thread: hands a frame (0x00RRGGBB pixels, width * height) to the window thread and
// blocks until it has been presented (vsync-paced); returns at once without a window.
void PresentFrame(const uint32_t* rgb, int width, int height);
// Frames presented in the window since it opened.
int64_t FramesPresented();

// Window thread only: every SDL event the pump sees is offered to these listeners first.
int AddEventListener(std::function<void(const SDL_Event&)> listener);
void RemoveEventListener(int id);

// ---- for the platform's user module -----------------------------------------------

// What happened to the host window, in the terms the window procedure understands.
struct WindowEvent {
    enum Kind {
        PAINT,
        ACTIVATE, // a: 1 gained focus, 0 lost it
        CLOSE,    // close button or quit request
        MOVE,     // a, b: position
        SIZE,     // a, b: size
        MINIMIZE,
        RESTORE,
        MOUSE_MOVE,   // a, b: position in the window
        MOUSE_BUTTON, // a: 0 left, 1 right, 2 middle; b: 1 down, 0 up
        KEY,          // a: scan code; b: 1 down, 0 up
    };
    Kind kind;
    int a = 0;
    int b = 0;
};

// Opens the window (hidden) on the calling thread, which becomes the window thread;
// false when no display can be opened.
bool OpenWindow(const char* title, bool windowed);
void ShowWindow(bool show);
void CloseWindow();
// Window thread: shows a pending frame, applies the cursor and turns SDL events into
// window events.
void Pump(std::vector<WindowEvent>& events);
// Any thread: whether the pointer should show over the window (applied by the pump).
void SetCursorVisible(bool visible);
// Releases a waiting PresentFrame for good: the window thread has stopped serving frames.
void StopPresenting();
// A modal message box on the host's desktop (needs a display, not a window).
void ShowMessageBox(const char* caption, const char* text, bool warning);
// Forgets every frame and listener state of a previous in-process run.
void ResetForTest();

} // namespace host

#endif
