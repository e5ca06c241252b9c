// The simulated machine's input hardware: the devices on its ports (default: one mouse and
// one keyboard), the keys, buttons and axes they report, the window's foreground state, and
// the hooks tests use to feed and break them. The host's keyboard, mouse and input script
// move it.
#ifndef PRISMATEL_MACHINE_INPUT_DEVICES_H
#define PRISMATEL_MACHINE_INPUT_DEVICES_H

#include <dinput.h>

#include "host/host.h"

#include <mutex>
#include <string>
#include <vector>

namespace machine {

// One device on the machine's ports, as DirectInput describes it.
struct InputDeviceSpec {
    DWORD devType = 0; // DIDEVTYPE_* in the low byte, the subtype in the next
    GUID instance = {};
    GUID product = {};
    std::string instanceName;
    std::string productName;
    int axes = 0;
    int buttons = 0;
    int povs = 0;
    bool attached = true;
};

InputDeviceSpec DefaultMouse();
InputDeviceSpec DefaultKeyboard();
// A joystick with its own instance GUID (index 0, 1, ... gives distinct GUIDs).
InputDeviceSpec MakeJoystick(int index, int axes, int buttons);

// The ports in the order DirectInput enumerates them.
std::vector<InputDeviceSpec> InputDevices();
void SetInputDevices(const std::vector<InputDeviceSpec>& devices);
// The spec behind an instance GUID; GUID_SysMouse and GUID_SysKeyboard name the first
// mouse and keyboard. False when no such device exists.
bool FindInputDevice(const GUID& guid, InputDeviceSpec* spec);

// ---- the hardware's state and its events ------------------------------------------------

enum InputEventType {
    INPUT_KEY,
    INPUT_MOUSE_AXIS,
    INPUT_MOUSE_BUTTON,
    INPUT_JOY_AXIS,
    INPUT_JOY_BUTTON
};

struct InputEvent {
    InputEventType type;
    int object;     // scan code, axis (0 x, 1 y, 2 z, 3 r) or button number
    int value;      // key/button: 1 down, 0 up; axis: the motion (mouse) or position (joystick)
    DWORD timeMs;   // machine clock when it happened
    DWORD sequence; // DirectInput's sequence number, shared by all devices
};

// What is held right now, whether or not any program reads it.
struct PhysicalInput {
    bool keys[256];
    bool mouseButtons[4];
    LONG joyAxes[4];
    bool joyButtons[32];
};

// Device objects listen to the hardware. Listeners are called with InputLock() held and
// must not call back into the feeding functions.
class InputListener {
public:
    virtual ~InputListener() {}
    virtual void OnInput(const InputEvent& event) = 0;
    virtual void OnForegroundLost() = 0;
};

std::mutex& InputLock();
void AddInputListener(InputListener* listener);    // caller holds InputLock()
void RemoveInputListener(InputListener* listener); // caller holds InputLock()
const PhysicalInput& Physical();                   // caller holds InputLock()

// Feeding the hardware; any thread (the host's window thread, tests). Keys are DirectInput
// scan codes (DIK_*); buttons 0 left, 1 right, 2 middle, 3 fourth.
void KeyEvent(int scanCode, bool pressed);
void MouseMotion(int dx, int dy, int dz);
void MouseButton(int button, bool pressed);
void JoystickAxis(int axis, LONG position);
void JoystickButton(int button, bool pressed);
// Releases everything held (the host does this when its window loses the keyboard).
void ReleaseAllInput();

// The program's window holds the foreground; losing it unacquires foreground devices.
void SetForeground(bool foreground);
bool Foreground();
bool ForegroundLocked(); // caller holds InputLock()

// ---- failures ---------------------------------------------------------------------------

// The next call of the named DirectInput method ("DirectInputCreate", "CreateDevice",
// "SetCooperativeLevel", "GetCapabilities", "SetDataFormat", "SetProperty", "Acquire",
// "GetDeviceData", "GetDeviceState", ...) fails with `result`; `count` calls in a row.
void FailInputCall(const std::string& method, HRESULT result, int count = 1);
// Called by the DirectInput objects: true (with the result) when the call is to fail.
bool TakeInputFailure(const char* method, HRESULT* result);

// ---- the host's keyboard and mouse, and scripted input ---------------------------------

// Connects the ports to the host's keyboard and mouse: from now on the window's events move
// the hardware. Called when the program creates its DirectInput object.
void ConnectInputPorts();
// One host event into the hardware: keys (not the host's typematic repeats: the hardware
// reports changes only), mouse motion, wheel and buttons, and the window's focus.
void FeedHostEvent(const host::Event& event);
// Delivers every scripted key and button whose time the machine clock has reached.
void DeliverScriptedInput();

// Back to the defaults: a mouse and a keyboard, nothing held, foreground, no failures.
void ResetInput();

} // namespace machine

#endif
