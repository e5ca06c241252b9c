// DirectInput start-up: the object, and one device per keyboard and mouse it reports.
#include "input.h"

LPDIRECTINPUT directInput = NULL;

void InitInput() {
    if (FAILED(DirectInputCreateA(appInstance, 0x0500, &directInput, NULL)))
        Fatal("No Direct Input");
    directInput->EnumDevices(0, EnumInputDevice, NULL, DIEDFL_ATTACHEDONLY);
}

BOOL CALLBACK EnumInputDevice(LPCDIDEVICEINSTANCEA instance, LPVOID) {
    DebugPrint("Input Device <%s> <%s>\n", instance->tszInstanceName, instance->tszProductName);
    // The devices register themselves; the registry owns them from here on.
    switch (GET_DIDEVICE_TYPE(instance->dwDevType)) {
    case DIDEVTYPE_MOUSE: new sPointer(instance); break;
    case DIDEVTYPE_KEYBOARD: new sKeyboard(instance); break;
    default: break;
    }
    return DIENUM_CONTINUE;
}

void ShutdownInput() {
    if (directInput) directInput->Release();
    directInput = NULL;
}
