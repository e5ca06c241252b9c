// DirectInput over the simulated keyboard, mouse and joystick: creation, enumeration,
// set-up checks, the event buffer and its overflow, foreground loss and immediate states.
#include <gtest/gtest.h>
#include <dinput.h>

#include <string.h>

#include <string>
#include <vector>

#include "support/headless_machine.h"
#include "machine/machine.h"
#include "machine/input_devices.h"

namespace {

HWND const WINDOW = reinterpret_cast<HWND>(0x10010);

class DirectInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartHeadlessMachine(100); // every AdvanceFrame moves the clock by 10 ms
        ASSERT_EQ(DI_OK, DirectInputCreateA(GetModuleHandleA(NULL), 0x0500, &di, NULL));
    }

    void TearDown() override {
        for (IDirectInputDeviceA* device : devices) device->Release();
        if (di) di->Release();
    }

    IDirectInputDeviceA* Create(const GUID& guid) {
        IDirectInputDeviceA* device = NULL;
        EXPECT_EQ(DI_OK, di->CreateDevice(guid, &device, NULL));
        if (device) devices.push_back(device);
        return device;
    }

    static HRESULT SetDword(IDirectInputDeviceA* device, REFGUID property, DWORD value) {
        DIPROPDWORD prop;
        prop.diph.dwSize = sizeof prop;
        prop.diph.dwHeaderSize = sizeof prop.diph;
        prop.diph.dwObj = 0;
        prop.diph.dwHow = DIPH_DEVICE;
        prop.dwData = value;
        return device->SetProperty(property, &prop.diph);
    }

    // A keyboard set up the way the engine sets it up: foreground, buffered, acquired.
    IDirectInputDeviceA* BufferedKeyboard(DWORD bufferSize = 16) {
        IDirectInputDeviceA* keyboard = Create(GUID_SysKeyboard);
        EXPECT_EQ(DI_OK,
                  keyboard->SetCooperativeLevel(WINDOW, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND));
        EXPECT_EQ(DI_OK, keyboard->SetDataFormat(&c_dfDIKeyboard));
        EXPECT_EQ(DI_OK, SetDword(keyboard, DIPROP_BUFFERSIZE, bufferSize));
        EXPECT_EQ(DI_OK, keyboard->Acquire());
        return keyboard;
    }

    IDirectInputDeviceA* AbsoluteMouse() {
        IDirectInputDeviceA* mouse = Create(GUID_SysMouse);
        EXPECT_EQ(DI_OK, mouse->SetCooperativeLevel(WINDOW, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND));
        EXPECT_EQ(DI_OK, mouse->SetDataFormat(&c_dfDIMouse));
        EXPECT_EQ(DI_OK, SetDword(mouse, DIPROP_AXISMODE, DIPROPAXISMODE_ABS));
        EXPECT_EQ(DI_OK, mouse->Acquire());
        return mouse;
    }

    static std::vector<DIDEVICEOBJECTDATA> Fetch(IDirectInputDeviceA* device, DWORD max,
                                                 HRESULT* result, DWORD flags = 0) {
        std::vector<DIDEVICEOBJECTDATA> events(max + 1);
        DWORD count = max;
        *result = device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), events.data(), &count, flags);
        events.resize(SUCCEEDED(*result) ? count : 0);
        return events;
    }

    IDirectInputA* di = NULL;
    std::vector<IDirectInputDeviceA*> devices;
};

// ---- creation -------------------------------------------------------------------------

TEST_F(DirectInputTest, CreationChecksVersionInstanceAndAggregation) {
    IDirectInputA* other = reinterpret_cast<IDirectInputA*>(1);
    EXPECT_EQ(DIERR_OLDDIRECTINPUTVERSION,
              DirectInputCreateA(GetModuleHandleA(NULL), 0x0700, &other, NULL));
    EXPECT_EQ(nullptr, other);
    EXPECT_EQ(DIERR_BETADIRECTINPUTVERSION,
              DirectInputCreateA(GetModuleHandleA(NULL), 0x0200, &other, NULL));
    EXPECT_EQ(DIERR_INVALIDPARAM, DirectInputCreateA(NULL, 0x0500, &other, NULL));
    EXPECT_EQ(DIERR_NOAGGREGATION, DirectInputCreateA(GetModuleHandleA(NULL), 0x0500, &other, di));
    EXPECT_EQ(DIERR_INVALIDPARAM, DirectInputCreateA(GetModuleHandleA(NULL), 0x0500, NULL, NULL));
    EXPECT_EQ(DI_OK, DirectInputCreateA(GetModuleHandleA(NULL), 0x0300, &other, NULL));
    other->Release();
}

TEST_F(DirectInputTest, InjectedCreationFailureLeavesNoObject) {
    machine::FailInputCall("DirectInputCreate", DIERR_NOTINITIALIZED);
    IDirectInputA* other = reinterpret_cast<IDirectInputA*>(1);
    EXPECT_EQ(DIERR_NOTINITIALIZED,
              DirectInputCreateA(GetModuleHandleA(NULL), 0x0500, &other, NULL));
    EXPECT_EQ(nullptr, other);
    // Only one call fails.
    EXPECT_EQ(DI_OK, DirectInputCreateA(GetModuleHandleA(NULL), 0x0500, &other, NULL));
    other->Release();
}

TEST_F(DirectInputTest, QueryInterfaceKnowsOnlyItsOwnInterfaces) {
    void* out = NULL;
    EXPECT_EQ(S_OK, di->QueryInterface(IID_IDirectInputA, &out));
    EXPECT_EQ(static_cast<void*>(di), out);
    di->Release();
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, di->QueryInterface(IID_IDirectInput2A, &out));
    EXPECT_EQ(nullptr, out);
}

TEST_F(DirectInputTest, DeviceKeepsItsDirectInputAlive) {
    IDirectInputDeviceA* keyboard = BufferedKeyboard();
    di->Release();
    di = NULL;
    machine::KeyEvent(DIK_A, true);
    HRESULT result;
    EXPECT_EQ(1u, Fetch(keyboard, 16, &result).size());
}

TEST_F(DirectInputTest, UnknownDeviceIsNotRegistered) {
    IDirectInputDeviceA* device = reinterpret_cast<IDirectInputDeviceA*>(1);
    EXPECT_EQ(DIERR_DEVICENOTREG, di->CreateDevice(GUID_Joystick, &device, NULL));
    EXPECT_EQ(nullptr, device);
    EXPECT_EQ(DIERR_DEVICENOTREG, di->GetDeviceStatus(GUID_Joystick));
    EXPECT_EQ(DI_OK, di->GetDeviceStatus(GUID_SysKeyboard));
}

// ---- enumeration ------------------------------------------------------------------------

struct Enumerated {
    std::vector<DIDEVICEINSTANCEA> devices;
    IDirectInputA* createWith = NULL;
    int stopAfter = -1;
};

BOOL CALLBACK Collect(LPCDIDEVICEINSTANCEA instance, LPVOID ref) {
    Enumerated* seen = static_cast<Enumerated*>(ref);
    seen->devices.push_back(*instance);
    if (seen->createWith) {
        // The engine creates its devices inside the callback.
        IDirectInputDeviceA* device = NULL;
        if (seen->createWith->CreateDevice(instance->guidInstance, &device, NULL) == DI_OK)
            device->Release();
    }
    return (int)seen->devices.size() == seen->stopAfter ? DIENUM_STOP : DIENUM_CONTINUE;
}

TEST_F(DirectInputTest, EnumeratesMouseThenKeyboardWithTypesAndNames) {
    Enumerated seen;
    ASSERT_EQ(DI_OK, di->EnumDevices(0, Collect, &seen, DIEDFL_ATTACHEDONLY));
    ASSERT_EQ(2u, seen.devices.size());
    EXPECT_EQ(sizeof(DIDEVICEINSTANCEA), seen.devices[0].dwSize);
    EXPECT_EQ(0x202u, seen.devices[0].dwDevType);
    EXPECT_TRUE(seen.devices[0].guidInstance == GUID_SysMouse);
    EXPECT_STREQ("Mouse", seen.devices[0].tszInstanceName);
    EXPECT_STREQ("Mouse", seen.devices[0].tszProductName);
    EXPECT_EQ(0x403u, seen.devices[1].dwDevType);
    EXPECT_TRUE(seen.devices[1].guidInstance == GUID_SysKeyboard);
    EXPECT_STREQ("Keyboard", seen.devices[1].tszInstanceName);
}

TEST_F(DirectInputTest, EnumerationFiltersByTypeAndAttachment) {
    machine::InputDeviceSpec loose = machine::MakeJoystick(0, 4, 8);
    loose.attached = false;
    machine::SetInputDevices({machine::DefaultMouse(), machine::DefaultKeyboard(),
                              machine::MakeJoystick(1, 2, 2), loose});
    Enumerated all, attached, keyboards;
    di->EnumDevices(0, Collect, &all, 0);
    di->EnumDevices(0, Collect, &attached, DIEDFL_ATTACHEDONLY);
    di->EnumDevices(DIDEVTYPE_KEYBOARD, Collect, &keyboards, 0);
    EXPECT_EQ(4u, all.devices.size());
    EXPECT_EQ(3u, attached.devices.size());
    ASSERT_EQ(1u, keyboards.devices.size());
    EXPECT_EQ(DIDEVTYPE_KEYBOARD, GET_DIDEVICE_TYPE(keyboards.devices[0].dwDevType));
    EXPECT_EQ(DI_NOTATTACHED, di->GetDeviceStatus(loose.instance));
    EXPECT_EQ(DIERR_INVALIDPARAM, di->EnumDevices(0, NULL, NULL, 0));
    EXPECT_EQ(DIERR_INVALIDPARAM, di->EnumDevices(0, Collect, &all, 0x8000));
}

TEST_F(DirectInputTest, EnumerationStopsOnRequestAndAllowsCreationInside) {
    Enumerated stopped;
    stopped.stopAfter = 1;
    di->EnumDevices(0, Collect, &stopped, 0);
    EXPECT_EQ(1u, stopped.devices.size());

    Enumerated creating;
    creating.createWith = di;
    EXPECT_EQ(DI_OK, di->EnumDevices(0, Collect, &creating, 0));
    EXPECT_EQ(2u, creating.devices.size());
}

// ---- set-up --------------------------------------------------------------------------------

TEST_F(DirectInputTest, CapabilitiesFillTheRecordOfTheGivenSizeOnly) {
    IDirectInputDeviceA* mouse = Create(GUID_SysMouse);
    DIDEVCAPS caps;
    memset(&caps, 0xAB, sizeof caps);
    caps.dwSize = sizeof caps;
    ASSERT_EQ(44u, sizeof caps);
    ASSERT_EQ(DI_OK, mouse->GetCapabilities(&caps));
    EXPECT_EQ(0x202u, caps.dwDevType);
    EXPECT_EQ(3u, caps.dwButtons);
    EXPECT_EQ(3u, caps.dwAxes);
    EXPECT_EQ((DWORD)DIDC_ATTACHED, caps.dwFlags);
    EXPECT_EQ(0u, caps.dwFFDriverVersion);

    // The older, shorter record: nothing behind its end is touched.
    memset(&caps, 0xAB, sizeof caps);
    caps.dwSize = sizeof(DIDEVCAPS_DX3);
    ASSERT_EQ(DI_OK, mouse->GetCapabilities(&caps));
    EXPECT_EQ(0xABABABABu, caps.dwFFSamplePeriod);

    caps.dwSize = 40;
    EXPECT_EQ(DIERR_INVALIDPARAM, mouse->GetCapabilities(&caps));
    EXPECT_EQ(DIERR_INVALIDPARAM, mouse->GetCapabilities(NULL));
}

TEST_F(DirectInputTest, CooperativeLevelNeedsOneOfEachPairAndAWindowForForeground) {
    IDirectInputDeviceA* keyboard = Create(GUID_SysKeyboard);
    EXPECT_EQ(DIERR_INVALIDPARAM, keyboard->SetCooperativeLevel(WINDOW, DISCL_NONEXCLUSIVE));
    EXPECT_EQ(DIERR_INVALIDPARAM,
              keyboard->SetCooperativeLevel(WINDOW, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE |
                                                        DISCL_FOREGROUND));
    EXPECT_EQ(DIERR_INVALIDPARAM,
              keyboard->SetCooperativeLevel(WINDOW, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND |
                                                        DISCL_BACKGROUND));
    EXPECT_EQ(DIERR_INVALIDPARAM,
              keyboard->SetCooperativeLevel(NULL, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND));
    EXPECT_EQ(DIERR_UNSUPPORTED,
              keyboard->SetCooperativeLevel(WINDOW, DISCL_EXCLUSIVE | DISCL_BACKGROUND));
    EXPECT_EQ(DI_OK, keyboard->SetCooperativeLevel(NULL, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND));
}

TEST_F(DirectInputTest, DataFormatMustSuitTheDeviceAndCopiesAreRecognised) {
    IDirectInputDeviceA* keyboard = Create(GUID_SysKeyboard);
    EXPECT_EQ(DIERR_INVALIDPARAM, keyboard->SetDataFormat(&c_dfDIMouse));
    EXPECT_EQ(DIERR_INVALIDPARAM, keyboard->SetDataFormat(NULL));
    DIDATAFORMAT copy = c_dfDIKeyboard;
    std::vector<DIOBJECTDATAFORMAT> objects(copy.rgodf, copy.rgodf + copy.dwNumObjs);
    copy.rgodf = objects.data();
    EXPECT_EQ(DI_OK, keyboard->SetDataFormat(&copy));
    objects[5].dwOfs = 7; // no longer the standard layout
    EXPECT_EQ(DIERR_INVALIDPARAM, keyboard->SetDataFormat(&copy));
    copy.dwSize = 20;
    EXPECT_EQ(DIERR_INVALIDPARAM, keyboard->SetDataFormat(&copy));

    EXPECT_EQ(sizeof(DIMOUSESTATE), c_dfDIMouse.dwDataSize);
    EXPECT_EQ(80u, c_dfDIJoystick.dwDataSize);
    EXPECT_EQ(256u, c_dfDIKeyboard.dwDataSize);
}

TEST_F(DirectInputTest, AcquireNeedsAFormatAndBlocksChangesWhileHeld) {
    IDirectInputDeviceA* keyboard = Create(GUID_SysKeyboard);
    EXPECT_EQ(DIERR_INVALIDPARAM, keyboard->Acquire());
    ASSERT_EQ(DI_OK, keyboard->SetDataFormat(&c_dfDIKeyboard));
    EXPECT_EQ(DI_OK, keyboard->Acquire());
    EXPECT_EQ(DI_NOEFFECT, keyboard->Acquire());
    EXPECT_EQ(DIERR_ACQUIRED, keyboard->SetDataFormat(&c_dfDIKeyboard));
    EXPECT_EQ(DIERR_ACQUIRED, SetDword(keyboard, DIPROP_BUFFERSIZE, 8));
    EXPECT_EQ(DIERR_ACQUIRED,
              keyboard->SetCooperativeLevel(WINDOW, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND));
    EXPECT_EQ(DI_OK, keyboard->Unacquire());
    EXPECT_EQ(DI_NOEFFECT, keyboard->Unacquire());
    EXPECT_EQ(DI_OK, SetDword(keyboard, DIPROP_BUFFERSIZE, 8));
}

TEST_F(DirectInputTest, PropertiesCheckTheirHeaderAndReadBack) {
    IDirectInputDeviceA* mouse = Create(GUID_SysMouse);
    DIPROPDWORD prop;
    prop.diph.dwSize = sizeof prop;
    prop.diph.dwHeaderSize = 12;
    prop.diph.dwObj = 0;
    prop.diph.dwHow = DIPH_DEVICE;
    prop.dwData = 16;
    EXPECT_EQ(DIERR_INVALIDPARAM, mouse->SetProperty(DIPROP_BUFFERSIZE, &prop.diph));
    prop.diph.dwHeaderSize = sizeof prop.diph;
    prop.diph.dwHow = DIPH_BYOFFSET;
    EXPECT_EQ(DIERR_INVALIDPARAM, mouse->SetProperty(DIPROP_BUFFERSIZE, &prop.diph));
    prop.diph.dwHow = DIPH_DEVICE;
    EXPECT_EQ(DI_OK, mouse->SetProperty(DIPROP_BUFFERSIZE, &prop.diph));
    EXPECT_EQ(DIERR_INVALIDPARAM, SetDword(mouse, DIPROP_AXISMODE, 2));
    EXPECT_EQ(DI_OK, SetDword(mouse, DIPROP_AXISMODE, DIPROPAXISMODE_ABS));
    EXPECT_EQ(DIERR_UNSUPPORTED, SetDword(mouse, DIPROP_RANGE, 5));

    prop.dwData = 0;
    ASSERT_EQ(DI_OK, mouse->GetProperty(DIPROP_BUFFERSIZE, &prop.diph));
    EXPECT_EQ(16u, prop.dwData);
    ASSERT_EQ(DI_OK, mouse->GetProperty(DIPROP_AXISMODE, &prop.diph));
    EXPECT_EQ((DWORD)DIPROPAXISMODE_ABS, prop.dwData);

    IDirectInputDeviceA* keyboard = Create(GUID_SysKeyboard);
    EXPECT_EQ(DIERR_UNSUPPORTED, SetDword(keyboard, DIPROP_AXISMODE, DIPROPAXISMODE_ABS));
}

TEST_F(DirectInputTest, InjectedFailuresHitOnlyTheNamedCall) {
    IDirectInputDeviceA* keyboard = Create(GUID_SysKeyboard);
    machine::FailInputCall("SetProperty", DIERR_GENERIC, 2);
    EXPECT_EQ(DI_OK, keyboard->SetDataFormat(&c_dfDIKeyboard));
    EXPECT_EQ(DIERR_GENERIC, SetDword(keyboard, DIPROP_BUFFERSIZE, 16));
    EXPECT_EQ(DIERR_GENERIC, SetDword(keyboard, DIPROP_BUFFERSIZE, 16));
    EXPECT_EQ(DI_OK, SetDword(keyboard, DIPROP_BUFFERSIZE, 16));
}

// ---- buffered keyboard data -----------------------------------------------------------------

TEST_F(DirectInputTest, KeyChangesArriveWithScanCodePressBitTimeAndSequence) {
    IDirectInputDeviceA* keyboard = BufferedKeyboard();
    machine::AdvanceFrame();
    machine::AdvanceFrame();
    machine::KeyEvent(DIK_RMENU, true);
    machine::KeyEvent(DIK_RMENU, true); // still held: no second press
    machine::KeyEvent(DIK_RMENU, false);
    HRESULT result;
    std::vector<DIDEVICEOBJECTDATA> events = Fetch(keyboard, 16, &result);
    EXPECT_EQ(DI_OK, result);
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ((DWORD)DIK_RMENU, events[0].dwOfs);
    EXPECT_EQ(0x80u, events[0].dwData);
    EXPECT_EQ(0u, events[1].dwData);
    EXPECT_EQ(20u, events[0].dwTimeStamp);
    EXPECT_LT(events[0].dwSequence, events[1].dwSequence);
    EXPECT_TRUE(Fetch(keyboard, 16, &result).empty());
}

TEST_F(DirectInputTest, NothingIsBufferedBeforeAcquisition) {
    IDirectInputDeviceA* keyboard = BufferedKeyboard();
    keyboard->Unacquire();
    machine::KeyEvent(DIK_A, true);
    keyboard->Acquire();
    machine::KeyEvent(DIK_A, false);
    HRESULT result;
    std::vector<DIDEVICEOBJECTDATA> events = Fetch(keyboard, 16, &result);
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(0u, events[0].dwData);
}

TEST_F(DirectInputTest, SixteenEventsFitAndTheSeventeenthOverflows) {
    IDirectInputDeviceA* keyboard = BufferedKeyboard(16);
    for (int i = 0; i < 8; i++) {
        machine::KeyEvent(DIK_A, true);
        machine::KeyEvent(DIK_A, false);
    }
    HRESULT result;
    EXPECT_EQ(16u, Fetch(keyboard, 16, &result).size());
    EXPECT_EQ(DI_OK, result);

    for (int i = 0; i < 17; i++) machine::KeyEvent(DIK_B, i % 2 == 0);
    std::vector<DIDEVICEOBJECTDATA> events = Fetch(keyboard, 16, &result);
    EXPECT_EQ(DI_BUFFEROVERFLOW, result);
    ASSERT_EQ(16u, events.size());
    // The oldest are kept; the newcomer is lost.
    EXPECT_EQ(0x80u, events[0].dwData);
    EXPECT_EQ(0u, events[15].dwData);
    // Reported once only.
    EXPECT_TRUE(Fetch(keyboard, 16, &result).empty());
    EXPECT_EQ(DI_OK, result);
}

TEST_F(DirectInputTest, PartialFetchPeekAndFlush) {
    IDirectInputDeviceA* keyboard = BufferedKeyboard();
    const int keys[5] = {DIK_1, DIK_2, DIK_3, DIK_4, DIK_5};
    for (int key : keys) machine::KeyEvent(key, true);
    HRESULT result;
    std::vector<DIDEVICEOBJECTDATA> first = Fetch(keyboard, 2, &result);
    ASSERT_EQ(2u, first.size());
    EXPECT_EQ((DWORD)DIK_2, first[1].dwOfs);
    std::vector<DIDEVICEOBJECTDATA> peeked = Fetch(keyboard, 1, &result, DIGDD_PEEK);
    ASSERT_EQ(1u, peeked.size());
    EXPECT_EQ((DWORD)DIK_3, peeked[0].dwOfs);
    DWORD count = INFINITE;
    ASSERT_EQ(DI_OK, keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), NULL, &count, 0));
    EXPECT_EQ(3u, count);
    EXPECT_TRUE(Fetch(keyboard, 16, &result).empty());
}

TEST_F(DirectInputTest, BufferedReadsNeedABufferAndTheRecordSize) {
    IDirectInputDeviceA* keyboard = BufferedKeyboard(0);
    HRESULT result;
    Fetch(keyboard, 4, &result);
    EXPECT_EQ(DIERR_NOTBUFFERED, result);
    DIDEVICEOBJECTDATA events[4];
    DWORD count = 4;
    EXPECT_EQ(DIERR_INVALIDPARAM, keyboard->GetDeviceData(20, events, &count, 0));
    EXPECT_EQ(DIERR_INVALIDPARAM, keyboard->GetDeviceData(sizeof events[0], events, NULL, 0));
}

// ---- foreground --------------------------------------------------------------------------------

TEST_F(DirectInputTest, LosingTheForegroundTakesForegroundDevicesAway) {
    IDirectInputDeviceA* keyboard = BufferedKeyboard();
    IDirectInputDeviceA* background = Create(GUID_SysKeyboard);
    background->SetCooperativeLevel(NULL, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    background->SetDataFormat(&c_dfDIKeyboard);
    SetDword(background, DIPROP_BUFFERSIZE, 16);
    ASSERT_EQ(DI_OK, background->Acquire());
    machine::KeyEvent(DIK_A, true);

    machine::SetForeground(false);
    machine::KeyEvent(DIK_A, false);
    HRESULT result;
    Fetch(keyboard, 16, &result);
    EXPECT_EQ(DIERR_INPUTLOST, result);
    Fetch(keyboard, 16, &result);
    EXPECT_EQ(DIERR_INPUTLOST, result);
    BYTE keys[256];
    EXPECT_EQ(DIERR_INPUTLOST, keyboard->GetDeviceState(sizeof keys, keys));
    EXPECT_EQ(DIERR_OTHERAPPHASPRIO, keyboard->Acquire());
    EXPECT_EQ(2u, Fetch(background, 16, &result).size());

    machine::SetForeground(true);
    EXPECT_EQ(DI_OK, keyboard->Acquire());
    // What happened meanwhile is gone.
    EXPECT_TRUE(Fetch(keyboard, 16, &result).empty());
    EXPECT_EQ(DI_OK, result);
}

TEST_F(DirectInputTest, NeverAcquiredIsNotAcquiredRatherThanLost) {
    IDirectInputDeviceA* keyboard = Create(GUID_SysKeyboard);
    keyboard->SetDataFormat(&c_dfDIKeyboard);
    SetDword(keyboard, DIPROP_BUFFERSIZE, 16);
    HRESULT result;
    Fetch(keyboard, 16, &result);
    EXPECT_EQ(DIERR_NOTACQUIRED, result);
    keyboard->Acquire();
    keyboard->Unacquire();
    Fetch(keyboard, 16, &result);
    EXPECT_EQ(DIERR_NOTACQUIRED, result);
}

// ---- immediate states ---------------------------------------------------------------------------

TEST_F(DirectInputTest, AbsoluteMouseAccumulatesSinceAcquisition) {
    IDirectInputDeviceA* mouse = AbsoluteMouse();
    machine::MouseMotion(5, 3, 0);
    machine::MouseMotion(2, -1, 120);
    DIMOUSESTATE state;
    ASSERT_EQ(DI_OK, mouse->GetDeviceState(sizeof state, &state));
    EXPECT_EQ(7, state.lX);
    EXPECT_EQ(2, state.lY);
    EXPECT_EQ(120, state.lZ);
    ASSERT_EQ(DI_OK, mouse->GetDeviceState(sizeof state, &state));
    EXPECT_EQ(7, state.lX); // positions, not motion since the last read

    mouse->Unacquire();
    mouse->Acquire();
    ASSERT_EQ(DI_OK, mouse->GetDeviceState(sizeof state, &state));
    EXPECT_EQ(0, state.lX);
}

TEST_F(DirectInputTest, RelativeMouseReportsMotionSinceTheLastRead) {
    IDirectInputDeviceA* mouse = Create(GUID_SysMouse);
    mouse->SetDataFormat(&c_dfDIMouse);
    mouse->Acquire();
    machine::MouseMotion(-4, 9, 0);
    DIMOUSESTATE state;
    ASSERT_EQ(DI_OK, mouse->GetDeviceState(sizeof state, &state));
    EXPECT_EQ(-4, state.lX);
    EXPECT_EQ(9, state.lY);
    ASSERT_EQ(DI_OK, mouse->GetDeviceState(sizeof state, &state));
    EXPECT_EQ(0, state.lX);
    EXPECT_EQ(DIERR_INVALIDPARAM, mouse->GetDeviceState(12, &state));
}

TEST_F(DirectInputTest, MouseButtonsAndBufferedPositions) {
    IDirectInputDeviceA* mouse = Create(GUID_SysMouse);
    mouse->SetDataFormat(&c_dfDIMouse);
    SetDword(mouse, DIPROP_AXISMODE, DIPROPAXISMODE_ABS);
    SetDword(mouse, DIPROP_BUFFERSIZE, 8);
    mouse->Acquire();
    machine::MouseButton(0, true);
    machine::MouseButton(1, true);
    machine::MouseMotion(3, 0, 0);
    machine::MouseMotion(3, 0, 0);
    DIMOUSESTATE state;
    ASSERT_EQ(DI_OK, mouse->GetDeviceState(sizeof state, &state));
    EXPECT_EQ(0x80, state.rgbButtons[0]);
    EXPECT_EQ(0x80, state.rgbButtons[1]);
    EXPECT_EQ(0, state.rgbButtons[2]);
    HRESULT result;
    std::vector<DIDEVICEOBJECTDATA> events = Fetch(mouse, 8, &result);
    ASSERT_EQ(4u, events.size());
    EXPECT_EQ((DWORD)DIMOFS_BUTTON1, events[1].dwOfs);
    EXPECT_EQ((DWORD)DIMOFS_X, events[3].dwOfs);
    EXPECT_EQ(6u, events[3].dwData); // absolute mode buffers the new position
}

TEST_F(DirectInputTest, KeyboardStateShowsHeldKeys) {
    IDirectInputDeviceA* keyboard = BufferedKeyboard();
    machine::KeyEvent(DIK_NUMPADENTER, true);
    BYTE keys[256];
    ASSERT_EQ(DI_OK, keyboard->GetDeviceState(sizeof keys, keys));
    EXPECT_EQ(0x80, keys[DIK_NUMPADENTER]);
    EXPECT_EQ(0, keys[DIK_RETURN]);
    EXPECT_EQ(DIERR_INVALIDPARAM, keyboard->GetDeviceState(255, keys));
}

TEST_F(DirectInputTest, JoystickStateHasAxesButtonsAndCentredHats) {
    machine::SetInputDevices({machine::MakeJoystick(0, 4, 6)});
    IDirectInputDeviceA* joystick = Create(machine::MakeJoystick(0, 4, 6).instance);
    ASSERT_EQ(DI_OK, joystick->SetDataFormat(&c_dfDIJoystick));
    ASSERT_EQ(DI_OK, joystick->Acquire());
    machine::JoystickAxis(0, 100);
    machine::JoystickAxis(3, -7);
    machine::JoystickButton(5, true);
    DIJOYSTATE state;
    ASSERT_EQ(80u, sizeof state);
    ASSERT_EQ(DI_OK, joystick->GetDeviceState(sizeof state, &state));
    EXPECT_EQ(100, state.lX);
    EXPECT_EQ(-7, state.lRx);
    EXPECT_EQ(0x80, state.rgbButtons[5]);
    EXPECT_EQ(0xFFFFFFFFu, state.rgdwPOV[0]);
}

TEST_F(DirectInputTest, ResetRestoresTheDefaultMachine) {
    machine::SetInputDevices({});
    machine::SetForeground(false);
    machine::KeyEvent(DIK_A, true);
    machine::ResetForTest();
    EXPECT_EQ(2u, machine::InputDevices().size());
    EXPECT_TRUE(machine::Foreground());
    std::lock_guard<std::mutex> lock(machine::InputLock());
    EXPECT_FALSE(machine::Physical().keys[DIK_A]);
}

} // namespace
