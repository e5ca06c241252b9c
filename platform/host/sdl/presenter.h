// The window thread's side of frame presentation (renderer, streaming texture, pacing) and
// the frame sink whose frames it shows.
#ifndef PRISMATEL_HOST_SDL_PRESENTER_H
#define PRISMATEL_HOST_SDL_PRESENTER_H

#include <SDL.h>
#include <stdint.h>

namespace host {
namespace sdl {

bool OpenPresenter(SDL_Window* window, bool windowed);
void ClosePresenter();
// Shows the frame the main thread handed over, if any, and releases it.
void ServePendingFrame();
// Releases a waiting frame for good: the window thread has stopped serving frames.
void StopPresenting();
// Frames presented in the window since it opened.
int64_t FramesPresented();
void ResetPresenter();

// window.cpp: whether the window is open; frames handed over without one are dropped.
bool WindowIsOpen();

} // namespace sdl
} // namespace host

#endif
