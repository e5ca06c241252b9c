// The pointer device: a mouse (or a joystick) read as an immediate state with absolute axes.
#include "input.h"

namespace {

void SetDeviceProperty(LPDIRECTINPUTDEVICE device, REFGUID property, DWORD value) {
    DIPROPDWORD header;
    header.diph.dwSize = sizeof(DIPROPDWORD);
    header.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    header.diph.dwObj = 0;
    header.diph.dwHow = DIPH_DEVICE;
    header.dwData = value;
    ASSERT(SUCCEEDED(device->SetProperty(property, &header.diph)));
}

int32_t ButtonBits(const BYTE* buttons, int count) {
    int32_t bits = 0;
    for (int i = 0; i < count; i++)
        if (buttons[i] & 0x80) bits |= 1 << i;
    return bits;
}

void ClearReading(sPointerState& state) {
    state.x = state.y = state.z = state.r = 0;
    state.buttons = 0;
}

} // namespace

sPointer::sPointer(LPCDIDEVICEINSTANCEA instance)
    : device(NULL), kind(0), buttonCount(0), axisCount(0) {
    ASSERT(SUCCEEDED(directInput->CreateDevice(instance->guidInstance, &device, NULL)));
    ASSERT(
        SUCCEEDED(device->SetCooperativeLevel(mainWindow, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND)));

    DIDEVCAPS caps;
    MemFill(&caps, 0, sizeof caps);
    caps.dwSize = sizeof caps;
    ASSERT(SUCCEEDED(device->GetCapabilities(&caps)));
    buttonCount = (int32_t)caps.dwButtons;
    axisCount = (int32_t)caps.dwAxes;

    switch (GET_DIDEVICE_TYPE(caps.dwDevType)) {
    case DIDEVTYPE_MOUSE:
        kind = POINTER_MOUSE;
        ASSERT(SUCCEEDED(device->SetDataFormat(&c_dfDIMouse)));
        priority = 10;
        break;
    case DIDEVTYPE_KEYBOARD: ASSERT(false); break;
    default:
        kind = POINTER_JOYSTICK;
        ASSERT(SUCCEEDED(device->SetDataFormat(&c_dfDIJoystick)));
        break;
    }
    SetDeviceProperty(device, DIPROP_AXISMODE, DIPROPAXISMODE_ABS);
    DebugPrint("  caps: type %d = %08x, buttons %d, axes %d\n", kind, caps.dwDevType,
               caps.dwButtons, caps.dwAxes);
    // Without the foreground the acquisition fails; ReadState tries again.
    device->Acquire();
    RegisterDevice(DK_POINTER, this);
}

sPointer::~sPointer() {
    device->Unacquire();
    device->Release();
}

void sPointer::ReadState(sPointerState& state) {
    state.kind = kind;
    state.axisCount = axisCount;
    state.buttonCount = buttonCount;
    bool read = true;
    if (kind == POINTER_MOUSE)
        read = ReadMouse(state);
    else if (kind == POINTER_JOYSTICK)
        read = ReadJoystick(state);
    if (!read) {
        // A failed read reports nothing held rather than stale or undefined values.
        ClearReading(state);
        device->Acquire();
    }
}

bool sPointer::ReadMouse(sPointerState& state) {
    DIMOUSESTATE mouse;
    if (FAILED(device->GetDeviceState(sizeof mouse, &mouse))) return false;
    state.x = mouse.lX;
    state.y = mouse.lY;
    state.z = mouse.lZ;
    state.buttons = ButtonBits(mouse.rgbButtons, 4);
    return true;
}

bool sPointer::ReadJoystick(sPointerState& state) {
    DIJOYSTATE joystick;
    if (FAILED(device->GetDeviceState(sizeof joystick, &joystick))) return false;
    state.x = joystick.lX;
    state.y = joystick.lY;
    state.z = joystick.lZ;
    state.r = joystick.lRx;
    state.buttons = ButtonBits(joystick.rgbButtons, Min(buttonCount, 32));
    return true;
}
