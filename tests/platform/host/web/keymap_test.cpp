// The page's keys (KeyboardEvent.code) as DIK scan codes: by position like the SDL host's,
// so a key means the same to the show in the browser as in the native window.
#include <gtest/gtest.h>
#include <SDL.h>
#include <dinput.h>

#include "host/sdl/keymap.h"
#include "host/web/keymap.h"

namespace {

using host::web::ScanCodeFromKeyCode;

struct SameKey {
    const char* code;
    SDL_Scancode sdl;
};

// The show's own keys, keys whose label moves with the layout, and extended keys.
const SameKey sameKeys[] = {
    {"Escape", SDL_SCANCODE_ESCAPE},
    {"Space", SDL_SCANCODE_SPACE},
    {"KeyM", SDL_SCANCODE_M},
    {"KeyR", SDL_SCANCODE_R},
    {"KeyZ", SDL_SCANCODE_Z},
    {"KeyY", SDL_SCANCODE_Y},
    {"Minus", SDL_SCANCODE_MINUS},
    {"Backquote", SDL_SCANCODE_GRAVE},
    {"IntlBackslash", SDL_SCANCODE_NONUSBACKSLASH},
    {"Backslash", SDL_SCANCODE_BACKSLASH},
    {"Digit0", SDL_SCANCODE_0},
    {"ShiftLeft", SDL_SCANCODE_LSHIFT},
    {"ShiftRight", SDL_SCANCODE_RSHIFT},
    {"ControlRight", SDL_SCANCODE_RCTRL},
    {"AltRight", SDL_SCANCODE_RALT},
    {"NumpadEnter", SDL_SCANCODE_KP_ENTER},
    {"NumpadDivide", SDL_SCANCODE_KP_DIVIDE},
    {"Numpad7", SDL_SCANCODE_KP_7},
    {"ArrowUp", SDL_SCANCODE_UP},
    {"ArrowLeft", SDL_SCANCODE_LEFT},
    {"PageDown", SDL_SCANCODE_PAGEDOWN},
    {"Delete", SDL_SCANCODE_DELETE},
    {"F12", SDL_SCANCODE_F12},
    {"MetaLeft", SDL_SCANCODE_LGUI},
    {"ContextMenu", SDL_SCANCODE_APPLICATION},
};

TEST(WebKeymap, EachKeyIsTheSdlHostsScanCode) {
    for (const SameKey& key : sameKeys) {
        SCOPED_TRACE(key.code);
        EXPECT_NE(0, ScanCodeFromKeyCode(key.code));
        EXPECT_EQ(host::sdl::ScanCodeFromSdl(key.sdl), ScanCodeFromKeyCode(key.code));
    }
}

TEST(WebKeymap, TheShowsKeysAndExtendedKeys) {
    EXPECT_EQ(DIK_ESCAPE, ScanCodeFromKeyCode("Escape"));
    EXPECT_EQ(DIK_SPACE, ScanCodeFromKeyCode("Space"));
    EXPECT_EQ(DIK_M, ScanCodeFromKeyCode("KeyM"));
    EXPECT_EQ(DIK_R, ScanCodeFromKeyCode("KeyR"));
    EXPECT_EQ(0x9C, ScanCodeFromKeyCode("NumpadEnter"));
    EXPECT_EQ(0xC8, ScanCodeFromKeyCode("ArrowUp"));
}

TEST(WebKeymap, KeysTheMachineLacksAndBadNamesAreNone) {
    for (const char* code : {"", "keym", "KeyM ", "Fn", "MediaPlayPause", "F24", "Unidentified"})
        EXPECT_EQ(0, ScanCodeFromKeyCode(code)) << '"' << code << '"';
    EXPECT_EQ(0, ScanCodeFromKeyCode(nullptr));
}

} // namespace
