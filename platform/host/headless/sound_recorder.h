// Inside host/headless/: the end of a recording's sound file.
#ifndef PRISMATEL_HOST_HEADLESS_SOUND_RECORDER_H
#define PRISMATEL_HOST_HEADLESS_SOUND_RECORDER_H

namespace host {
namespace headless {

// Finishes "audio.wav": the next recording starts a new one.
void CloseSoundRecording();
// While sealed no sound is recorded; sealing waits for a block being written.
void SealSoundRecording(bool sealed);

} // namespace headless
} // namespace host

#endif
