// The browser host: the page's canvas, its keyboard and mouse, Web Audio and real time. The
// program's threads are Web Workers; only the page's own thread may touch the page, so every
// part hands its work over to it (page.js) and the page calls back through the functions
// below. Emscripten stays inside host/web/: these parts are all host/select.cpp sees.
#ifndef PRISMATEL_HOST_WEB_PARTS_H
#define PRISMATEL_HOST_WEB_PARTS_H

#include "host/host.h"
#include "host/settings.h"

namespace host {
namespace web {

// The settings the parts follow from now on (whether the sound follows the virtual clock).
void Configure(const Settings& settings);

// The page's canvas as the program's window; events arrive from the page.
Window* TheWindow();
// Frames handed over to the page, each waited for until the page has drawn it.
FrameSink* TheFrameSink();
// Web Audio: pulls the mix, or plays the clock-paced mix when the clock is virtual.
SoundSink* TheSoundSink();

// Forgets the frames and events of a previous run.
void ResetForTest();

} // namespace web
} // namespace host

#endif
