// The simulated machine's input hardware: the devices on its ports (default: one mouse and
// one keyboard), the keys, buttons and axes they report, the window's foreground state, the
// scripted input of PRISMATEL_INPUT, and the hooks tests use to feed and break them.
#ifndef PRISMATEL_MACHINE_INPUT_H
#define PRISMATEL_MACHINE_INPUT_H

#include <dinput.h>

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

// ---- scripted input (PRISMATEL_INPUT) -------------------------------------------------------

struct ScriptedInput {
    int64_t timeMs;
    bool mouse; // a mouse button instead of a key
    int code;   // scan code or button number
    bool pressed;
    int pressIndex; // for the release half of a plain KEY: the index of its press, else -1
};

// Parses "T:KEY,…": items are separated by commas; "T:" sets the time (milliseconds) for
// this and the following items; KEY is a DirectInput key name without DIK_ or MOUSE0-MOUSE3;
// "+KEY" holds, "-KEY" releases, a plain KEY presses and releases one frame later. Items that
// cannot be read are reported in `errors` and skipped.
std::vector<ScriptedInput> ParseInputScript(const std::string& script,
                                            std::vector<std::string>* errors);
// Replaces the script (tests); otherwise the settings' script is loaded on first use.
void LoadInputScript(const std::string& script);
// Delivers every scripted event whose time the machine clock has reached; a plain key's
// release comes no earlier than one frame after its press was delivered, so a reader polling
// once per frame sees the key held.
void DeliverScriptedInput();
// Forgets the script and its progress (part of ResetInput).
void ResetScriptedInput();

// The scan code of a DirectInput key name without DIK_ ("ESCAPE", "LSHIFT", "A"), or -1.
int ScanCodeFromName(const std::string& name);

// Back to the defaults: a mouse and a keyboard, nothing held, foreground, no failures, the
// settings' script reloaded on next use.
void ResetInput();

} // namespace machine

#endif
