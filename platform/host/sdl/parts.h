// The SDL host: a window (full screen or 2x), its keyboard and mouse, the audio device and
// real time. SDL stays inside host/sdl/: these parts are all host/select.cpp sees.
#ifndef PRISMATEL_HOST_SDL_PARTS_H
#define PRISMATEL_HOST_SDL_PARTS_H

#include "host/host.h"
#include "host/settings.h"

namespace host {
namespace sdl {

// The settings the parts follow from now on (the window's size).
void Configure(const Settings& settings);

// One SDL window, opened and pumped by the window thread.
Window* TheWindow();
// Frames handed over to the window thread, each waited for until it has been shown.
FrameSink* TheFrameSink();
// An SDL audio device pulling the mix.
SoundSink* TheSoundSink();

// Forgets the frames and the cursor of a previous in-process run.
void ResetForTest();

} // namespace sdl
} // namespace host

#endif
