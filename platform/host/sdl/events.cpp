// The host's window, keyboard and mouse as events: keys by position as DirectInput scan
// codes, the pointer's place for the window and the mouse's own motion for DirectInput,
// focus changes for both.
#include "events.h"

#include "keymap.h"

namespace host {
namespace sdl {
namespace {

// DirectInput reports the wheel in WHEEL_DELTA steps on the mouse's z axis.
const int WHEEL_STEP = 120;

void TranslateWindowEvent(const SDL_WindowEvent& e, std::vector<Event>& out) {
    switch (e.event) {
    case SDL_WINDOWEVENT_EXPOSED: out.push_back({Event::PAINT}); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: out.push_back({Event::ACTIVATE, 1}); break;
    case SDL_WINDOWEVENT_FOCUS_LOST: out.push_back({Event::ACTIVATE, 0}); break;
    case SDL_WINDOWEVENT_CLOSE: out.push_back({Event::CLOSE}); break;
    case SDL_WINDOWEVENT_MOVED: out.push_back({Event::MOVE, e.data1, e.data2}); break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: out.push_back({Event::SIZE, e.data1, e.data2}); break;
    case SDL_WINDOWEVENT_MINIMIZED: out.push_back({Event::MINIMIZE}); break;
    case SDL_WINDOWEVENT_RESTORED: out.push_back({Event::RESTORE}); break;
    default: break;
    }
}

void TranslateMouse(const SDL_Event& e, std::vector<Event>& out) {
    switch (e.type) {
    case SDL_MOUSEMOTION:
        out.push_back({Event::MOUSE_MOVE, e.motion.x, e.motion.y});
        out.push_back({Event::MOUSE_MOTION, e.motion.xrel, e.motion.yrel});
        break;
    case SDL_MOUSEWHEEL: {
        int steps = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        out.push_back({Event::MOUSE_WHEEL, steps * WHEEL_STEP});
        break;
    }
    default: {
        int button = MouseButtonFromSdl(e.button.button);
        if (button >= 0)
            out.push_back({Event::MOUSE_BUTTON, button, e.type == SDL_MOUSEBUTTONDOWN});
        break;
    }
    }
}

void TranslateKey(const SDL_KeyboardEvent& e, std::vector<Event>& out) {
    int scanCode = ScanCodeFromSdl(e.keysym.scancode);
    if (scanCode == 0) return;
    Event key = {Event::KEY, scanCode, e.type == SDL_KEYDOWN};
    key.repeat = e.repeat != 0;
    out.push_back(key);
}

} // namespace

void Translate(const SDL_Event& e, std::vector<Event>& out) {
    switch (e.type) {
    case SDL_WINDOWEVENT: TranslateWindowEvent(e.window, out); break;
    case SDL_QUIT: out.push_back({Event::CLOSE}); break;
    case SDL_MOUSEMOTION:
    case SDL_MOUSEWHEEL:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: TranslateMouse(e, out); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: TranslateKey(e.key, out); break;
    default: break;
    }
}

} // namespace sdl
} // namespace host
