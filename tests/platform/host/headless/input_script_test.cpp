// Scripted input (PRISMATEL_INPUT): parsing, and delivery as the virtual clock passes the
// scripted times, seen through DirectInput as a program polling once per frame sees it.
#include <gtest/gtest.h>
#include <dinput.h>

#include <string>
#include <vector>

#include "host/headless/input_script.h"
#include "support/headless_machine.h"
#include "machine/machine.h"
#include "machine/input_devices.h"

namespace {

using host::headless::ParseInputScript;
using host::headless::ScriptedInput;

TEST(InputScriptParse, PlainKeyPressesAndReleasesAtItsTime) {
    std::vector<std::string> errors;
    std::vector<ScriptedInput> events = ParseInputScript("1000:ESCAPE", &errors);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(1000, events[0].timeMs);
    EXPECT_EQ(DIK_ESCAPE, events[0].code);
    EXPECT_TRUE(events[0].pressed);
    EXPECT_EQ(-1, events[0].pressIndex);
    EXPECT_FALSE(events[1].pressed);
    EXPECT_EQ(0, events[1].pressIndex);
}

TEST(InputScriptParse, HoldReleaseAndInheritedTimes) {
    std::vector<std::string> errors;
    std::vector<ScriptedInput> events =
        ParseInputScript(" 500:+LSHIFT, a ,-lshift, 800: MOUSE1", &errors);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(6u, events.size());
    EXPECT_EQ(DIK_LSHIFT, events[0].code);
    EXPECT_TRUE(events[0].pressed);
    EXPECT_EQ(DIK_A, events[1].code);
    EXPECT_EQ(DIK_LSHIFT, events[2].code);
    EXPECT_FALSE(events[2].pressed);
    EXPECT_EQ(-1, events[2].pressIndex);
    // The plain key's release comes after everything else of its time.
    EXPECT_EQ(DIK_A, events[3].code);
    EXPECT_EQ(500, events[3].timeMs);
    EXPECT_EQ(1, events[3].pressIndex);
    EXPECT_TRUE(events[4].mouse);
    EXPECT_EQ(1, events[4].code);
    EXPECT_EQ(800, events[5].timeMs);
}

TEST(InputScriptParse, EventsAreOrderedByTimeKeepingTheOrderOfEqualTimes) {
    std::vector<ScriptedInput> events = ParseInputScript("300:B,100:+C,100:-C", NULL);
    ASSERT_EQ(4u, events.size());
    EXPECT_EQ(DIK_C, events[0].code);
    EXPECT_TRUE(events[0].pressed);
    EXPECT_FALSE(events[1].pressed);
    EXPECT_EQ(DIK_B, events[2].code);
    EXPECT_EQ(2, events[3].pressIndex); // the release still points at its own press
}

TEST(InputScriptParse, UnreadableItemsAreSkippedAndReported) {
    std::vector<std::string> errors;
    std::vector<ScriptedInput> events = ParseInputScript(
        "SPACE,x1:A,100:NOKEY,100:,100:MOUSE4,,200:R,-1:A,99999999999999:A", &errors);
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(DIK_R, events[0].code);
    EXPECT_EQ(200, events[0].timeMs);
    ASSERT_EQ(7u, errors.size());
    EXPECT_EQ("SPACE", errors[0]); // no time given yet
    EXPECT_EQ("100:MOUSE4", errors[4]);
}

TEST(InputScriptParse, KeyNamesIncludeTheAlternateNames) {
    EXPECT_EQ(DIK_NUMPADENTER, host::headless::ScanCodeFromName("NUMPADENTER"));
    EXPECT_EQ(DIK_RMENU, host::headless::ScanCodeFromName("RALT"));
    EXPECT_EQ(DIK_RMENU, host::headless::ScanCodeFromName("rmenu"));
    EXPECT_EQ(DIK_NEXT, host::headless::ScanCodeFromName("PGDN"));
    EXPECT_EQ(DIK_0, host::headless::ScanCodeFromName("0"));
    EXPECT_EQ(-1, host::headless::ScanCodeFromName("DIK_A"));
    EXPECT_EQ(-1, host::headless::ScanCodeFromName(""));
}

// ---- delivery on the virtual clock ----------------------------------------------------------

class InputScriptDelivery : public ::testing::Test {
protected:
    void SetUp() override {
        StartHeadlessMachine(10); // 100 ms frames
        ASSERT_EQ(DI_OK, DirectInputCreateA(GetModuleHandleA(NULL), 0x0500, &di, NULL));
        ASSERT_EQ(DI_OK, di->CreateDevice(GUID_SysKeyboard, &keyboard, NULL));
        keyboard->SetDataFormat(&c_dfDIKeyboard);
        ASSERT_EQ(DI_OK, di->CreateDevice(GUID_SysMouse, &mouse, NULL));
        mouse->SetDataFormat(&c_dfDIMouse);
        keyboard->Acquire();
        mouse->Acquire();
    }

    void TearDown() override {
        keyboard->Release();
        mouse->Release();
        di->Release();
    }

    bool KeyHeld(int scanCode) {
        BYTE keys[256];
        EXPECT_EQ(DI_OK, keyboard->GetDeviceState(sizeof keys, keys));
        return keys[scanCode] & 0x80;
    }

    int MouseButtons() {
        DIMOUSESTATE state;
        EXPECT_EQ(DI_OK, mouse->GetDeviceState(sizeof state, &state));
        return (state.rgbButtons[0] >> 7) | ((state.rgbButtons[1] >> 7) << 1);
    }

    IDirectInputA* di = NULL;
    IDirectInputDeviceA* keyboard = NULL;
    IDirectInputDeviceA* mouse = NULL;
};

TEST_F(InputScriptDelivery, PlainKeyIsSeenHeldForOneFrame) {
    host::headless::LoadInputScript("150:SPACE");
    EXPECT_FALSE(KeyHeld(DIK_SPACE)); // 0 ms
    machine::AdvanceFrame();
    EXPECT_FALSE(KeyHeld(DIK_SPACE)); // 100 ms
    machine::AdvanceFrame();
    EXPECT_TRUE(KeyHeld(DIK_SPACE)); // 200 ms
    EXPECT_TRUE(KeyHeld(DIK_SPACE)); // same frame, read again
    machine::AdvanceFrame();
    EXPECT_FALSE(KeyHeld(DIK_SPACE)); // 300 ms
}

TEST_F(InputScriptDelivery, AClockJumpDoesNotSwallowThePress) {
    host::headless::LoadInputScript("100:R");
    for (int i = 0; i < 30; i++) machine::AdvanceFrame();
    EXPECT_TRUE(KeyHeld(DIK_R));
    machine::AdvanceFrame();
    EXPECT_FALSE(KeyHeld(DIK_R));
}

TEST_F(InputScriptDelivery, BothMouseButtonsTogether) {
    host::headless::LoadInputScript("0:MOUSE0,MOUSE1");
    EXPECT_EQ(3, MouseButtons());
    machine::AdvanceFrame();
    EXPECT_EQ(0, MouseButtons());
}

TEST_F(InputScriptDelivery, HeldKeysStayUntilReleased) {
    host::headless::LoadInputScript("100:+LSHIFT,300:-LSHIFT");
    machine::AdvanceFrame();
    EXPECT_TRUE(KeyHeld(DIK_LSHIFT));
    machine::AdvanceFrame();
    EXPECT_TRUE(KeyHeld(DIK_LSHIFT));
    machine::AdvanceFrame();
    EXPECT_FALSE(KeyHeld(DIK_LSHIFT));
}

TEST_F(InputScriptDelivery, TheSettingsScriptIsUsedWithoutLoading) {
    StartHeadlessMachine(10, [](host::Settings& s) { s.input = "0:M"; });
    EXPECT_TRUE(KeyHeld(DIK_M));
}

TEST_F(InputScriptDelivery, BufferedReaderGetsPressThenRelease) {
    keyboard->Unacquire();
    DIPROPDWORD prop = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 16};
    ASSERT_EQ(DI_OK, keyboard->SetProperty(DIPROP_BUFFERSIZE, &prop.diph));
    keyboard->Acquire();
    host::headless::LoadInputScript("0:+A,0:-A");
    DIDEVICEOBJECTDATA events[4];
    DWORD count = 4;
    ASSERT_EQ(DI_OK, keyboard->GetDeviceData(sizeof events[0], events, &count, 0));
    ASSERT_EQ(2u, count);
    EXPECT_EQ(0x80u, events[0].dwData);
    EXPECT_EQ(0u, events[1].dwData);
}

} // namespace
