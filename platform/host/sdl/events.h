// SDL's events in the stand-in's terms: what the window manager and the simulated input
// hardware each take from them.
#ifndef PRISMATEL_HOST_SDL_EVENTS_H
#define PRISMATEL_HOST_SDL_EVENTS_H

#include <SDL.h>

#include <vector>

#include "host/host.h"

namespace host {
namespace sdl {

// Appends the host events one SDL event stands for (none for events nobody uses).
void Translate(const SDL_Event& event, std::vector<Event>& out);

} // namespace sdl
} // namespace host

#endif
