// The one place that chooses the host: the SDL window, audio and real time (in the browser
// build the page's canvas and Web Audio instead), or none of them (headless); the recording, the
// virtual clock and the input script where the settings ask for them, whichever host shows the
// picture.
#include "select.h"

#include "host/headless/parts.h"
#ifdef __EMSCRIPTEN__
#include "host/web/parts.h"
#else
#include "host/sdl/parts.h"
#endif

#include <mutex>

namespace host {
namespace {

// The host that shows the picture and plays the sound when not headless.
#ifdef __EMSCRIPTEN__
namespace screen = web;
const char* const SCREEN_NAME = "web";
#else
namespace screen = sdl;
const char* const SCREEN_NAME = "sdl";
#endif

// The frames go to the window and then to the recording.
class BothFrameSinks : public FrameSink {
public:
    BothFrameSinks(FrameSink* first, FrameSink* second) : first(first), second(second) {}
    void Show(const uint32_t* rgb, int width, int height, int64_t frame) override {
        first->Show(rgb, width, height, frame);
        second->Show(rgb, width, height, frame);
    }

private:
    FrameSink* first;
    FrameSink* second;
};

class NoFrameSink : public FrameSink {
public:
    void Show(const uint32_t*, int, int, int64_t) override {}
};

FrameSink* FramesFor(const Settings& s) {
    // Never destroyed, like every part: a thread may still show a frame during exit.
    static NoFrameSink* none = new NoFrameSink;
    static BothFrameSinks* both =
        new BothFrameSinks(screen::TheFrameSink(), headless::TheFrameRecorder());
    bool shown = !s.headless, recorded = !s.captureDir.empty();
    if (shown && recorded) return both;
    if (shown) return screen::TheFrameSink();
    if (recorded) return headless::TheFrameRecorder();
    return none;
}

// Recording the sound, like playing it without speakers, follows the machine clock.
SoundSink* SoundFor(const Settings& s) {
    if (s.headless || !s.captureDir.empty()) return headless::TheSoundRecorder();
    return screen::TheSoundSink();
}

struct Choice {
    std::mutex lock;
    Host host = {};
};

Choice& TheChoice() {
    static Choice* choice = new Choice; // never destroyed: threads may outlive exit handlers
    return *choice;
}

} // namespace

void Choose(const Settings& s) {
    screen::Configure(s);
    headless::Configure(s);
    Host h;
    h.name = s.headless ? "headless" : SCREEN_NAME;
    h.window = s.headless ? headless::TheWindow() : screen::TheWindow();
    h.frames = FramesFor(s);
    h.sound = SoundFor(s);
    h.script = headless::TheInputScript();
    h.clock = s.fps > 0 ? headless::TheVirtualClock() : TheRealClock();
    Choice& c = TheChoice();
    std::lock_guard<std::mutex> guard(c.lock);
    c.host = h;
}

Host Current() {
    GetSettings(); // the first use parses the environment and chooses
    Choice& c = TheChoice();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.host;
}

void ResetForTest() {
    RestartClock();
    screen::ResetForTest();
    headless::ResetForTest();
}

} // namespace host
