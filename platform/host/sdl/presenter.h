// The window thread's side of frame presentation (renderer, streaming texture, pacing).
#ifndef PRISMATEL_PRESENTER_H
#define PRISMATEL_PRESENTER_H

#include <SDL.h>

namespace host {

bool OpenPresenter(SDL_Window* window, bool windowed);
void ClosePresenter();
// Shows the frame the main thread handed over, if any, and releases it.
void ServePendingFrame();
void ResetPresenter();

} // namespace host

#endif
