// The host: the computer the program really runs on, as the simulated PC's monitor,
// speakers, keyboard, mouse and clock. Like SDL's driver tables it is a few interfaces that
// each host implements:
//   FrameSink           where shown frames go (a window, numbered PNG files)
//   SoundSink           where the sound card's mix goes (an audio device, a WAV file)
//   Window, InputScript the source of input and window events: the window with the host's
//                       keyboard and mouse, and the scripted input of PRISMATEL_INPUT
//   Clock               what time it is (real time, or the virtual clock of PRISMATEL_FPS)
// host/select.cpp chooses the implementations from the settings (settings.h) at start-up,
// and again when the settings change: host/sdl/ (a window, audio, real time) and
// host/headless/ (no window, the virtual clock, the recording, the input script). The
// machine and the libraries see only this header and settings.h: no SDL type.
#ifndef PRISMATEL_HOST_HOST_H
#define PRISMATEL_HOST_HOST_H

#include <stdint.h>

#include <functional>
#include <vector>

namespace host {

// Something that happened at the host, in the stand-in's terms.
struct Event {
    enum Kind {
        PAINT,        // the window needs repainting
        ACTIVATE,     // a: 1 the window gained the keyboard, 0 it lost it
        CLOSE,        // close button or quit request
        MOVE,         // a, b: the window's position
        SIZE,         // a, b: the window's size
        MINIMIZE,     //
        RESTORE,      //
        MOUSE_MOVE,   // a, b: the pointer's position in the window
        MOUSE_MOTION, // a, b: the mouse's own motion (what DirectInput reports)
        MOUSE_WHEEL,  // a: wheel motion in WHEEL_DELTA units (120 a notch)
        MOUSE_BUTTON, // a: 0 left, 1 right, 2 middle, 3 fourth; b: 1 down, 0 up
        KEY,          // a: DirectInput scan code (DIK_*); b: 1 down, 0 up; repeat: typematic
    };
    Kind kind;
    int a = 0;
    int b = 0;
    bool repeat = false;
};

using EventListener = std::function<void(const Event&)>;

// Where the frames the screen shows go.
class FrameSink {
public:
    virtual ~FrameSink() {}
    // Frame number `frame` (frame N covers clock time N/FPS) as the viewer sees it:
    // width * height 0x00RRGGBB pixels. May block until the frame is shown, which paces the
    // program at the display's refresh rate.
    virtual void Show(const uint32_t* rgb, int width, int height, int64_t frame) = 0;
};

// Fills `frames` stereo frames of 44,100 Hz 16-bit samples with the sound card's mix.
using MixFunction = void (*)(int16_t* out, int frames);

// Where the sound card's mix goes.
class SoundSink {
public:
    virtual ~SoundSink() {}
    // True: the machine clock paces the mix, which arrives through Write. False: the host's
    // audio device pulls it once Open succeeds.
    virtual bool PacedByClock() = 0;
    // Starts the host's audio device pulling `mix` on a thread of its own; false when there
    // is no such device.
    virtual bool Open(MixFunction mix) = 0;
    // Stops the pulling; `mix` is not called any more once this returns.
    virtual void Close() = 0;
    // The next `count` samples (left, right, ...) of the clock-paced mix.
    virtual void Write(const int16_t* samples, int count) = 0;
};

// The window the program's first window stands for, and the keyboard and mouse that come
// with it. The thread that opens it is the window thread; only it pumps.
class Window {
public:
    virtual ~Window() {}
    // Opens the window, hidden; false when this host has none or no display can be opened.
    virtual bool Open(const char* title) = 0;
    virtual bool IsOpen() = 0;
    virtual void Show(bool show) = 0;
    virtual void Close() = 0;
    // Window thread: shows a frame handed over to the frame sink, applies the cursor and
    // appends what happened since the last call, each event also going to the listener.
    virtual void Pump(std::vector<Event>& events) = 0;
    // Any thread: whether the pointer shows over the window (applied by the pump).
    virtual void SetCursorVisible(bool visible) = 0;
    // Releases a frame waiting to be shown, for good: the window thread stopped pumping.
    virtual void StopPresenting() = 0;
    // Frames shown in the window since it opened.
    virtual int64_t FramesPresented() = 0;
    // A modal message box on the host's desktop (needs a display, not the window).
    virtual void ShowMessageBox(const char* caption, const char* text, bool warning) = 0;
    // Every event the pump sees goes to this listener too (the machine's input hardware).
    virtual void SetListener(EventListener listener) = 0;
};

// Keys and buttons pressed by a script rather than by hand.
class InputScript {
public:
    virtual ~InputScript() {}
    // Appends the KEY and MOUSE_BUTTON events due by clock time `nowUs`, each once.
    virtual void TakeDue(int64_t nowUs, std::vector<Event>& events) = 0;
};

// What time it is.
class Clock {
public:
    virtual ~Clock() {}
    // Microseconds since the clock started, `framesShown` frames having been shown since.
    virtual int64_t Microseconds(int64_t framesShown) = 0;
    virtual void Restart() = 0;
};

// The parts of the host in use.
struct Host {
    const char* name; // "sdl", "web" or "headless"
    Window* window;
    FrameSink* frames;
    SoundSink* sound;
    InputScript* script;
    Clock* clock;
};

// The parts chosen for the current settings (host/select.cpp).
Host Current();

// ---- the clock ----------------------------------------------------------------------

// The machine clock behind QueryPerformanceCounter and timeGetTime.
int64_t ClockMicroseconds();
// The span of clock time one shown frame closes.
struct ClockStep {
    int64_t fromUs;
    int64_t toUs;
};
// A frame has been shown: on the virtual clock the time moves exactly 1/FPS s.
ClockStep FrameShown();
int64_t FramesShown();

// Restarts the clock and forgets the window, recording and script state of a previous
// in-process run.
void ResetForTest();

} // namespace host

#endif
