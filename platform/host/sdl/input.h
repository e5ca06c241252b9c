// The host's keyboard, mouse and window focus as the simulated machine's input hardware.
#ifndef PRISMATEL_SDL_INPUT_H
#define PRISMATEL_SDL_INPUT_H

#include <SDL.h>

namespace host {

// Starts feeding SDL's input events (seen by the window thread's pump) to the machine;
// called when the program creates its DirectInput object. Later calls do nothing.
void InstallInputListener();

// One SDL event into the machine: keys by position, mouse motion, wheel and buttons, focus.
void FeedInputEvent(const SDL_Event& event);

} // namespace host

#endif
