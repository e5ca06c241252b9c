// The keyboard and pointer devices, driven through the simulated machine's keys and mouse
// on the virtual clock: translation, modifiers, auto-repeat, batches, overflow, lost
// devices, start-up registration and the fatal set-up paths.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

#include "demo_hook.h"
#include "input/input.h"
#include "support/headless_machine.h"
#include "machine/machine.h"
#include "support/run_winmain.h"
#include "machine/input_devices.h"

namespace {

bool HasLine(const std::string& line) {
    for (const std::string& text : machine::DebugLines())
        if (text == line) return true;
    return false;
}

class InputDevices : public ::testing::Test {
protected:
    void SetUp() override {
        StartHeadlessMachine(100); // each frame moves the clock by 10 ms
        appInstance = GetModuleHandleA(NULL);
        mainWindow = reinterpret_cast<HWND>(0x10010);
        ClearDevices();
    }

    void TearDown() override {
        DeleteDevices();
        ClearDevices();
        ShutdownInput();
    }

    sKeyboard* StartKeyboard() {
        InitInput();
        return static_cast<sKeyboard*>(GetDevice(DK_KEYBOARD, -1));
    }

    static void Tap(int scanCode) {
        machine::KeyEvent(scanCode, true);
        machine::KeyEvent(scanCode, false);
    }

    // Reads keys until the first 0; the zero itself is not included.
    static std::vector<uint32_t> Drain(sKeyboard* keyboard) {
        std::vector<uint32_t> codes;
        for (uint32_t code = keyboard->ReadKey(); code != 0; code = keyboard->ReadKey())
            codes.push_back(code);
        return codes;
    }

    // Reads once per 10 ms frame for `ms` milliseconds and returns what each read gave.
    static std::vector<uint32_t> ReadEveryFrame(sKeyboard* keyboard, int ms) {
        std::vector<uint32_t> codes;
        for (int t = 0; t < ms; t += 10) {
            machine::AdvanceFrame();
            codes.push_back(keyboard->ReadKey());
        }
        return codes;
    }
};

typedef std::vector<uint32_t> Codes;

// ---- translation ------------------------------------------------------------------------

TEST_F(InputDevices, PlainKeyPressAndRelease) {
    sKeyboard* keyboard = StartKeyboard();
    ASSERT_NE(nullptr, keyboard);
    Tap(DIK_A);
    EXPECT_EQ((Codes{0x61, 0x80000061}), Drain(keyboard));
    Tap(DIK_RETURN);
    EXPECT_EQ((Codes{10, 0x8000000A}), Drain(keyboard));
}

TEST_F(InputDevices, ShiftChangesTheCharacterAndCarriesItsBit) {
    sKeyboard* keyboard = StartKeyboard();
    machine::KeyEvent(DIK_LSHIFT, true);
    Tap(DIK_A);
    machine::KeyEvent(DIK_LSHIFT, false);
    EXPECT_EQ((Codes{0x50012, 0x40041, 0x80040041, 0x80010012}), Drain(keyboard));
    EXPECT_EQ(0u, keyboard->GetModifiers());
}

TEST_F(InputDevices, AltGrGivesTheThirdLevel) {
    sKeyboard* keyboard = StartKeyboard();
    machine::KeyEvent(DIK_RMENU, true);
    machine::KeyEvent(DIK_Q, true);
    EXPECT_EQ((Codes{0x810017, 0x800040}), Drain(keyboard));
    EXPECT_EQ((uint32_t)MOD_ALTGR, keyboard->GetModifiers());
}

TEST_F(InputDevices, KeypadKeysCarryTheKeypadFlag) {
    sKeyboard* keyboard = StartKeyboard();
    machine::KeyEvent(DIK_NUMPAD7, true);
    machine::KeyEvent(DIK_NUMPADENTER, true);
    machine::KeyEvent(DIK_RETURN, true);
    machine::KeyEvent(DIK_DIVIDE, true);
    EXPECT_EQ((Codes{0x10000037, 0x1000000A, 10, 0x1000002F}), Drain(keyboard));
}

TEST_F(InputDevices, GermanCharactersAreLatin1) {
    sKeyboard* keyboard = StartKeyboard();
    machine::KeyEvent(DIK_MINUS, true); // the sharp s key
    machine::KeyEvent(DIK_RSHIFT, true);
    machine::KeyEvent(DIK_3, true); // section sign
    EXPECT_EQ((Codes{0xDF, 0x90013, 0x800A7}), Drain(keyboard));
}

TEST_F(InputDevices, EscapeAloneAndWithShift) {
    sKeyboard* keyboard = StartKeyboard();
    machine::KeyEvent(DIK_ESCAPE, true);
    EXPECT_EQ(27u, keyboard->ReadKey());
    machine::KeyEvent(DIK_ESCAPE, false);
    machine::KeyEvent(DIK_LSHIFT, true);
    machine::KeyEvent(DIK_ESCAPE, true);
    EXPECT_EQ((Codes{0x8000001B, 0x50012, 0x4001B}), Drain(keyboard));
}

TEST_F(InputDevices, CapsLockIsHeldNotToggled) {
    sKeyboard* keyboard = StartKeyboard();
    machine::KeyEvent(DIK_CAPITAL, true);
    machine::KeyEvent(DIK_CAPITAL, false);
    Tap(DIK_B);
    EXPECT_EQ((Codes{0x30011, 0x80010011, 0x62, 0x80000062}), Drain(keyboard));
}

// ---- batches and the queue -------------------------------------------------------------------

TEST_F(InputDevices, AnUnmappedKeyEndsTheBatch) {
    sKeyboard* keyboard = StartKeyboard();
    machine::KeyEvent(DIK_B, true);
    machine::KeyEvent(DIK_NUMLOCK, true);
    machine::KeyEvent(DIK_A, true);
    EXPECT_EQ((Codes{0x62}), Drain(keyboard));
    // The rest of that fetch is gone; later events arrive normally.
    machine::KeyEvent(DIK_A, false);
    EXPECT_EQ((Codes{0x80000061}), Drain(keyboard));
}

TEST_F(InputDevices, OneEventPerCallOldestFirst) {
    sKeyboard* keyboard = StartKeyboard();
    const int keys[] = {DIK_1, DIK_2, DIK_3};
    for (int key : keys) machine::KeyEvent(key, true);
    EXPECT_EQ(0x31u, keyboard->ReadKey());
    EXPECT_EQ(2, keyboard->queueCount);
    EXPECT_EQ(0x32u, keyboard->ReadKey());
    EXPECT_EQ(0x33u, keyboard->ReadKey());
}

TEST_F(InputDevices, TheQueueHoldsSixtyFourCodes) {
    sKeyboard* keyboard = StartKeyboard();
    for (uint32_t i = 1; i <= KEY_QUEUE_CAPACITY + 1; i++) keyboard->Enqueue(0x80000000 | i);
    EXPECT_EQ(KEY_QUEUE_CAPACITY, keyboard->queueCount);
    Codes codes = Drain(keyboard);
    ASSERT_EQ((size_t)KEY_QUEUE_CAPACITY, codes.size());
    EXPECT_EQ(0x80000001u, codes.front());
    EXPECT_EQ(0x80000040u, codes.back()); // the 65th was dropped
}

TEST_F(InputDevices, OverflowForgetsTheModifiers) {
    sKeyboard* keyboard = StartKeyboard();
    machine::KeyEvent(DIK_LSHIFT, true);
    EXPECT_EQ(0x50012u, keyboard->ReadKey());
    for (int i = 0; i < 9; i++) Tap(DIK_A); // 18 events into a 16-event buffer
    Codes codes = Drain(keyboard);
    ASSERT_EQ(16u, codes.size());
    // Shift is still down, but after the overflow nothing is trusted to be held.
    EXPECT_EQ(0x61u, codes[0]);
    EXPECT_EQ(0u, keyboard->GetModifiers());
}

// ---- auto-repeat -------------------------------------------------------------------------------

TEST_F(InputDevices, HeldKeyRepeatsAfter300msThenEvery40ms) {
    sKeyboard* keyboard = StartKeyboard();
    machine::KeyEvent(DIK_X, true);
    EXPECT_EQ(0x78u, keyboard->ReadKey());       // at 0 ms
    Codes reads = ReadEveryFrame(keyboard, 500); // reads at 10, 20, ... 500 ms
    std::vector<int> repeatTimes;
    for (size_t i = 0; i < reads.size(); i++) {
        if (reads[i] == 0) continue;
        EXPECT_EQ(0x20000078u, reads[i]);
        repeatTimes.push_back((int)(i + 1) * 10);
    }
    EXPECT_EQ((std::vector<int>{310, 350, 390, 430, 470}), repeatTimes);

    machine::KeyEvent(DIK_X, false);
    machine::AdvanceFrame();
    EXPECT_EQ(0x80000078u, keyboard->ReadKey());
    for (uint32_t code : ReadEveryFrame(keyboard, 200)) EXPECT_EQ(0u, code);
}

TEST_F(InputDevices, HeldShiftRepeatsWithItsOwnBit) {
    sKeyboard* keyboard = StartKeyboard();
    machine::KeyEvent(DIK_LSHIFT, true);
    EXPECT_EQ(0x50012u, keyboard->ReadKey());
    Codes reads = ReadEveryFrame(keyboard, 310);
    EXPECT_EQ(0x20050012u, reads.back());
    machine::KeyEvent(DIK_LSHIFT, false);
    EXPECT_EQ(0x80010012u, keyboard->ReadKey());
}

TEST_F(InputDevices, RepeatsAreCountedFromThePreviousRepeatNotFromNow) {
    sKeyboard* keyboard = StartKeyboard();
    machine::KeyEvent(DIK_X, true);
    EXPECT_EQ(0x78u, keyboard->ReadKey());
    for (int i = 0; i < 31; i++) machine::AdvanceFrame(); // 310 ms
    EXPECT_EQ(0x20000078u, keyboard->ReadKey());          // next due after 340 ms
    for (int i = 0; i < 19; i++) machine::AdvanceFrame(); // 500 ms
    // A late reader catches up: 380, 420, 460 and 500 are behind it, 500 itself is not.
    EXPECT_EQ((Codes{0x20000078, 0x20000078, 0x20000078, 0x20000078}), Drain(keyboard));
}

TEST_F(InputDevices, AnotherKeysPressTakesOverTheRepeat) {
    sKeyboard* keyboard = StartKeyboard();
    machine::KeyEvent(DIK_X, true);
    machine::KeyEvent(DIK_Y, true);
    EXPECT_EQ(0x78u, keyboard->ReadKey());
    EXPECT_EQ(0x7Au, keyboard->ReadKey()); // the key at the Y position is 'z'
    Codes reads = ReadEveryFrame(keyboard, 310);
    EXPECT_EQ(0x2000007Au, reads.back());
}

// ---- errors and lost devices
// -----------------------------------------------------------------------

TEST_F(InputDevices, FetchErrorsAreReportedAndGiveNothing) {
    sKeyboard* keyboard = StartKeyboard();
    machine::KeyEvent(DIK_A, true);
    machine::FailInputCall("GetDeviceData", DIERR_GENERIC);
    EXPECT_EQ(0u, keyboard->ReadKey());
    EXPECT_TRUE(HasLine("keyboard error 16389 (80004005)"));
    EXPECT_EQ(0x61u, keyboard->ReadKey()); // still buffered in DirectInput
}

TEST_F(InputDevices, LostKeyboardStopsRepeatingAndComesBack) {
    sKeyboard* keyboard = StartKeyboard();
    machine::KeyEvent(DIK_LSHIFT, true);
    machine::KeyEvent(DIK_X, true);
    Drain(keyboard);
    machine::SetForeground(false);
    machine::KeyEvent(DIK_X, false); // let go elsewhere: never reported
    EXPECT_EQ(0u, keyboard->ReadKey());
    EXPECT_TRUE(HasLine("keyboard error 30 (8007001E)"));
    EXPECT_EQ(0u, keyboard->GetModifiers());
    // No key stays stuck repeating while the window is away.
    for (uint32_t code : ReadEveryFrame(keyboard, 500)) EXPECT_EQ(0u, code);

    machine::SetForeground(true);
    EXPECT_EQ(0u, keyboard->ReadKey()); // acquires again
    Tap(DIK_A);
    EXPECT_EQ((Codes{0x61, 0x80000061}), Drain(keyboard));
}

TEST_F(InputDevices, AKeyboardStartedInTheBackgroundIsAcquiredLater) {
    machine::SetForeground(false);
    sKeyboard* keyboard = StartKeyboard();
    ASSERT_NE(nullptr, keyboard);
    EXPECT_EQ(0u, keyboard->ReadKey());
    machine::SetForeground(true);
    EXPECT_EQ(0u, keyboard->ReadKey());
    Tap(DIK_B);
    EXPECT_EQ((Codes{0x62, 0x80000062}), Drain(keyboard));
}

// ---- the pointer
// -----------------------------------------------------------------------------------

TEST_F(InputDevices, MouseStateHasAbsoluteAxesAndButtonBits) {
    InitInput();
    sPointer* pointer = static_cast<sPointer*>(GetDevice(DK_POINTER, -1));
    ASSERT_NE(nullptr, pointer);
    EXPECT_EQ(10, pointer->priority);
    machine::MouseMotion(30, -20, 0);
    machine::MouseMotion(5, 5, 0);
    machine::MouseButton(0, true);
    machine::MouseButton(1, true);
    sPointerState state;
    state.r = 77;
    pointer->ReadState(state);
    EXPECT_EQ(35, state.x);
    EXPECT_EQ(-15, state.y);
    EXPECT_EQ(0, state.z);
    EXPECT_EQ(77, state.r); // a mouse has no fourth axis
    EXPECT_EQ(3, state.buttons);
    EXPECT_EQ(POINTER_MOUSE, state.kind);
    EXPECT_EQ(3, state.axisCount);
    EXPECT_EQ(3, state.buttonCount);
    machine::MouseButton(0, false);
    pointer->ReadState(state);
    EXPECT_EQ(2, state.buttons);
    EXPECT_EQ(35, state.x);
}

TEST_F(InputDevices, FailedPointerReadClearsTheStateAndRecovers) {
    InitInput();
    sPointer* pointer = static_cast<sPointer*>(GetDevice(DK_POINTER, -1));
    machine::MouseMotion(8, 8, 0);
    machine::MouseButton(2, true);
    sPointerState state;
    pointer->ReadState(state);
    EXPECT_EQ(4, state.buttons);
    machine::FailInputCall("GetDeviceState", DIERR_GENERIC);
    pointer->ReadState(state);
    EXPECT_EQ(0, state.x);
    EXPECT_EQ(0, state.y);
    EXPECT_EQ(0, state.buttons);
    EXPECT_EQ(POINTER_MOUSE, state.kind);

    machine::SetForeground(false);
    pointer->ReadState(state);
    EXPECT_EQ(0, state.buttons);
    machine::SetForeground(true);
    pointer->ReadState(state); // acquires again
    pointer->ReadState(state);
    EXPECT_EQ(4, state.buttons);
}

TEST_F(InputDevices, JoystickPointerReadsFourAxesAndItsButtons) {
    machine::SetInputDevices({machine::MakeJoystick(0, 4, 3)});
    InitInput();
    EXPECT_EQ(nullptr, GetDevice(DK_POINTER, -1)); // the enumeration makes no joysticks
    DIDEVICEINSTANCEA instance = {};
    instance.dwSize = sizeof instance;
    instance.guidInstance = machine::MakeJoystick(0, 4, 3).instance;
    sPointer* pointer = new sPointer(&instance);
    EXPECT_EQ(POINTER_JOYSTICK, pointer->kind);
    machine::JoystickAxis(3, 900);
    machine::JoystickButton(2, true);
    machine::JoystickButton(3, true); // beyond the device's three buttons
    sPointerState state;
    pointer->ReadState(state);
    EXPECT_EQ(900, state.r);
    EXPECT_EQ(4, state.buttons);
    EXPECT_EQ(4, state.axisCount);
}

// ---- start-up
// ---------------------------------------------------------------------------------------

TEST_F(InputDevices, DevicesRegisterInEnumerationOrderWithTheirDebugLines) {
    machine::SetInputDevices({machine::DefaultMouse(), machine::DefaultKeyboard(),
                              machine::MakeJoystick(0, 2, 2), machine::DefaultKeyboard()});
    InitInput();
    EXPECT_NE(nullptr, dynamic_cast<sPointer*>(GetDevice(DK_POINTER, 0)));
    EXPECT_EQ(nullptr, GetDevice(DK_POINTER, 1));
    EXPECT_NE(nullptr, dynamic_cast<sKeyboard*>(GetDevice(DK_KEYBOARD, 0)));
    EXPECT_NE(nullptr, dynamic_cast<sKeyboard*>(GetDevice(DK_KEYBOARD, 1)));
    std::vector<std::string> expected = {
        "Input Device <Mouse> <Mouse>\n",          "  caps: type 1 = 00000202, buttons 3, axes 3\n",
        "Input Device <Keyboard> <Keyboard>\n",    "  caps: 00000403, buttons 128, axes 0\n",
        "Input Device <Joystick 1> <Joystick>\n",  "Input Device <Keyboard> <Keyboard>\n",
        "  caps: 00000403, buttons 128, axes 0\n",
    };
    EXPECT_EQ(expected, machine::DebugLines());
}

TEST_F(InputDevices, MainThreadStartsAndStopsInput) {
    bool sawKeyboard = false, sawPointer = false;
    SetTestDemo([&] {
        sawKeyboard = GetDevice(DK_KEYBOARD, -1) != nullptr;
        sawPointer = GetDevice(DK_POINTER, -1) != nullptr;
    });
    EXPECT_EQ(0, machine::RunWinMain());
    SetTestDemo(nullptr);
    EXPECT_TRUE(sawKeyboard);
    EXPECT_TRUE(sawPointer);
    EXPECT_EQ(nullptr, directInput);
    EXPECT_TRUE(HasLine("Input Device <Keyboard> <Keyboard>\n"));
    ClearDevices(); // the run deleted them already
}

// ---- fatal set-up paths, each on its own thread
// -----------------------------------------------------

DWORD RunOnThread(LPTHREAD_START_ROUTINE routine) {
    HANDLE thread = CreateThread(NULL, 0, routine, NULL, 0, NULL);
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    return code;
}

// These threads die inside a constructor on purpose; what the constructor had made (the
// DirectInput device) stays behind and is not a leak of the code under test.
void AbandonWhatThisThreadMakes() {
#ifdef __SANITIZE_ADDRESS__
    __lsan_disable();
#endif
}

DWORD WINAPI StartInput(LPVOID) {
    AbandonWhatThisThreadMakes();
    InitInput();
    return 0;
}

DWORD WINAPI MakePointerFromKeyboard(LPVOID) {
    AbandonWhatThisThreadMakes();
    DIDEVICEINSTANCEA instance = {};
    instance.dwSize = sizeof instance;
    instance.guidInstance = GUID_SysKeyboard;
    new sPointer(&instance);
    return 0;
}

TEST_F(InputDevices, NoDirectInputIsFatal) {
    machine::FailInputCall("DirectInputCreate", DIERR_GENERIC);
    EXPECT_EQ(666u, RunOnThread(StartInput));
    EXPECT_STREQ("Fatal:No Direct Input\n", fatalMessage);
}

TEST_F(InputDevices, KeyboardSetUpFailureIsAnAssertion) {
    machine::SetInputDevices({machine::DefaultKeyboard()});
    machine::FailInputCall("SetProperty", DIERR_GENERIC);
    EXPECT_EQ(666u, RunOnThread(StartInput));
    EXPECT_EQ(0, strncmp(fatalMessage, "Fatal:Assertion in line ", 24)) << fatalMessage;
    EXPECT_NE(nullptr, strstr(fatalMessage, "keyboard.cpp")) << fatalMessage;
}

TEST_F(InputDevices, PointerOnAKeyboardIsAnAssertion) {
    directInput = NULL;
    ASSERT_EQ(DI_OK, DirectInputCreateA(appInstance, 0x0500, &directInput, NULL));
    EXPECT_EQ(666u, RunOnThread(MakePointerFromKeyboard));
    EXPECT_NE(nullptr, strstr(fatalMessage, "pointer.cpp")) << fatalMessage;
}

} // namespace
