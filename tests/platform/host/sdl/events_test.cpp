// The host's keys, mouse and focus as DirectInput sees them: SDL keys by physical position
// to DIK scan codes, and SDL events fed to the simulated hardware.
#include <gtest/gtest.h>
#include <dinput.h>

#include <map>
#include <vector>

#include "support/headless_machine.h"
#include "machine/machine.h"
#include "machine/input_devices.h"

#include "host/sdl/events.h"
#include "host/sdl/keymap.h"

namespace {

using host::sdl::ScanCodeFromSdl;

// One SDL event as the window thread's pump hands it to the machine's input hardware.
void Feed(const SDL_Event& event) {
    std::vector<host::Event> events;
    host::sdl::Translate(event, events);
    for (const host::Event& e : events) machine::FeedHostEvent(e);
}

TEST(HostKeymap, ExtendedKeysGetTheirExtendedScanCodes) {
    EXPECT_EQ(0x9D, ScanCodeFromSdl(SDL_SCANCODE_RCTRL));
    EXPECT_EQ(0xB8, ScanCodeFromSdl(SDL_SCANCODE_RALT));
    EXPECT_EQ(0x9C, ScanCodeFromSdl(SDL_SCANCODE_KP_ENTER));
    EXPECT_EQ(0xB5, ScanCodeFromSdl(SDL_SCANCODE_KP_DIVIDE));
    EXPECT_EQ(0xC7, ScanCodeFromSdl(SDL_SCANCODE_HOME));
    EXPECT_EQ(0xC8, ScanCodeFromSdl(SDL_SCANCODE_UP));
    EXPECT_EQ(0xC9, ScanCodeFromSdl(SDL_SCANCODE_PAGEUP));
    EXPECT_EQ(0xCB, ScanCodeFromSdl(SDL_SCANCODE_LEFT));
    EXPECT_EQ(0xCD, ScanCodeFromSdl(SDL_SCANCODE_RIGHT));
    EXPECT_EQ(0xCF, ScanCodeFromSdl(SDL_SCANCODE_END));
    EXPECT_EQ(0xD0, ScanCodeFromSdl(SDL_SCANCODE_DOWN));
    EXPECT_EQ(0xD1, ScanCodeFromSdl(SDL_SCANCODE_PAGEDOWN));
    EXPECT_EQ(0xD2, ScanCodeFromSdl(SDL_SCANCODE_INSERT));
    EXPECT_EQ(0xD3, ScanCodeFromSdl(SDL_SCANCODE_DELETE));
}

TEST(HostKeymap, KeysFollowTheirPositionNotTheirLabel) {
    // On a German keyboard the key at the US 'Z' place is 'y', scan code 0x2C.
    EXPECT_EQ(0x2C, ScanCodeFromSdl(SDL_SCANCODE_Z));
    EXPECT_EQ(0x15, ScanCodeFromSdl(SDL_SCANCODE_Y));
    EXPECT_EQ(0x0C, ScanCodeFromSdl(SDL_SCANCODE_MINUS));          // sharp s
    EXPECT_EQ(0x29, ScanCodeFromSdl(SDL_SCANCODE_GRAVE));          // circumflex
    EXPECT_EQ(0x56, ScanCodeFromSdl(SDL_SCANCODE_NONUSBACKSLASH)); // < > |
    EXPECT_EQ(0x2B, ScanCodeFromSdl(SDL_SCANCODE_NONUSHASH));      // # '
    EXPECT_EQ(0x37, ScanCodeFromSdl(SDL_SCANCODE_KP_MULTIPLY));
    EXPECT_EQ(0x53, ScanCodeFromSdl(SDL_SCANCODE_KP_PERIOD));
    EXPECT_EQ(0x3A, ScanCodeFromSdl(SDL_SCANCODE_CAPSLOCK));
    EXPECT_EQ(0, ScanCodeFromSdl(SDL_SCANCODE_UNKNOWN));
}

// Every scan code the engine's layout tables give a meaning to.
std::vector<int> ScanCodesTheLayoutUses() {
    std::vector<int> codes;
    for (int code = 0x01; code <= 0x53; code++)
        if (code != 0x45 && code != 0x46) codes.push_back(code); // Num Lock and Scroll Lock
    const int more[] = {0x56, 0x57, 0x58, 0x9C, 0x9D, 0xB5, 0xB8, 0xC7, 0xC8,
                        0xC9, 0xCB, 0xCD, 0xCF, 0xD0, 0xD1, 0xD2, 0xD3};
    codes.insert(codes.end(), more, more + sizeof more / sizeof more[0]);
    return codes;
}

TEST(HostKeymap, EveryKeyTheLayoutUsesCanBeTyped) {
    std::map<int, int> sdlKeysPerScanCode;
    for (int key = 0; key < SDL_NUM_SCANCODES; key++) {
        int code = ScanCodeFromSdl((SDL_Scancode)key);
        if (code) sdlKeysPerScanCode[code]++;
    }
    for (int code : ScanCodesTheLayoutUses())
        EXPECT_GE(sdlKeysPerScanCode[code], 1) << "no host key gives scan code " << code;
    // Only the two keys that share the position right of the quote key share a code.
    for (auto& entry : sdlKeysPerScanCode)
        EXPECT_EQ(entry.first == DIK_BACKSLASH ? 2 : 1, entry.second)
            << "scan code " << entry.first;
}

// ---- SDL events into the machine -------------------------------------------------------------

class HostInput : public ::testing::Test {
protected:
    void SetUp() override {
        StartHeadlessMachine(60);
        ASSERT_EQ(DI_OK, DirectInputCreateA(GetModuleHandleA(NULL), 0x0500, &di, NULL));
        ASSERT_EQ(DI_OK, di->CreateDevice(GUID_SysKeyboard, &keyboard, NULL));
        keyboard->SetCooperativeLevel(reinterpret_cast<HWND>(1),
                                      DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
        keyboard->SetDataFormat(&c_dfDIKeyboard);
        DIPROPDWORD prop = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 16};
        keyboard->SetProperty(DIPROP_BUFFERSIZE, &prop.diph);
        ASSERT_EQ(DI_OK, keyboard->Acquire());
        ASSERT_EQ(DI_OK, di->CreateDevice(GUID_SysMouse, &mouse, NULL));
        mouse->SetDataFormat(&c_dfDIMouse);
        prop.dwData = DIPROPAXISMODE_ABS;
        mouse->SetProperty(DIPROP_AXISMODE, &prop.diph);
        ASSERT_EQ(DI_OK, mouse->Acquire());
    }

    void TearDown() override {
        keyboard->Release();
        mouse->Release();
        di->Release();
    }

    static void Key(SDL_Scancode key, bool down, bool repeat = false) {
        SDL_Event event = {};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.keysym.scancode = key;
        event.key.repeat = repeat;
        Feed(event);
    }

    static void Focus(bool gained) {
        SDL_Event event = {};
        event.type = SDL_WINDOWEVENT;
        event.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
        Feed(event);
    }

    std::vector<DIDEVICEOBJECTDATA> Events(HRESULT* result) {
        std::vector<DIDEVICEOBJECTDATA> events(16);
        DWORD count = 16;
        *result = keyboard->GetDeviceData(sizeof events[0], events.data(), &count, 0);
        events.resize(SUCCEEDED(*result) ? count : 0);
        return events;
    }

    DIMOUSESTATE Mouse() {
        DIMOUSESTATE state = {};
        EXPECT_EQ(DI_OK, mouse->GetDeviceState(sizeof state, &state));
        return state;
    }

    IDirectInputA* di = NULL;
    IDirectInputDeviceA* keyboard = NULL;
    IDirectInputDeviceA* mouse = NULL;
};

TEST_F(HostInput, KeysArriveOnceHostRepeatsAreIgnored) {
    Key(SDL_SCANCODE_RALT, true);
    Key(SDL_SCANCODE_RALT, true, true);
    Key(SDL_SCANCODE_RALT, true, true);
    Key(SDL_SCANCODE_RALT, false);
    HRESULT result;
    std::vector<DIDEVICEOBJECTDATA> events = Events(&result);
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(0xB8u, events[0].dwOfs);
    EXPECT_EQ(0x80u, events[0].dwData);
    EXPECT_EQ(0u, events[1].dwData);
}

TEST_F(HostInput, MouseMotionWheelAndButtons) {
    SDL_Event event = {};
    event.type = SDL_MOUSEMOTION;
    event.motion.xrel = 12;
    event.motion.yrel = -5;
    Feed(event);
    event = {};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.y = -2;
    Feed(event);
    event = {};
    event.type = SDL_MOUSEBUTTONDOWN;
    event.button.button = SDL_BUTTON_RIGHT;
    Feed(event);
    DIMOUSESTATE state = Mouse();
    EXPECT_EQ(12, state.lX);
    EXPECT_EQ(-5, state.lY);
    EXPECT_EQ(-240, state.lZ);
    EXPECT_EQ(0, state.rgbButtons[0]);
    EXPECT_EQ(0x80, state.rgbButtons[1]);
}

TEST_F(HostInput, FocusLossTakesTheKeyboardAndForgetsHeldKeys) {
    Key(SDL_SCANCODE_LSHIFT, true);
    Focus(false);
    HRESULT result;
    Events(&result);
    EXPECT_EQ(DIERR_INPUTLOST, result);
    Focus(true);
    ASSERT_EQ(DI_OK, keyboard->Acquire());
    BYTE keys[256];
    ASSERT_EQ(DI_OK, keyboard->GetDeviceState(sizeof keys, keys));
    EXPECT_EQ(0, keys[DIK_LSHIFT]);
    // A fresh press after coming back counts again.
    Key(SDL_SCANCODE_LSHIFT, true);
    EXPECT_EQ(1u, Events(&result).size());
}

} // namespace
