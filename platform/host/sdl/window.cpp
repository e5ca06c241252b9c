// The SDL window and the event pump. Only the window thread calls into SDL video.
#include "host/host.h"

#include <stdio.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "presenter.h"

namespace host {
namespace {

struct WindowState {
    SDL_Window* window = nullptr;
    std::thread::id owner;
    std::atomic<bool> open{false};
    std::atomic<bool> cursorVisible{true};
    bool cursorShown = true;
    std::mutex listenerLock;
    std::map<int, std::function<void(const SDL_Event&)>> listeners;
    int nextListenerId = 1;
};

WindowState& TheWindow() {
    static WindowState* state = new WindowState;
    return *state;
}

void OfferToListeners(const SDL_Event& event) {
    WindowState& w = TheWindow();
    std::vector<std::function<void(const SDL_Event&)>> listeners;
    {
        std::lock_guard<std::mutex> guard(w.listenerLock);
        for (auto& entry : w.listeners) listeners.push_back(entry.second);
    }
    for (auto& listener : listeners) listener(event);
}

void TranslateWindowEvent(const SDL_WindowEvent& e, std::vector<WindowEvent>& out) {
    switch (e.event) {
    case SDL_WINDOWEVENT_EXPOSED: out.push_back({WindowEvent::PAINT}); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: out.push_back({WindowEvent::ACTIVATE, 1}); break;
    case SDL_WINDOWEVENT_FOCUS_LOST: out.push_back({WindowEvent::ACTIVATE, 0}); break;
    case SDL_WINDOWEVENT_CLOSE: out.push_back({WindowEvent::CLOSE}); break;
    case SDL_WINDOWEVENT_MOVED: out.push_back({WindowEvent::MOVE, e.data1, e.data2}); break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: out.push_back({WindowEvent::SIZE, e.data1, e.data2}); break;
    case SDL_WINDOWEVENT_MINIMIZED: out.push_back({WindowEvent::MINIMIZE}); break;
    case SDL_WINDOWEVENT_RESTORED: out.push_back({WindowEvent::RESTORE}); break;
    default: break;
    }
}

int ButtonIndex(int sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    default: return -1;
    }
}

void TranslateEvent(const SDL_Event& e, std::vector<WindowEvent>& out) {
    switch (e.type) {
    case SDL_WINDOWEVENT: TranslateWindowEvent(e.window, out); break;
    case SDL_QUIT: out.push_back({WindowEvent::CLOSE}); break;
    case SDL_MOUSEMOTION: out.push_back({WindowEvent::MOUSE_MOVE, e.motion.x, e.motion.y}); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        int button = ButtonIndex(e.button.button);
        if (button >= 0)
            out.push_back({WindowEvent::MOUSE_BUTTON, button, e.type == SDL_MOUSEBUTTONDOWN});
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        out.push_back({WindowEvent::KEY, (int)e.key.keysym.scancode, e.type == SDL_KEYDOWN});
        break;
    default: break;
    }
}

void ApplyCursor() {
    WindowState& w = TheWindow();
    bool wanted = w.cursorVisible;
    if (wanted == w.cursorShown) return;
    SDL_ShowCursor(wanted ? SDL_ENABLE : SDL_DISABLE);
    w.cursorShown = wanted;
}

} // namespace

bool HasWindow() {
    return TheWindow().open;
}

bool OpenWindow(const char* title, bool windowed) {
    WindowState& w = TheWindow();
    if (w.open) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "No display: %s\n", SDL_GetError());
        return false;
    }
    Uint32 flags = SDL_WINDOW_HIDDEN;
    int width = 1280, height = 960; // the 640 x 480 screen at twice its size
    if (!windowed)
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    else
        flags |= SDL_WINDOW_RESIZABLE;
    w.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                                height, flags);
    if (!w.window || !OpenPresenter(w.window, windowed)) {
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

void ShowWindow(bool show) {
    WindowState& w = TheWindow();
    if (!w.window) return;
    if (show) {
        SDL_ShowWindow(w.window);
        SDL_RaiseWindow(w.window);
    } else {
        SDL_HideWindow(w.window);
    }
}

void CloseWindow() {
    WindowState& w = TheWindow();
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

void Pump(std::vector<WindowEvent>& events) {
    WindowState& w = TheWindow();
    if (!w.window) return;
    ServePendingFrame();
    ApplyCursor();
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        OfferToListeners(event);
        TranslateEvent(event, events);
    }
}

void SetCursorVisible(bool visible) {
    TheWindow().cursorVisible = visible;
}

int AddEventListener(std::function<void(const SDL_Event&)> listener) {
    WindowState& w = TheWindow();
    std::lock_guard<std::mutex> guard(w.listenerLock);
    int id = w.nextListenerId++;
    w.listeners[id] = std::move(listener);
    return id;
}

void RemoveEventListener(int id) {
    WindowState& w = TheWindow();
    std::lock_guard<std::mutex> guard(w.listenerLock);
    w.listeners.erase(id);
}

void ShowMessageBox(const char* caption, const char* text, bool warning) {
    WindowState& w = TheWindow();
    bool onWindowThread = w.window && std::this_thread::get_id() == w.owner;
    // A full-screen window would hide the box.
    if (onWindowThread) SDL_SetWindowFullscreen(w.window, 0);
    Uint32 flags = warning ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
    SDL_ShowSimpleMessageBox(flags, caption, text, onWindowThread ? w.window : nullptr);
}

void ResetForTest() {
    TheWindow().cursorVisible = true;
    ResetPresenter();
}

} // namespace host
