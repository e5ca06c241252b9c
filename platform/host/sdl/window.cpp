// The SDL window and the event pump. Only the window thread calls into SDL video.
#include "parts.h"

#include "events.h"
#include "presenter.h"

#include <stdio.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace host {
namespace sdl {
namespace {

struct WindowState {
    SDL_Window* window = nullptr;
    std::thread::id owner;
    std::atomic<bool> open{false};
    std::atomic<bool> windowed{false};
    std::atomic<bool> cursorVisible{true};
    bool cursorShown = true;
    std::mutex listenerLock;
    EventListener listener;
};

WindowState& TheState() {
    static WindowState* state = new WindowState; // outlives exit handlers
    return *state;
}

void Offer(const Event& event) {
    WindowState& w = TheState();
    EventListener listener;
    {
        std::lock_guard<std::mutex> guard(w.listenerLock);
        listener = w.listener;
    }
    if (listener) listener(event);
}

void ApplyCursor() {
    WindowState& w = TheState();
    bool wanted = w.cursorVisible;
    if (wanted == w.cursorShown) return;
    SDL_ShowCursor(wanted ? SDL_ENABLE : SDL_DISABLE);
    w.cursorShown = wanted;
}

SDL_Rect WindowedPlace() {
    // The 640 x 480 screen at twice its size.
    return {SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 1280, 960};
}

// Full screen is a window manager's service; without one the window must cover the screen
// by itself, or the picture, laid out for the whole screen, lands offset and cut off.
SDL_Rect FullScreenPlace() {
    SDL_Rect screen;
    if (SDL_GetDisplayBounds(0, &screen) != 0) return WindowedPlace();
    return screen;
}

class SdlWindow : public Window {
public:
    bool Open(const char* title) override {
        WindowState& w = TheState();
        if (w.open) return true;
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1"); // Ctrl+C and kill are user32's
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            fprintf(stderr, "No display: %s\n", SDL_GetError());
            return false;
        }
        SDL_Rect place = w.windowed ? WindowedPlace() : FullScreenPlace();
        Uint32 flags = SDL_WINDOW_HIDDEN;
        if (!w.windowed)
            flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
        else
            flags |= SDL_WINDOW_RESIZABLE;
        w.window = SDL_CreateWindow(title, place.x, place.y, place.w, place.h, flags);
        if (!w.window || !OpenPresenter(w.window, w.windowed)) {
            fprintf(stderr, "No window: %s\n", SDL_GetError());
            if (w.window) SDL_DestroyWindow(w.window);
            w.window = nullptr;
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return false;
        }
        w.owner = std::this_thread::get_id();
        w.open = true;
        return true;
    }

    bool IsOpen() override { return TheState().open; }

    void Show(bool show) override {
        WindowState& w = TheState();
        if (!w.window) return;
        if (show) {
            SDL_ShowWindow(w.window);
            SDL_RaiseWindow(w.window);
        } else {
            SDL_HideWindow(w.window);
        }
    }

    void Close() override {
        WindowState& w = TheState();
        if (!w.window) return;
        StopPresenting();
        w.open = false;
        ClosePresenter();
        SDL_DestroyWindow(w.window);
        w.window = nullptr;
        if (!w.cursorShown) SDL_ShowCursor(SDL_ENABLE);
        w.cursorShown = true;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    void Pump(std::vector<Event>& events) override {
        WindowState& w = TheState();
        if (!w.window) return;
        ServePendingFrame();
        ApplyCursor();
        SDL_Event event;
        std::vector<Event> translated;
        while (SDL_PollEvent(&event)) {
            translated.clear();
            Translate(event, translated);
            for (const Event& e : translated) {
                Offer(e);
                events.push_back(e);
            }
        }
    }

    void SetCursorVisible(bool visible) override { TheState().cursorVisible = visible; }

    void StopPresenting() override { sdl::StopPresenting(); }

    int64_t FramesPresented() override { return sdl::FramesPresented(); }

    void ShowMessageBox(const char* caption, const char* text, bool warning) override {
        WindowState& w = TheState();
        bool onWindowThread = w.window && std::this_thread::get_id() == w.owner;
        // A full-screen window would hide the box.
        if (onWindowThread) SDL_SetWindowFullscreen(w.window, 0);
        Uint32 flags = warning ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
        SDL_ShowSimpleMessageBox(flags, caption, text, onWindowThread ? w.window : nullptr);
    }

    void SetListener(EventListener listener) override {
        WindowState& w = TheState();
        std::lock_guard<std::mutex> guard(w.listenerLock);
        w.listener = std::move(listener);
    }
};

} // namespace

bool WindowIsOpen() {
    return TheState().open;
}

Window* TheWindow() {
    static SdlWindow* window = new SdlWindow; // outlives exit handlers
    return window;
}

void Configure(const Settings& settings) {
    TheState().windowed = settings.windowed;
}

void ResetForTest() {
    TheState().cursorVisible = true;
    ResetPresenter();
}

} // namespace sdl
} // namespace host
