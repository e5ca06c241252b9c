// Inside host/web: what the program's threads ask of the page (page.js), each handed over to
// the page's thread, and the window and frame state the parts share.
#ifndef PRISMATEL_HOST_WEB_PAGE_H
#define PRISMATEL_HOST_WEB_PAGE_H

#include <stdint.h>

namespace host {
namespace web {

namespace page {
// Draws width * height RGBA pixels at `rgba` on the next animation frame, then calls
// prismatel_page_drawn(sequence). The pixels must stay until then.
void Draw(const uint8_t* rgba, int width, int height, int64_t frame, int64_t sequence);
void SetCursorVisible(bool visible);
// A message box as a notice over the canvas (and on the console).
void ShowMessage(const char* caption, const char* text, bool warning);
// Starts taking sound from prismatel_page_sound.
void StartSound();
} // namespace page

bool WindowIsOpen();
// Releases a frame waiting to be drawn, for good.
void StopDrawing();
int64_t FramesDrawn();
void ResetDrawing();

} // namespace web
} // namespace host

#endif
