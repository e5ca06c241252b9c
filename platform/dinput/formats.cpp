// The standard data formats c_dfDIKeyboard, c_dfDIMouse and c_dfDIJoystick: the object
// tables DirectInput's import library supplies, in the same shape.
#include <dinput.h>

namespace {

const DWORD OPTIONAL_ANY_AXIS = DIDFT_AXIS | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL;
const DWORD ANY_BUTTON = DIDFT_BUTTON | DIDFT_ANYINSTANCE;
const DWORD OPTIONAL_ANY_BUTTON = ANY_BUTTON | DIDFT_OPTIONAL;

struct KeyboardObjects {
    DIOBJECTDATAFORMAT objects[256];
    KeyboardObjects() {
        // One optional button per scan code, stored at its own offset.
        for (DWORD key = 0; key < 256; key++)
            objects[key] = {&GUID_Key, key, DIDFT_BUTTON | DIDFT_OPTIONAL | DIDFT_MAKEINSTANCE(key),
                            0};
    }
};

KeyboardObjects keyboardObjects;

DIOBJECTDATAFORMAT mouseObjects[7] = {
    {&GUID_XAxis, DIMOFS_X, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
    {&GUID_YAxis, DIMOFS_Y, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
    {&GUID_ZAxis, DIMOFS_Z, OPTIONAL_ANY_AXIS, 0},
    {NULL, DIMOFS_BUTTON0, ANY_BUTTON, 0},
    {NULL, DIMOFS_BUTTON1, ANY_BUTTON, 0},
    {NULL, DIMOFS_BUTTON2, OPTIONAL_ANY_BUTTON, 0},
    {NULL, DIMOFS_BUTTON3, OPTIONAL_ANY_BUTTON, 0},
};

struct JoystickObjects {
    DIOBJECTDATAFORMAT objects[44];
    JoystickObjects() {
        const GUID* axes[6] = {&GUID_XAxis,  &GUID_YAxis,  &GUID_ZAxis,
                               &GUID_RxAxis, &GUID_RyAxis, &GUID_RzAxis};
        int n = 0;
        for (int i = 0; i < 6; i++) objects[n++] = {axes[i], (DWORD)(i * 4), OPTIONAL_ANY_AXIS, 0};
        for (int i = 0; i < 2; i++)
            objects[n++] = {&GUID_Slider, (DWORD)DIJOFS_SLIDER(i), OPTIONAL_ANY_AXIS, 0};
        for (int i = 0; i < 4; i++)
            objects[n++] = {&GUID_POV, (DWORD)DIJOFS_POV(i),
                            DIDFT_POV | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0};
        for (int i = 0; i < 32; i++)
            objects[n++] = {NULL, (DWORD)DIJOFS_BUTTON(i), OPTIONAL_ANY_BUTTON, 0};
    }
};

JoystickObjects joystickObjects;

} // namespace

extern "C" const DIDATAFORMAT c_dfDIKeyboard = {
    sizeof(DIDATAFORMAT),   sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256, 256,
    keyboardObjects.objects};

extern "C" const DIDATAFORMAT c_dfDIMouse = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, sizeof(DIMOUSESTATE), 7,
    mouseObjects};

extern "C" const DIDATAFORMAT c_dfDIJoystick = {
    sizeof(DIDATAFORMAT),   sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS, sizeof(DIJOYSTATE), 44,
    joystickObjects.objects};
