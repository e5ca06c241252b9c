// The simulated input hardware: ports, held keys and buttons, listeners, foreground and
// injected failures. All of it is guarded by one lock, since the host feeds it from the
// window thread while the program reads it on its main thread.
#include "input_devices.h"

#include "machine.h"

#include <algorithm>
#include <map>
#include <string.h>

namespace machine {
namespace {

struct InputHardware {
    std::vector<InputDeviceSpec> devices;
    std::vector<InputListener*> listeners;
    PhysicalInput physical;
    bool foreground = true;
    DWORD sequence = 0;
    std::map<std::string, std::pair<HRESULT, int>> failures;
};

InputHardware& Hardware() {
    static InputHardware* hardware =
        new InputHardware; // outlives exit handlers: threads may still run
    return *hardware;
}

void RegisterResetOnce() {
    static bool registered = [] {
        AddResetHook([] { ResetInput(); });
        return true;
    }();
    (void)registered;
}

void SetDefaults(InputHardware& hw) {
    hw.devices = {DefaultMouse(), DefaultKeyboard()};
    memset(&hw.physical, 0, sizeof hw.physical);
    hw.foreground = true;
    hw.failures.clear();
}

InputHardware& Initialised() {
    static bool once = [] {
        SetDefaults(Hardware());
        return true;
    }();
    (void)once;
    RegisterResetOnce();
    return Hardware();
}

DWORD NowMs() {
    return (DWORD)(ClockMicroseconds() / 1000);
}

// Hands one event to every listener; caller holds the lock.
void Broadcast(InputHardware& hw, InputEventType type, int object, int value) {
    InputEvent event = {type, object, value, NowMs(), ++hw.sequence};
    for (InputListener* listener : hw.listeners) listener->OnInput(event);
}

GUID MakeGuid(DWORD data1) {
    // The family of DirectInput's own device GUIDs, with a distinct first word.
    GUID guid = GUID_Joystick;
    guid.Data1 = data1;
    return guid;
}

} // namespace

InputDeviceSpec DefaultMouse() {
    InputDeviceSpec spec;
    spec.devType = DIDEVTYPE_MOUSE | (DIDEVTYPEMOUSE_TRADITIONAL << 8);
    spec.instance = GUID_SysMouse;
    spec.product = GUID_SysMouse;
    spec.instanceName = "Mouse";
    spec.productName = "Mouse";
    spec.axes = 3;
    spec.buttons = 3;
    return spec;
}

InputDeviceSpec DefaultKeyboard() {
    InputDeviceSpec spec;
    spec.devType = DIDEVTYPE_KEYBOARD | (DIDEVTYPEKEYBOARD_PCENH << 8);
    spec.instance = GUID_SysKeyboard;
    spec.product = GUID_SysKeyboard;
    spec.instanceName = "Keyboard";
    spec.productName = "Keyboard";
    spec.buttons = 128;
    return spec;
}

InputDeviceSpec MakeJoystick(int index, int axes, int buttons) {
    InputDeviceSpec spec;
    spec.devType = DIDEVTYPE_JOYSTICK | (DIDEVTYPEJOYSTICK_TRADITIONAL << 8);
    spec.instance = MakeGuid(0x6F1D2B90 + index);
    spec.product = MakeGuid(0x6F1D2BA0);
    spec.instanceName = "Joystick " + std::to_string(index + 1);
    spec.productName = "Joystick";
    spec.axes = axes;
    spec.buttons = buttons;
    return spec;
}

std::vector<InputDeviceSpec> InputDevices() {
    std::lock_guard<std::mutex> lock(InputLock());
    return Initialised().devices;
}

void SetInputDevices(const std::vector<InputDeviceSpec>& devices) {
    std::lock_guard<std::mutex> lock(InputLock());
    Initialised().devices = devices;
}

bool FindInputDevice(const GUID& guid, InputDeviceSpec* spec) {
    std::lock_guard<std::mutex> lock(InputLock());
    for (const InputDeviceSpec& device : Initialised().devices) {
        int type = GET_DIDEVICE_TYPE(device.devType);
        bool systemAlias = (guid == GUID_SysMouse && type == DIDEVTYPE_MOUSE) ||
                           (guid == GUID_SysKeyboard && type == DIDEVTYPE_KEYBOARD);
        if (device.instance == guid || systemAlias) {
            *spec = device;
            return true;
        }
    }
    return false;
}

std::mutex& InputLock() {
    static std::mutex lock;
    return lock;
}

void AddInputListener(InputListener* listener) {
    Initialised().listeners.push_back(listener);
}

void RemoveInputListener(InputListener* listener) {
    std::vector<InputListener*>& listeners = Initialised().listeners;
    listeners.erase(std::remove(listeners.begin(), listeners.end(), listener), listeners.end());
}

const PhysicalInput& Physical() {
    return Initialised().physical;
}

void KeyEvent(int scanCode, bool pressed) {
    if (scanCode <= 0 || scanCode > 255) return;
    std::lock_guard<std::mutex> lock(InputLock());
    InputHardware& hw = Initialised();
    // A key already down sends no second press: DirectInput reports changes of state only.
    if (hw.physical.keys[scanCode] == pressed) return;
    hw.physical.keys[scanCode] = pressed;
    Broadcast(hw, INPUT_KEY, scanCode, pressed ? 1 : 0);
}

void MouseMotion(int dx, int dy, int dz) {
    std::lock_guard<std::mutex> lock(InputLock());
    InputHardware& hw = Initialised();
    const int motion[3] = {dx, dy, dz};
    for (int axis = 0; axis < 3; axis++)
        if (motion[axis] != 0) Broadcast(hw, INPUT_MOUSE_AXIS, axis, motion[axis]);
}

void MouseButton(int button, bool pressed) {
    if (button < 0 || button >= 4) return;
    std::lock_guard<std::mutex> lock(InputLock());
    InputHardware& hw = Initialised();
    if (hw.physical.mouseButtons[button] == pressed) return;
    hw.physical.mouseButtons[button] = pressed;
    Broadcast(hw, INPUT_MOUSE_BUTTON, button, pressed ? 1 : 0);
}

void JoystickAxis(int axis, LONG position) {
    if (axis < 0 || axis >= 4) return;
    std::lock_guard<std::mutex> lock(InputLock());
    InputHardware& hw = Initialised();
    if (hw.physical.joyAxes[axis] == position) return;
    hw.physical.joyAxes[axis] = position;
    Broadcast(hw, INPUT_JOY_AXIS, axis, position);
}

void JoystickButton(int button, bool pressed) {
    if (button < 0 || button >= 32) return;
    std::lock_guard<std::mutex> lock(InputLock());
    InputHardware& hw = Initialised();
    if (hw.physical.joyButtons[button] == pressed) return;
    hw.physical.joyButtons[button] = pressed;
    Broadcast(hw, INPUT_JOY_BUTTON, button, pressed ? 1 : 0);
}

void ReleaseAllInput() {
    for (int key = 1; key < 256; key++) KeyEvent(key, false);
    for (int button = 0; button < 4; button++) MouseButton(button, false);
}

void SetForeground(bool foreground) {
    std::lock_guard<std::mutex> lock(InputLock());
    InputHardware& hw = Initialised();
    bool lost = hw.foreground && !foreground;
    hw.foreground = foreground;
    if (lost)
        for (InputListener* listener : hw.listeners) listener->OnForegroundLost();
}

bool Foreground() {
    std::lock_guard<std::mutex> lock(InputLock());
    return ForegroundLocked();
}

bool ForegroundLocked() {
    return Initialised().foreground;
}

void FailInputCall(const std::string& method, HRESULT result, int count) {
    std::lock_guard<std::mutex> lock(InputLock());
    Initialised().failures[method] = {result, count};
}

bool TakeInputFailure(const char* method, HRESULT* result) {
    std::lock_guard<std::mutex> lock(InputLock());
    auto& failures = Initialised().failures;
    auto found = failures.find(method);
    if (found == failures.end() || found->second.second <= 0) return false;
    *result = found->second.first;
    if (--found->second.second == 0) failures.erase(found);
    return true;
}

void ResetInput() {
    std::lock_guard<std::mutex> lock(InputLock());
    SetDefaults(Initialised());
}

// ---- the host's keyboard and mouse, and scripted input ---------------------------------

void FeedHostEvent(const host::Event& event) {
    switch (event.kind) {
    case host::Event::KEY:
        if (!event.repeat) KeyEvent(event.a, event.b != 0);
        break;
    case host::Event::MOUSE_MOTION: MouseMotion(event.a, event.b, 0); break;
    case host::Event::MOUSE_WHEEL: MouseMotion(0, 0, event.a); break;
    case host::Event::MOUSE_BUTTON: MouseButton(event.a, event.b != 0); break;
    case host::Event::ACTIVATE:
        SetForeground(event.a != 0);
        // Keys let go elsewhere never reach us: forget what was held.
        if (!event.a) ReleaseAllInput();
        break;
    default: break;
    }
}

// The ports stay connected for the whole process: DirectInput objects come and go.
void ConnectInputPorts() {
    host::Current().window->SetListener(FeedHostEvent);
}

void DeliverScriptedInput() {
    std::vector<host::Event> due;
    host::Current().script->TakeDue(ClockMicroseconds(), due);
    for (const host::Event& event : due) FeedHostEvent(event);
}

} // namespace machine
