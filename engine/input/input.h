// Input devices over DirectInput: the keyboard with its own German layout translation,
// modifier tracking, key queue and auto-repeat, and the pointer (mouse or joystick).
#ifndef PRISMATEL_INPUT_H
#define PRISMATEL_INPUT_H

// DirectInput 5: DirectInputCreateA and the record layouts of that version.
#define DIRECTINPUT_VERSION 0x0500
#include <dinput.h>
#include <stdint.h>

#include "system.h"

// The Win32 hot-key modifier of the same name would overwrite the engine's own below;
// the engine never registers hot keys.
#undef MOD_ALT

// ---- key event codes --------------------------------------------------------------
// Bits 0-7: a Latin-1 character, or with KEY_SPECIAL a special-key number; bits 17-23:
// the modifier state after the event; then the keypad, repeat and release flags.

const uint32_t KEY_SPECIAL = 0x10000;
const uint32_t KEY_KEYPAD = 0x10000000;
const uint32_t KEY_REPEAT = 0x20000000;
const uint32_t KEY_RELEASED = 0x80000000;

enum KeyCharacter : uint32_t {
    KEY_BACKSPACE = 8,
    KEY_TAB = 9,
    KEY_RETURN = 10,
    KEY_ESCAPE = 27,
    KEY_SPACE = 32,
};

enum SpecialKey : uint32_t {
    KEY_F1 = KEY_SPECIAL | 0x01,
    KEY_F2,
    KEY_F3,
    KEY_F4,
    KEY_F5,
    KEY_F6,
    KEY_F7,
    KEY_F8,
    KEY_F9,
    KEY_F10,
    KEY_F11,
    KEY_F12,
    KEY_CAPS = KEY_SPECIAL | 0x11,
    KEY_SHIFTL,
    KEY_SHIFTR,
    KEY_CTRLL,
    KEY_CTRLR,
    KEY_ALT,
    KEY_ALTGR,
    KEY_INSERT = KEY_SPECIAL | 0x20,
    KEY_DELETE,
    KEY_HOME,
    KEY_END,
    KEY_PAGEUP,
    KEY_PAGEDOWN,
    KEY_UP,
    KEY_DOWN,
    KEY_LEFT,
    KEY_RIGHT,
};

// Modifier state bits; modifier key n (KEY_CAPS .. KEY_ALTGR) owns 0x10000 << (n & 0xF).
enum Modifier : uint32_t {
    MOD_CAPS = 0x20000,
    MOD_SHIFTL = 0x40000,
    MOD_SHIFTR = 0x80000,
    MOD_CTRLL = 0x100000,
    MOD_CTRLR = 0x200000,
    MOD_ALT = 0x400000,
    MOD_ALTGR = 0x800000,
};

const uint32_t MOD_ANY_SHIFT = MOD_CAPS | MOD_SHIFTL | MOD_SHIFTR;
const uint32_t MOD_ALL = 0xFE0000;

// ---- layout tables ---------------------------------------------------------------------
// Four tables for scan codes 0x00-0x7F, chosen by the modifiers, and one for 0x80-0xFF
// (indexed by scan code - 0x80); entry 0 means no key.

const int KEY_TABLE_SIZE = 128;
extern const int32_t keyTableNormal[KEY_TABLE_SIZE];
extern const int32_t keyTableShift[KEY_TABLE_SIZE];
extern const int32_t keyTableAltGr[KEY_TABLE_SIZE];
extern const int32_t keyTableAltGrShift[KEY_TABLE_SIZE];
extern const int32_t keyTableExtended[KEY_TABLE_SIZE];

// The translated code of a scan code under the given modifier state; 0 for none.
uint32_t TranslateScanCode(uint32_t scanCode, uint32_t modifiers);

// ---- the DirectInput object -------------------------------------------------------------

extern LPDIRECTINPUT directInput;

void InitInput();
BOOL CALLBACK EnumInputDevice(LPCDIDEVICEINSTANCEA instance, LPVOID ref);
void ShutdownInput();

// ---- the keyboard -----------------------------------------------------------------------

const int KEY_EVENT_CAPACITY = 16; // buffered events per fetch, also DirectInput's buffer
const int KEY_QUEUE_CAPACITY = 64;
const int KEY_REPEAT_DELAY = 300; // ms from a press to its first repeat
const int KEY_REPEAT_PERIOD = 40; // ms between repeats

class sKeyboard : public sDevice {
public:
    explicit sKeyboard(LPCDIDEVICEINSTANCEA instance);
    virtual ~sKeyboard();
    // The next key event code, or 0; one event per call.
    virtual uint32_t ReadKey();
    virtual uint32_t GetModifiers();

    LPDIRECTINPUTDEVICE device;
    DIDEVICEOBJECTDATA events[KEY_EVENT_CAPACITY];
    int32_t queue[KEY_QUEUE_CAPACITY];
    int32_t queueCount;
    uint32_t modifiers;
    uint32_t repeatCode;
    int64_t repeatTime;
    // Set when DirectInput took the device away; the next read acquires it again first.
    bool reacquire;

    // Appends a translated code; a full queue drops it.
    void Enqueue(uint32_t code);

private:
    void Fetch();
    bool Reacquire();
    void ForgetHeldKeys();
    void Translate(int count);
    uint32_t Dequeue();
    uint32_t AutoRepeat(uint32_t result);
};

// ---- the pointer --------------------------------------------------------------------------

enum PointerKind { POINTER_MOUSE = 1, POINTER_JOYSTICK = 2 };

struct sPointerState {
    int32_t x, y, z, r;
    int32_t buttons; // bit i: button i held
    int32_t axisCount;
    int32_t buttonCount;
    int32_t kind;
};

class sPointer : public sDevice {
public:
    explicit sPointer(LPCDIDEVICEINSTANCEA instance);
    virtual ~sPointer();
    virtual void ReadState(sPointerState& state);

    LPDIRECTINPUTDEVICE device;
    int32_t kind;
    int32_t buttonCount;
    int32_t axisCount;

private:
    bool ReadMouse(sPointerState& state);
    bool ReadJoystick(sPointerState& state);
};

#endif
