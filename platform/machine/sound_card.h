// The simulated sound card: it mixes its sources (waveOut devices, PlaySound, CD audio) into
// 44,100 Hz 16-bit stereo for the host's sound sink. Where the host has speakers their device
// pulls the mix; headless (or when recording, or when the speakers cannot be opened) the card
// renders at the machine clock's pace, sample k at clock time k / 44,100 s.
#ifndef PRISMATEL_MACHINE_SOUND_CARD_H
#define PRISMATEL_MACHINE_SOUND_CARD_H

#include <stdint.h>

#include <mutex>
#include <vector>

namespace sound {

const int kRate = 44100;

// PCM as a source delivers it: integer samples of 8 (unsigned), 16, 24 or 32 bits (signed,
// little-endian), any channel count (mono goes to both sides, beyond two only the first
// two are heard), any rate (resampled linearly).
struct Format {
    int rate;
    int channels;
    int bits;
};

// Something that plays. The card calls Fetch with its lock held, from whichever thread
// renders; a source shares state with its owner under that same lock (Lock below).
class Source {
public:
    virtual ~Source() {}
    // Copies up to `bytes` bytes of PCM into `out` and returns how many it gave. Fewer (or 0)
    // means nothing more is ready now: the card plays silence for this source until it has
    // more. Bytes are consumed as they are fetched.
    virtual int Fetch(uint8_t* out, int bytes) = 0;
};

// The card's lock, recursive so that an owner holding it may add or remove sources.
std::recursive_mutex& Lock();

// Starts mixing a source; the card does not own it. Returns an id for RemoveSource, or 0
// when the format cannot be played.
int AddSource(Source* source, const Format& format);
// After this returns the card no longer calls the source.
void RemoveSource(int id);
// Forgets the rest of a source's fetched but unplayed bytes (a reset of its device).
void DropPending(int id);
int SourceCount();

// Mixes the next `frames` stereo frames of every source into `out` (2 * frames samples).
// The host's audio callback and the clock-paced renderer call it; tests may too.
void Render(int16_t* out, int frames);

// ---- the machine's sound hardware (test hooks) -------------------------------------------

// "No sound device": waveOutOpen fails, PlaySound plays nothing. Reset: present.
void SetDevicePresent(bool present);
bool DevicePresent();
// Keeps a copy of everything rendered from now on (until ResetForTest), to read back.
void StartRecording();
std::vector<int16_t> Recorded();
// Whether PlaySound has a sound that has not finished.
bool SystemSoundPlaying();
// Stops every source's output and recording state of a previous in-process run.
void ResetForTest();

// ---- the clock-paced renderer and the host -----------------------------------------------

// Renders the samples of clock time [fromUs, toUs) when the card is clock-paced (the machine
// clock listener calls it). Exposed for tests.
void RenderClockSpan(int64_t fromUs, int64_t toUs);
// Whether the host's audio device pulls the mix (false: clock-paced).
bool HostPulls();

} // namespace sound

#endif
