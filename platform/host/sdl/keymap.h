// The host keyboard's keys by physical position (SDL scan codes) and the mouse's buttons,
// as the simulated machine's input hardware numbers them.
#ifndef PRISMATEL_HOST_SDL_KEYMAP_H
#define PRISMATEL_HOST_SDL_KEYMAP_H

#include <SDL.h>

namespace host {
namespace sdl {

// The DirectInput scan code (DIK_*) of the key at that position, or 0 for none.
int ScanCodeFromSdl(SDL_Scancode key);
// 0 left, 1 right, 2 middle, 3 fourth, as DirectInput numbers a mouse's buttons; -1 for
// buttons it has none of.
int MouseButtonFromSdl(int button);

} // namespace sdl
} // namespace host

#endif
