// The page's keys as DirectInput scan codes: by KeyboardEvent.code, the key's position, as
// the SDL host maps SDL scan codes, so a layout moves no key.
#ifndef PRISMATEL_HOST_WEB_KEYMAP_H
#define PRISMATEL_HOST_WEB_KEYMAP_H

namespace host {
namespace web {

// The DIK_ code of a KeyboardEvent.code ("KeyM", "Escape", "ArrowLeft" ...); 0 for keys the
// keyboard of the simulated PC does not have, and for null.
int ScanCodeFromKeyCode(const char* code);

} // namespace web
} // namespace host

#endif
