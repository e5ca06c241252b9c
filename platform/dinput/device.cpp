// IDirectInputDevice over the simulated machine's keyboard, mouse or joystick: cooperative
// level, standard data formats, buffer and axis-mode properties, acquisition tied to the
// window's foreground, the event buffer and the immediate states.
#include "device.h"

#include "machine/unsupported.h"

#include <string.h>

#include <algorithm>

namespace dinput {
namespace {

typedef std::lock_guard<std::mutex> Guard;

bool SameObjects(const DIDATAFORMAT* a, const DIDATAFORMAT* b) {
    if (a->dwFlags != b->dwFlags || a->dwDataSize != b->dwDataSize ||
        a->dwNumObjs != b->dwNumObjs || a->rgodf == NULL)
        return false;
    for (DWORD i = 0; i < a->dwNumObjs; i++) {
        const DIOBJECTDATAFORMAT& x = a->rgodf[i];
        const DIOBJECTDATAFORMAT& y = b->rgodf[i];
        if (x.dwOfs != y.dwOfs || x.dwType != y.dwType || x.dwFlags != y.dwFlags) return false;
        if ((x.pguid == NULL) != (y.pguid == NULL)) return false;
        if (x.pguid && *x.pguid != *y.pguid) return false;
    }
    return true;
}

bool IsDevicePropertyHeader(const DIPROPHEADER* header) {
    return header->dwSize == sizeof(DIPROPDWORD) && header->dwHow == DIPH_DEVICE &&
           header->dwObj == 0;
}

bool IsPredefined(REFGUID property, REFGUID predefined) {
    return &property == &predefined;
}

DWORD MouseButtonOffset(int button) {
    return DIMOFS_BUTTON0 + button;
}

// The joystick's axes 0-3 are x, y, z and the first rotation.
DWORD JoystickAxisOffset(int axis) {
    const DWORD offsets[4] = {DIJOFS_X, DIJOFS_Y, DIJOFS_Z, DIJOFS_RX};
    return offsets[axis];
}

} // namespace

DataFormat IdentifyFormat(const DIDATAFORMAT* format) {
    if (format->dwSize != sizeof(DIDATAFORMAT) || format->dwObjSize != sizeof(DIOBJECTDATAFORMAT))
        return FORMAT_NONE;
    if (format == &c_dfDIKeyboard || SameObjects(format, &c_dfDIKeyboard)) return FORMAT_KEYBOARD;
    if (format == &c_dfDIMouse || SameObjects(format, &c_dfDIMouse)) return FORMAT_MOUSE;
    if (format == &c_dfDIJoystick || SameObjects(format, &c_dfDIJoystick)) return FORMAT_JOYSTICK;
    return FORMAT_NONE;
}

Device::Device(IDirectInputA* parent, const machine::InputDeviceSpec& spec)
    : parent(parent), spec(spec) {
    // A device keeps its DirectInput object alive, as on Windows.
    parent->AddRef();
    Guard lock(machine::InputLock());
    machine::AddInputListener(this);
}

Device::~Device() {
    {
        Guard lock(machine::InputLock());
        machine::RemoveInputListener(this);
    }
    parent->Release();
}

// ---- IUnknown ---------------------------------------------------------------------------

HRESULT Device::QueryInterface(REFIID riid, void** object) {
    if (object == NULL) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirectInputDeviceA) {
        AddRef();
        *object = static_cast<IDirectInputDeviceA*>(this);
        return S_OK;
    }
    *object = NULL;
    return E_NOINTERFACE;
}

ULONG Device::AddRef() {
    return ++references;
}

ULONG Device::Release() {
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

// ---- set-up -------------------------------------------------------------------------------

HRESULT Device::GetCapabilities(LPDIDEVCAPS caps) {
    HRESULT failure;
    if (machine::TakeInputFailure("GetCapabilities", &failure)) return failure;
    if (caps == NULL ||
        (caps->dwSize != sizeof(DIDEVCAPS) && caps->dwSize != sizeof(DIDEVCAPS_DX3)))
        return DIERR_INVALIDPARAM;
    DWORD size = caps->dwSize;
    memset(caps, 0, size);
    caps->dwSize = size;
    caps->dwFlags = spec.attached ? DIDC_ATTACHED : 0;
    caps->dwDevType = spec.devType;
    caps->dwAxes = spec.axes;
    caps->dwButtons = spec.buttons;
    caps->dwPOVs = spec.povs;
    return DI_OK;
}

HRESULT Device::SetCooperativeLevel(HWND window, DWORD flags) {
    HRESULT failure;
    if (machine::TakeInputFailure("SetCooperativeLevel", &failure)) return failure;
    const DWORD known = DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND;
    DWORD access = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
    DWORD focus = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
    bool oneEach = (access == DISCL_EXCLUSIVE || access == DISCL_NONEXCLUSIVE) &&
                   (focus == DISCL_FOREGROUND || focus == DISCL_BACKGROUND);
    if ((flags & ~known) || !oneEach) return DIERR_INVALIDPARAM;
    if (focus == DISCL_FOREGROUND && window == NULL) return DIERR_INVALIDPARAM;
    // Windows never lets a program keep the keyboard to itself while in the background.
    if (Type() == DIDEVTYPE_KEYBOARD && access == DISCL_EXCLUSIVE && focus == DISCL_BACKGROUND)
        return DIERR_UNSUPPORTED;
    Guard lock(machine::InputLock());
    if (acquired) return DIERR_ACQUIRED;
    cooperativeFlags = flags;
    return DI_OK;
}

HRESULT Device::SetDataFormat(LPCDIDATAFORMAT dataFormat) {
    HRESULT failure;
    if (machine::TakeInputFailure("SetDataFormat", &failure)) return failure;
    if (dataFormat == NULL) return DIERR_INVALIDPARAM;
    DataFormat kind = IdentifyFormat(dataFormat);
    bool suits = (kind == FORMAT_KEYBOARD && Type() == DIDEVTYPE_KEYBOARD) ||
                 (kind == FORMAT_MOUSE && Type() == DIDEVTYPE_MOUSE) ||
                 (kind == FORMAT_JOYSTICK && Type() == DIDEVTYPE_JOYSTICK);
    if (!suits) return DIERR_INVALIDPARAM;
    Guard lock(machine::InputLock());
    if (acquired) return DIERR_ACQUIRED;
    format = kind;
    // The format's axis flag sets the axis mode; DIPROP_AXISMODE can change it afterwards.
    axisMode = (dataFormat->dwFlags & DIDF_ABSAXIS) ? DIPROPAXISMODE_ABS : DIPROPAXISMODE_REL;
    return DI_OK;
}

HRESULT Device::SetProperty(REFGUID property, LPCDIPROPHEADER header) {
    HRESULT failure;
    if (machine::TakeInputFailure("SetProperty", &failure)) return failure;
    if (header == NULL || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
    if (!IsPredefined(property, DIPROP_BUFFERSIZE) && !IsPredefined(property, DIPROP_AXISMODE))
        return DIERR_UNSUPPORTED;
    if (!IsDevicePropertyHeader(header)) return DIERR_INVALIDPARAM;
    Guard lock(machine::InputLock());
    if (acquired) return DIERR_ACQUIRED;
    return SetDwordProperty(property, reinterpret_cast<const DIPROPDWORD*>(header));
}

HRESULT Device::SetDwordProperty(REFGUID property, const DIPROPDWORD* value) {
    if (IsPredefined(property, DIPROP_BUFFERSIZE)) {
        bufferSize = value->dwData;
        return DI_OK;
    }
    if (Type() == DIDEVTYPE_KEYBOARD) return DIERR_UNSUPPORTED; // a keyboard has no axes
    if (value->dwData != DIPROPAXISMODE_ABS && value->dwData != DIPROPAXISMODE_REL)
        return DIERR_INVALIDPARAM;
    axisMode = value->dwData;
    return DI_OK;
}

HRESULT Device::GetProperty(REFGUID property, LPDIPROPHEADER header) {
    HRESULT failure;
    if (machine::TakeInputFailure("GetProperty", &failure)) return failure;
    if (header == NULL || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
    if (!IsPredefined(property, DIPROP_BUFFERSIZE) && !IsPredefined(property, DIPROP_AXISMODE))
        return DIERR_UNSUPPORTED;
    if (!IsDevicePropertyHeader(header)) return DIERR_INVALIDPARAM;
    if (IsPredefined(property, DIPROP_AXISMODE) && Type() == DIDEVTYPE_KEYBOARD)
        return DIERR_UNSUPPORTED;
    Guard lock(machine::InputLock());
    DIPROPDWORD* value = reinterpret_cast<DIPROPDWORD*>(header);
    value->dwData = IsPredefined(property, DIPROP_BUFFERSIZE) ? bufferSize : axisMode;
    return DI_OK;
}

HRESULT Device::GetDeviceInfo(LPDIDEVICEINSTANCEA instance) {
    if (instance == NULL || (instance->dwSize != sizeof(DIDEVICEINSTANCEA) &&
                             instance->dwSize != sizeof(DIDEVICEINSTANCE_DX3A)))
        return DIERR_INVALIDPARAM;
    DWORD size = instance->dwSize;
    memset(instance, 0, size);
    instance->dwSize = size;
    instance->guidInstance = spec.instance;
    instance->guidProduct = spec.product;
    instance->dwDevType = spec.devType;
    strncpy(instance->tszInstanceName, spec.instanceName.c_str(), MAX_PATH - 1);
    strncpy(instance->tszProductName, spec.productName.c_str(), MAX_PATH - 1);
    return DI_OK;
}

// ---- acquisition -------------------------------------------------------------------------

HRESULT Device::Acquire() {
    HRESULT failure;
    if (machine::TakeInputFailure("Acquire", &failure)) return failure;
    Guard lock(machine::InputLock());
    if (format == FORMAT_NONE) return DIERR_INVALIDPARAM;
    if (acquired) return DI_NOEFFECT;
    if ((cooperativeFlags & DISCL_FOREGROUND) && !machine::ForegroundLocked())
        return DIERR_OTHERAPPHASPRIO;
    acquired = true;
    lost = false;
    buffer.clear();
    overflowed = false;
    std::fill(mouseAxes, mouseAxes + 3, 0);
    return DI_OK;
}

HRESULT Device::Unacquire() {
    Guard lock(machine::InputLock());
    lost = false;
    if (!acquired) return DI_NOEFFECT;
    DropAcquisition();
    return DI_OK;
}

void Device::DropAcquisition() {
    acquired = false;
    buffer.clear();
    overflowed = false;
}

// A device taken away by a foreground change says so until it is acquired (or released)
// again; one that was never acquired is simply not acquired.
HRESULT Device::NotAcquiredResult() const {
    return lost ? DIERR_INPUTLOST : DIERR_NOTACQUIRED;
}

void Device::OnForegroundLost() {
    if (!acquired || !(cooperativeFlags & DISCL_FOREGROUND)) return;
    DropAcquisition();
    lost = true;
}

// ---- events --------------------------------------------------------------------------------

bool Device::WantsEvent(const machine::InputEvent& event) const {
    if (!acquired) return false;
    switch (event.type) {
    case machine::INPUT_KEY: return format == FORMAT_KEYBOARD;
    case machine::INPUT_MOUSE_AXIS:
    case machine::INPUT_MOUSE_BUTTON: return format == FORMAT_MOUSE;
    case machine::INPUT_JOY_AXIS:
    case machine::INPUT_JOY_BUTTON: return format == FORMAT_JOYSTICK;
    }
    return false;
}

void Device::OnInput(const machine::InputEvent& event) {
    if (!WantsEvent(event)) return;
    DWORD pressed = event.value ? 0x80 : 0;
    switch (event.type) {
    case machine::INPUT_KEY: Buffer(event.object, pressed, event); break;
    case machine::INPUT_MOUSE_AXIS: {
        LONG& axis = mouseAxes[event.object];
        axis += event.value;
        DWORD data = axisMode == DIPROPAXISMODE_ABS ? (DWORD)axis : (DWORD)event.value;
        Buffer(event.object * 4, data, event);
        break;
    }
    case machine::INPUT_MOUSE_BUTTON:
        Buffer(MouseButtonOffset(event.object), pressed, event);
        break;
    case machine::INPUT_JOY_AXIS:
        Buffer(JoystickAxisOffset(event.object), (DWORD)event.value, event);
        break;
    case machine::INPUT_JOY_BUTTON: Buffer(DIJOFS_BUTTON(event.object), pressed, event); break;
    }
}

// A full buffer keeps what it holds and drops the newcomer; the next read reports the loss.
void Device::Buffer(DWORD offset, DWORD data, const machine::InputEvent& event) {
    if (bufferSize == 0) return;
    if (buffer.size() >= bufferSize) {
        overflowed = true;
        return;
    }
    buffer.push_back({offset, data, event.timeMs, event.sequence});
}

HRESULT Device::GetDeviceData(DWORD objectDataSize, LPDIDEVICEOBJECTDATA data, LPDWORD inOut,
                              DWORD flags) {
    HRESULT failure;
    if (machine::TakeInputFailure("GetDeviceData", &failure)) return failure;
    if (inOut == NULL || objectDataSize != sizeof(DIDEVICEOBJECTDATA) || (flags & ~DIGDD_PEEK))
        return DIERR_INVALIDPARAM;
    machine::DeliverScriptedInput();
    Guard lock(machine::InputLock());
    if (!acquired) return NotAcquiredResult();
    if (bufferSize == 0) return DIERR_NOTBUFFERED;
    HRESULT result = overflowed ? DI_BUFFEROVERFLOW : DI_OK;
    bool peek = (flags & DIGDD_PEEK) != 0;
    size_t count = std::min<size_t>(*inOut, buffer.size());
    if (data != NULL) std::copy(buffer.begin(), buffer.begin() + count, data);
    if (!peek) {
        buffer.erase(buffer.begin(), buffer.begin() + count);
        overflowed = false;
    }
    *inOut = (DWORD)count;
    return result;
}

// ---- immediate state ---------------------------------------------------------------------------

void Device::WriteKeyboardState(BYTE* out) const {
    const machine::PhysicalInput& physical = machine::Physical();
    for (int key = 0; key < 256; key++) out[key] = physical.keys[key] ? 0x80 : 0;
}

void Device::WriteMouseState(DIMOUSESTATE* out) {
    const machine::PhysicalInput& physical = machine::Physical();
    out->lX = mouseAxes[0];
    out->lY = mouseAxes[1];
    out->lZ = mouseAxes[2];
    for (int button = 0; button < 4; button++)
        out->rgbButtons[button] = physical.mouseButtons[button] ? 0x80 : 0;
    // Relative axes report the motion since the previous read.
    if (axisMode == DIPROPAXISMODE_REL) std::fill(mouseAxes, mouseAxes + 3, 0);
}

void Device::WriteJoystickState(DIJOYSTATE* out) const {
    const machine::PhysicalInput& physical = machine::Physical();
    memset(out, 0, sizeof *out);
    out->lX = physical.joyAxes[0];
    out->lY = physical.joyAxes[1];
    out->lZ = physical.joyAxes[2];
    out->lRx = physical.joyAxes[3];
    for (int i = 0; i < 4; i++) out->rgdwPOV[i] = 0xFFFFFFFF; // centred
    for (int button = 0; button < 32; button++)
        out->rgbButtons[button] = physical.joyButtons[button] ? 0x80 : 0;
}

HRESULT Device::GetDeviceState(DWORD size, LPVOID data) {
    HRESULT failure;
    if (machine::TakeInputFailure("GetDeviceState", &failure)) return failure;
    if (data == NULL) return DIERR_INVALIDPARAM;
    machine::DeliverScriptedInput();
    Guard lock(machine::InputLock());
    if (!acquired) return NotAcquiredResult();
    switch (format) {
    case FORMAT_KEYBOARD:
        if (size != 256) return DIERR_INVALIDPARAM;
        WriteKeyboardState(static_cast<BYTE*>(data));
        return DI_OK;
    case FORMAT_MOUSE:
        if (size != sizeof(DIMOUSESTATE)) return DIERR_INVALIDPARAM;
        WriteMouseState(static_cast<DIMOUSESTATE*>(data));
        return DI_OK;
    case FORMAT_JOYSTICK:
        if (size != sizeof(DIJOYSTATE)) return DIERR_INVALIDPARAM;
        WriteJoystickState(static_cast<DIJOYSTATE*>(data));
        return DI_OK;
    case FORMAT_NONE: break;
    }
    return DIERR_NOTINITIALIZED;
}

// ---- what this machine does not offer -------------------------------------------------------

HRESULT Device::EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) {
    return machine::Unsupported("IDirectInputDevice::EnumObjects", DIERR_UNSUPPORTED);
}

HRESULT Device::SetEventNotification(HANDLE) {
    return machine::Unsupported("IDirectInputDevice::SetEventNotification", DIERR_UNSUPPORTED);
}

HRESULT Device::GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD) {
    return machine::Unsupported("IDirectInputDevice::GetObjectInfo", DIERR_UNSUPPORTED);
}

HRESULT Device::RunControlPanel(HWND, DWORD) {
    return machine::Unsupported("IDirectInputDevice::RunControlPanel", DIERR_UNSUPPORTED);
}

// Devices come out of CreateDevice already initialised.
HRESULT Device::Initialize(HINSTANCE, DWORD, REFGUID) {
    return DIERR_ALREADYINITIALIZED;
}

} // namespace dinput
