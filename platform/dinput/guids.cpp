// The DirectInput GUIDs are defined here once, as dinput.lib would supply them.
#define INITGUID
#include <dinput.h>

// Placeholders whose addresses stand for the predefined properties (MAKEDIPROP).
extern "C" const GUID dinputPredefinedProperties[16] = {};
