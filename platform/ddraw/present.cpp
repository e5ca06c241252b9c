// Showing flipped frames: the front buffer through the palette in force becomes the
// picture handed to the host window and, when recording, a numbered PNG.
#include "surface.h"

#include "host/host.h"
#include "host/headless/capture.h"
#include "machine/machine.h"
#include "machine/video_card.h"

#include <stdio.h>

#include <vector>

namespace ddsoft {
namespace {

const PALETTEENTRY* PaletteOf(Surface& front) {
    static PALETTEENTRY black[256] = {};
    Palette* p = front.AttachedPalette();
    return p ? p->Entries() : black;
}

void Record(const std::vector<uint32_t>& rgb, int width, int height, int64_t frame) {
    const machine::Settings& settings = machine::GetSettings();
    if (settings.captureDir.empty()) return;
    int every = settings.captureEvery > 0 ? settings.captureEvery : 1;
    if (frame % every) return;
    std::string path = capture::FramePath(settings.captureDir, frame);
    if (capture::WritePng(path, rgb.data(), width, height)) return;
    // The first frame finds the folder missing: make it, and say once when that fails.
    static bool reported = false;
    if (capture::MakeFolder(settings.captureDir) &&
        capture::WritePng(path, rgb.data(), width, height))
        return;
    if (!reported) fprintf(stderr, "ddraw: cannot write %s\n", path.c_str());
    reported = true;
}

} // namespace

void PresentPendingFrame(Surface& front) {
    DisplayState& display = Display();
    display.framePending = false;
    int width = (int)front.Width(), height = (int)front.Height();
    if (!front.Memory() || width <= 0 || height <= 0) return;
    static std::vector<uint32_t> rgb;
    rgb.resize((size_t)width * height);
    const PALETTEENTRY* palette = PaletteOf(front);
    video::ConvertFrame(front.Memory(), front.Pitch(), width, height, front.Format(), palette,
                        rgb.data());
    host::PresentFrame(rgb.data(), width, height);
    Record(rgb, width, height, display.pendingFrameNumber);
    display.framesPresented++;
}

void FrameFlipped() {
    // The frame drawn at clock time N/FPS carries number N, whichever chain flipped it.
    Display().pendingFrameNumber = machine::FramesShown();
    machine::AdvanceFrame();
}

} // namespace ddsoft
