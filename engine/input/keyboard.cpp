// The keyboard device: buffered DirectInput events translated through the layout tables,
// modifier tracking, a queue of translated codes and auto-repeat.
#include "input.h"

namespace {

bool IsModifierKey(uint32_t code) {
    return code >= KEY_CAPS && code <= KEY_ALTGR;
}

uint32_t ModifierBit(uint32_t code) {
    return KEY_SPECIAL << (code & 0xF);
}

// DirectInput took the device away because the window lost the foreground.
bool DeviceWasTaken(HRESULT result) {
    return result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED;
}

} // namespace

uint32_t TranslateScanCode(uint32_t scanCode, uint32_t modifiers) {
    if (scanCode >= 0x100) return 0;
    if (scanCode >= 0x80) return (uint32_t)keyTableExtended[scanCode - 0x80];
    bool shift = (modifiers & MOD_ANY_SHIFT) != 0;
    bool altGr = (modifiers & MOD_ALTGR) != 0;
    const int32_t* table = altGr ? (shift ? keyTableAltGrShift : keyTableAltGr)
                                 : (shift ? keyTableShift : keyTableNormal);
    return (uint32_t)table[scanCode];
}

sKeyboard::sKeyboard(LPCDIDEVICEINSTANCEA instance)
    : device(NULL), queueCount(0), modifiers(0), repeatCode(0), repeatTime(0), reacquire(false) {
    ASSERT(SUCCEEDED(directInput->CreateDevice(instance->guidInstance, &device, NULL)));
    ASSERT(
        SUCCEEDED(device->SetCooperativeLevel(mainWindow, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND)));

    DIDEVCAPS caps;
    MemFill(&caps, 0, sizeof caps);
    caps.dwSize = sizeof caps;
    ASSERT(SUCCEEDED(device->GetCapabilities(&caps)));
    DebugPrint("  caps: %08x, buttons %d, axes %d\n", caps.dwDevType, caps.dwButtons, caps.dwAxes);

    ASSERT(SUCCEEDED(device->SetDataFormat(&c_dfDIKeyboard)));
    DIPROPDWORD bufferSize;
    bufferSize.diph.dwSize = sizeof(DIPROPDWORD);
    bufferSize.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    bufferSize.diph.dwObj = 0;
    bufferSize.diph.dwHow = DIPH_DEVICE;
    bufferSize.dwData = KEY_EVENT_CAPACITY;
    ASSERT(SUCCEEDED(device->SetProperty(DIPROP_BUFFERSIZE, &bufferSize.diph)));

    // Without the foreground the acquisition fails; a later read tries again.
    reacquire = FAILED(device->Acquire());
    RegisterDevice(DK_KEYBOARD, this);
}

sKeyboard::~sKeyboard() {
    device->Unacquire();
    device->Release();
}

uint32_t sKeyboard::GetModifiers() {
    return modifiers;
}

uint32_t sKeyboard::ReadKey() {
    if (queueCount == 0) Fetch();
    return AutoRepeat(Dequeue());
}

void sKeyboard::Fetch() {
    if (reacquire && !Reacquire()) return;
    DWORD count = KEY_EVENT_CAPACITY;
    HRESULT result = device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), events, &count, 0);
    if (result == DI_BUFFEROVERFLOW) {
        // Releases may be among the lost events: nothing can be trusted to be held.
        ForgetHeldKeys();
    } else if (result != DI_OK) {
        DebugPrint("keyboard error %d (%x)", result & 0xFFFF, result);
        if (DeviceWasTaken(result)) {
            // Whatever was let go meanwhile will never be reported.
            ForgetHeldKeys();
            reacquire = true;
        }
        return;
    }
    Translate((int)count);
}

bool sKeyboard::Reacquire() {
    reacquire = FAILED(device->Acquire());
    return !reacquire;
}

void sKeyboard::ForgetHeldKeys() {
    modifiers = 0;
    repeatCode = 0;
}

void sKeyboard::Translate(int count) {
    for (int i = 0; i < count && i < KEY_EVENT_CAPACITY; i++) {
        bool released = (events[i].dwData & 0x80) == 0;
        uint32_t code = TranslateScanCode(events[i].dwOfs, modifiers);
        // An unknown key ends the batch; the rest of this fetch is dropped.
        if (code == 0) return;
        if (IsModifierKey(code)) {
            if (released)
                modifiers &= ~ModifierBit(code);
            else
                modifiers |= ModifierBit(code);
        }
        Enqueue(code | (released ? KEY_RELEASED : 0) | modifiers);
    }
}

void sKeyboard::Enqueue(uint32_t code) {
    if (queueCount < KEY_QUEUE_CAPACITY) queue[queueCount++] = (int32_t)code;
}

uint32_t sKeyboard::Dequeue() {
    if (queueCount == 0) return 0;
    uint32_t result = (uint32_t)queue[0];
    queueCount--;
    for (int i = 0; i < queueCount; i++) queue[i] = queue[i + 1];
    return result;
}

uint32_t sKeyboard::AutoRepeat(uint32_t result) {
    int64_t now = GetMilliseconds();
    if (result != 0 && !(result & KEY_RELEASED)) {
        repeatCode = result;
        repeatTime = now + KEY_REPEAT_DELAY;
        return result;
    }
    if (result != 0) {
        repeatCode = 0;
        return result;
    }
    if (repeatCode != 0 && now > repeatTime) {
        // Counted from the previous repeat, so a late reader catches up.
        repeatTime += KEY_REPEAT_PERIOD;
        return repeatCode | KEY_REPEAT;
    }
    return 0;
}
