// The headless host: no window and no speakers; the virtual clock, the recording of frames
// and sound, and the scripted input. Its parts also serve the SDL host where the settings
// ask for a recording, the virtual clock or a script (host/select.cpp).
#ifndef PRISMATEL_HOST_HEADLESS_PARTS_H
#define PRISMATEL_HOST_HEADLESS_PARTS_H

#include "host/host.h"
#include "host/settings.h"

namespace host {
namespace headless {

// The settings the parts follow from now on.
void Configure(const Settings& settings);
Settings Configured();

// No window: it never opens, and shows no boxes.
Window* TheWindow();
// Every kept frame as "<capture>/frame_NNNNN.png".
FrameSink* TheFrameRecorder();
// The clock-paced mix, into "<capture>/audio.wav" when recording and nowhere otherwise.
SoundSink* TheSoundRecorder();
// PRISMATEL_INPUT's keys and buttons.
InputScript* TheInputScript();
// Exactly 1/FPS s per frame shown, standing still between frames.
Clock* TheVirtualClock();

// Lets the frame and sound being written finish and records nothing after (the process
// ends).
void SealRecording();

// Finishes the recording's files, records again and forgets the script's progress.
void ResetForTest();

} // namespace headless
} // namespace host

#endif
