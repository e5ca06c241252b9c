// Keys of the host keyboard by physical position (SDL scan codes) to the simulated
// keyboard's DirectInput scan codes.
#ifndef PRISMATEL_SDL_KEYMAP_H
#define PRISMATEL_SDL_KEYMAP_H

#include <SDL.h>

namespace host {

// The DirectInput scan code (DIK_*) of the key at that position, or 0 for none.
int ScanCodeFromSdl(SDL_Scancode key);

} // namespace host

#endif
