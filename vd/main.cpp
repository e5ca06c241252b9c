// The demo's main routine: set-up, the frame loop and tear-down.
#include "bitmap.h"
#include "display.h"
#include "file.h"
#include "profiler.h"
#include "input/input.h"

#include "effect.h"
#include "music.h"
#include "show.h"
#include "timeline.h"

namespace {

const int BOTH_BUTTONS = 3;
const int64_t LONGEST_ELAPSED = 0x7FFFFFFF;

// Show time in microseconds since start; a clock outside 0 .. 2^31 - 1 freezes the show.
int64_t Elapsed(int64_t start) {
    int64_t elapsed = GetMicroseconds() - start;
    if (elapsed < 0 || elapsed > LONGEST_ELAPSED) elapsed = LONGEST_ELAPSED;
    return elapsed;
}

// The best device of a kind. The loop polls the pointer and the keyboard every frame, so a
// machine without one of them cannot run the show: say so instead of failing on null.
template <class Device> Device& RequiredDevice(int kind, const char* missing) {
    Device* device = (Device*)GetDevice(kind, -1);
    if (!device) Fatal(missing);
    return *device;
}

void SetUpScreen(sDisplay& display, sDisplayMode& request) {
    request = sDisplayMode(640, 480, BK_INDEX8);
    ASSERT(display.FindMode(request));
    display.SetDisplayMode(request);
}

} // namespace

void DemoMain() {
    sTimeline timeline;
    sDisplay& display = RequiredDevice<sDisplay>(DK_DISPLAY, "DemoMain(): no display");
    sPointer& pointer = RequiredDevice<sPointer>(DK_POINTER, "DemoMain(): no pointer device");
    sKeyboard& keyboard = RequiredDevice<sKeyboard>(DK_KEYBOARD, "DemoMain(): no keyboard device");

    PrepareMusic("vd.mp3");
    OpenPackfile("q47.dat");
    sDisplayMode request;
    SetUpScreen(display, request);
    BuildShow(timeline);
    timeline.Prepare(display);
    display.PrepareTextures(request);
    display.UploadTextures();
    frameProfiler.SetScale(25);
    bool running = true;
    bool showProfiler = false;
    DecodeMusic("vd.mp3");
    int64_t start = GetMicroseconds();

    while (running) {
        int64_t elapsed = Elapsed(start);
        display.BeginFrame(nullptr);
        if (paletteDirty) {
            display.SetPalette(demoPalette);
            paletteDirty = false;
        }
        frameProfiler.StartFrame(0);
        StartMusic();
        frameProfiler.Mark(8);
        timeline.Draw(display, (float)((double)elapsed * 0.001));
        frameProfiler.Mark(15);
        if (showProfiler) frameProfiler.DrawOverlay(display);
        display.EndFrame();
        frameProfiler.Mark(15);

        sPointerState state;
        pointer.ReadState(state);
        if (state.buttons == BOTH_BUTTONS) running = false;
        // Whole codes: a key with modifier, repeat or release bits does nothing.
        uint32_t key = keyboard.ReadKey();
        if (key == KEY_ESCAPE || key == KEY_SPACE) break;
        if (key == 'm') showProfiler = !showProfiler;
        if (key == 'r') {
            start = GetMicroseconds();
            StopMusic();
        }
    }

    display.FreeTextures();
    StopMusic();
}
