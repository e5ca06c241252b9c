// Showing flipped frames: the front buffer through the palette in force is the picture the
// video card sends to the host's screen (and recording).
#include "surface.h"

#include "machine/machine.h"
#include "machine/video_card.h"

namespace ddsoft {

bool ScanOutOf(Surface& front, video::ScanOut* picture) {
    picture->width = (int)front.Width();
    picture->height = (int)front.Height();
    if (!front.Memory() || picture->width <= 0 || picture->height <= 0) return false;
    picture->memory = front.Memory();
    picture->pitch = front.Pitch();
    picture->format = front.Format();
    Palette* palette = front.AttachedPalette();
    picture->palette = palette ? palette->Entries() : nullptr;
    return true;
}

void PresentPendingFrame(Surface& front) {
    DisplayState& display = Display();
    display.framePending = false;
    video::ScanOut picture;
    if (ScanOutOf(front, &picture)) video::ShowFrame(picture, display.pendingFrameNumber);
}

void FrameFlipped() {
    // The frame drawn at clock time N/FPS carries number N, whichever chain flipped it.
    Display().pendingFrameNumber = machine::FramesShown();
    machine::AdvanceFrame();
}

} // namespace ddsoft
