// The simulated sound card: voices that resample their sources to 44,100 Hz stereo, the mix,
// and the two ways the mix leaves the card for the host's sound sink (its device pulling it,
// or the machine clock pacing it).
#include "sound_card.h"

#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>

#include "host/host.h"
#include "machine.h"

namespace sound {
namespace {

const int kStagingBytes = 256;    // at most fetched at once per source
const int kMaxFrameBytes = 64;    // 16 channels of 32 bits
const uint64_t kOne = 1ull << 32; // resampling phase: 32.32 fixed point

struct Voice {
    int id = 0;
    Source* source = nullptr;
    Format format = {kRate, 2, 16};
    int frameBytes = 4;
    uint64_t step = kOne; // source frames per output frame
    uint64_t phase = 0;   // position between the current and the next source frame
    uint8_t staging[kStagingBytes];
    int stagingFill = 0;
    int stagingOffset = 0;
    int current[2] = {0, 0};
    int next[2] = {0, 0};
    bool haveCurrent = false;
    bool haveNext = false;
};

enum Mode { UNDECIDED, HOST, CLOCK };

struct Card {
    std::recursive_mutex lock;
    std::vector<std::unique_ptr<Voice>> voices;
    int nextId = 1;
    bool present = true;
    bool recording = false;
    std::vector<int16_t> recorded;
    Mode mode = UNDECIDED;
    host::SoundSink* pulling = nullptr; // the host's device that pulls the mix (mode HOST)
};

Card& TheCard() {
    static Card* card = new Card; // never destroyed: the host's audio thread may outlive exit
    return *card;
}

// ---- one voice ------------------------------------------------------------------

int SampleAt(const uint8_t* p, int bits) {
    switch (bits) {
    case 8: return ((int)p[0] - 128) * 256;
    case 16: return (int16_t)(p[0] | p[1] << 8);
    case 24: return (int16_t)(p[1] | p[2] << 8);
    default: return (int16_t)(p[2] | p[3] << 8);
    }
}

// Source frames the voice needs to produce `outputs` more output frames from where it is.
int64_t FramesNeeded(const Voice& v, int outputs) {
    if (outputs <= 0) return 1;
    uint64_t span = (uint64_t)(outputs - 1) * v.step + v.phase;
    return (int64_t)(span >> 32) + 1 + ((span & (kOne - 1)) != 0);
}

// The next source frame as a left and right sample; false when the source has none ready.
// Only what the current render needs is fetched, so that a source's bytes count as played
// (a waveOut buffer as done) no sooner than they are.
bool NextFrame(Voice& v, int frame[2], int outputs) {
    if (v.stagingFill - v.stagingOffset < v.frameBytes) {
        int rest = v.stagingFill - v.stagingOffset;
        memmove(v.staging, v.staging + v.stagingOffset, rest);
        v.stagingFill = rest;
        v.stagingOffset = 0;
        int64_t needed = FramesNeeded(v, outputs) * v.frameBytes - rest;
        int want = kStagingBytes - rest;
        if (needed < want) want = (int)needed;
        int got = want > 0 ? v.source->Fetch(v.staging + rest, want) : 0;
        if (got > 0) v.stagingFill += got < want ? got : want;
        if (v.stagingFill < v.frameBytes) return false;
    }
    const uint8_t* p = v.staging + v.stagingOffset;
    int sampleBytes = v.format.bits / 8;
    frame[0] = SampleAt(p, v.format.bits);
    frame[1] = v.format.channels > 1 ? SampleAt(p + sampleBytes, v.format.bits) : frame[0];
    v.stagingOffset += v.frameBytes;
    return true;
}

int Between(int a, int b, uint64_t phase) {
    return a + (int)(((int64_t)(b - a) * (int64_t)(phase >> 16)) >> 16);
}

// Steps over the source frames the phase has passed. Done just before the next output frame
// rather than just after the last one, so that nothing is fetched before it is due.
void SettleVoice(Voice& v, int outputs) {
    while (v.haveCurrent && v.phase >= kOne) {
        v.phase -= kOne;
        if (v.haveNext) {
            v.current[0] = v.next[0];
            v.current[1] = v.next[1];
            v.haveNext = false;
        } else if (!NextFrame(v, v.current, outputs)) {
            v.haveCurrent = false; // ran dry: it starts afresh when bytes come
            v.phase = 0;
        }
    }
}

void MixVoice(Voice& v, int32_t* mix, int frames) {
    for (int i = 0; i < frames; i++) {
        SettleVoice(v, frames - i);
        if (!v.haveCurrent) {
            if (!NextFrame(v, v.current, frames - i)) continue; // dry: silence, no time passes
            v.haveCurrent = true;
        }
        int left = v.current[0], right = v.current[1];
        if (v.phase != 0) {
            if (!v.haveNext) v.haveNext = NextFrame(v, v.next, frames - i);
            if (v.haveNext) {
                left = Between(left, v.next[0], v.phase);
                right = Between(right, v.next[1], v.phase);
            }
        }
        mix[2 * i] += left;
        mix[2 * i + 1] += right;
        v.phase += v.step;
    }
}

int16_t Clip(int32_t value) {
    return value > 32767 ? 32767 : value < -32768 ? -32768 : (int16_t)value;
}

// ---- modes ---------------------------------------------------------------------

bool WantsClockPacing() {
    return host::Current().sound->PacedByClock();
}

// The first source decides where the mix goes; the host device is opened only then.
void DecideMode() {
    Card& card = TheCard();
    {
        std::lock_guard<std::recursive_mutex> guard(card.lock);
        if (card.mode != UNDECIDED) return;
        if (WantsClockPacing()) {
            card.mode = CLOCK;
            return;
        }
    }
    host::SoundSink* sink = host::Current().sound;
    bool pulls = sink->Open(Render); // without the lock: the host's device thread takes it
    std::lock_guard<std::recursive_mutex> guard(card.lock);
    if (card.mode != UNDECIDED) return;
    card.mode = pulls ? HOST : CLOCK;
    if (pulls) card.pulling = sink;
}

int64_t FirstSampleAt(int64_t us) {
    return (us * kRate + 999999) / 1000000;
}

void Reset() {
    Card& card = TheCard();
    host::SoundSink* pulling;
    {
        std::lock_guard<std::recursive_mutex> guard(card.lock);
        card.present = true;
        card.recording = false;
        card.recorded.clear();
        pulling = card.pulling;
        card.pulling = nullptr;
        card.mode = UNDECIDED; // the next run's settings decide again
    }
    if (pulling) pulling->Close(); // without the lock: closing waits for the device's thread
}

bool Install() {
    machine::AddClockListener([](int64_t from, int64_t to) { RenderClockSpan(from, to); });
    machine::AddResetHook(Reset);
    return true;
}

const bool installed = Install();

} // namespace

std::recursive_mutex& Lock() {
    return TheCard().lock;
}

int AddSource(Source* source, const Format& format) {
    if (!source || format.rate < 1000 || format.rate > 192000 || format.channels < 1 ||
        format.bits % 8 != 0 || format.bits < 8 || format.bits > 32 ||
        format.channels * format.bits / 8 > kMaxFrameBytes)
        return 0;
    DecideMode();
    Card& card = TheCard();
    std::lock_guard<std::recursive_mutex> guard(card.lock);
    std::unique_ptr<Voice> v(new Voice);
    v->id = card.nextId++;
    v->source = source;
    v->format = format;
    v->frameBytes = format.channels * format.bits / 8;
    v->step = ((uint64_t)format.rate << 32) / kRate;
    int id = v->id;
    card.voices.push_back(std::move(v));
    return id;
}

void RemoveSource(int id) {
    Card& card = TheCard();
    std::lock_guard<std::recursive_mutex> guard(card.lock);
    for (size_t i = 0; i < card.voices.size(); i++) {
        if (card.voices[i]->id == id) {
            card.voices.erase(card.voices.begin() + i);
            return;
        }
    }
}

void DropPending(int id) {
    Card& card = TheCard();
    std::lock_guard<std::recursive_mutex> guard(card.lock);
    for (auto& v : card.voices) {
        if (v->id != id) continue;
        v->stagingFill = v->stagingOffset = 0;
        v->haveCurrent = v->haveNext = false;
        v->phase = 0;
    }
}

int SourceCount() {
    Card& card = TheCard();
    std::lock_guard<std::recursive_mutex> guard(card.lock);
    return (int)card.voices.size();
}

void Render(int16_t* out, int frames) {
    Card& card = TheCard();
    std::lock_guard<std::recursive_mutex> guard(card.lock);
    const int kChunk = 512;
    int32_t mix[2 * kChunk];
    for (int done = 0; done < frames; done += kChunk) {
        int count = frames - done < kChunk ? frames - done : kChunk;
        memset(mix, 0, sizeof(int32_t) * 2 * count);
        for (auto& v : card.voices) MixVoice(*v, mix, count);
        int16_t* chunk = out + 2 * done;
        for (int i = 0; i < 2 * count; i++) chunk[i] = Clip(mix[i]);
        if (card.recording) card.recorded.insert(card.recorded.end(), chunk, chunk + 2 * count);
    }
}

void RenderClockSpan(int64_t fromUs, int64_t toUs) {
    if (toUs <= fromUs) return;
    Card& card = TheCard();
    {
        std::lock_guard<std::recursive_mutex> guard(card.lock);
        if (card.mode == HOST) return;
        if (card.mode == UNDECIDED && !WantsClockPacing()) return; // nothing plays yet
        card.mode = CLOCK;
    }
    host::SoundSink* sink = host::Current().sound;
    int64_t frames = FirstSampleAt(toUs) - FirstSampleAt(fromUs);
    int16_t block[2 * 1024];
    while (frames > 0) {
        int count = frames < 1024 ? (int)frames : 1024;
        Render(block, count);
        {
            std::lock_guard<std::recursive_mutex> guard(card.lock);
            sink->Write(block, 2 * count);
        }
        frames -= count;
    }
}

bool HostPulls() {
    Card& card = TheCard();
    std::lock_guard<std::recursive_mutex> guard(card.lock);
    return card.mode == HOST;
}

void SetDevicePresent(bool present) {
    Card& card = TheCard();
    std::lock_guard<std::recursive_mutex> guard(card.lock);
    card.present = present;
}

bool DevicePresent() {
    Card& card = TheCard();
    std::lock_guard<std::recursive_mutex> guard(card.lock);
    return card.present;
}

void StartRecording() {
    Card& card = TheCard();
    std::lock_guard<std::recursive_mutex> guard(card.lock);
    card.recording = true;
    card.recorded.clear();
}

std::vector<int16_t> Recorded() {
    Card& card = TheCard();
    std::lock_guard<std::recursive_mutex> guard(card.lock);
    return card.recorded;
}

void ResetForTest() {
    Reset();
}

} // namespace sound
