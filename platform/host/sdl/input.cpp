// The host's keyboard and mouse feed the simulated machine's input hardware: SDL events seen
// by the window thread's pump become key, button and motion events; focus changes move the
// foreground, which takes the devices away from the program.
#include "input.h"

#include "host/host.h"
#include "keymap.h"

#include "machine/input_devices.h"

#include <mutex>

namespace host {
namespace {

// DirectInput reports the wheel in WHEEL_DELTA steps on the mouse's z axis.
const int WHEEL_STEP = 120;

int MouseButtonFromSdl(Uint8 button) {
    switch (button) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    default: return -1;
    }
}

void OnWindowEvent(const SDL_WindowEvent& event) {
    if (event.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        machine::SetForeground(false);
        // Keys let go elsewhere never reach us: forget what was held.
        machine::ReleaseAllInput();
    } else if (event.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
        machine::SetForeground(true);
    }
}

void OnKey(const SDL_KeyboardEvent& event) {
    // The hardware reports changes only; the host's typematic repeats are not key changes.
    if (event.repeat) return;
    int scanCode = ScanCodeFromSdl(event.keysym.scancode);
    if (scanCode != 0) machine::KeyEvent(scanCode, event.type == SDL_KEYDOWN);
}

} // namespace

void FeedInputEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: OnKey(event.key); break;
    case SDL_MOUSEMOTION: machine::MouseMotion(event.motion.xrel, event.motion.yrel, 0); break;
    case SDL_MOUSEWHEEL: {
        int steps =
            event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
        machine::MouseMotion(0, 0, steps * WHEEL_STEP);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        int button = MouseButtonFromSdl(event.button.button);
        if (button >= 0) machine::MouseButton(button, event.type == SDL_MOUSEBUTTONDOWN);
        break;
    }
    case SDL_WINDOWEVENT: OnWindowEvent(event.window); break;
    default: break;
    }
}

// The listener stays for the whole process: DirectInput objects come and go, the ports stay.
void InstallInputListener() {
    static std::once_flag installed;
    std::call_once(installed, [] { AddEventListener(FeedInputEvent); });
}

} // namespace host
