// A small synthesiser for the default music: oscillators, envelopes, filters, a drum
// kit, and the delay and reverb the mix sends into. Everything renders offline into
// float buffers at 44,100 Hz; nothing depends on the clock or on chance.
#ifndef TOOLS_ASSETS_SYNTH_H
#define TOOLS_ASSETS_SYNTH_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace assets {

const int SAMPLE_RATE = 44100;

struct StereoBuffer {
    std::vector<float> left, right;

    StereoBuffer() = default;
    explicit StereoBuffer(size_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}
    size_t Frames() const { return left.size(); }
    // Adds a mono signal starting at frame `at`, panned (-1 left .. 1 right) at
    // constant power; whatever falls past the end is dropped.
    void AddMono(const std::vector<float>& mono, long at, float gain, float pan);
    void Add(const StereoBuffer& other, float gain);
};

long FrameAt(double seconds);
float MidiToHz(float note);

// Band-limited oscillator (polyBLEP edges) with its own phase.
class Oscillator {
public:
    explicit Oscillator(float startPhase = 0.0f) : phase(startPhase) {}
    float Sine(float hz);
    float Triangle(float hz);
    float Saw(float hz);
    float Square(float hz, float width = 0.5f);

private:
    float Advance(float hz); // returns the phase before the step
    float phase;
    float triangleState = 0.0f;
};

// Attack-decay-sustain-release as a function of time, continuous everywhere: the
// release starts from wherever the level was when the note ended.
struct Envelope {
    float attack = 0.005f, decay = 0.1f, sustain = 0.7f, release = 0.1f;
    float Level(float t, float noteLength) const;
    float Length(float noteLength) const { return noteLength + release; }
};

// Zero-delay-feedback state variable filter: low, band and high outputs at once.
class Filter {
public:
    void Set(float cutoffHz, float resonance); // resonance 0 (none) .. just below 1
    float Low(float x);
    float Band(float x);
    float High(float x);

private:
    void Step(float x);
    float g = 0.1f, k = 1.4f, a1 = 0, a2 = 0, a3 = 0;
    float ic1 = 0.0f, ic2 = 0.0f, low = 0, band = 0, high = 0;
};

// White noise from a fixed seed.
class Noise {
public:
    explicit Noise(uint32_t seed) : state(seed ? seed : 1u) {}
    float Next();

private:
    uint32_t state;
};

// The drum kit: each hit is a mono sound of its natural length.
std::vector<float> Kick(float punch); // punch 0..1: click and pitch sweep depth
std::vector<float> Snare(uint32_t seed);
std::vector<float> Clap(uint32_t seed);
std::vector<float> HiHat(uint32_t seed, bool open);
std::vector<float> Crash(uint32_t seed, float seconds);

// Tuned voices: length is the held time; the result includes the release.
std::vector<float> PadNote(float note, float length, float brightness, uint32_t seed);
std::vector<float> BassNote(float note, float length, float growl);
std::vector<float> PluckNote(float note, float length, float brightness);
std::vector<float> BellNote(float note, float length);
// A rising sweep: filtered noise and a climbing saw over `length` seconds.
std::vector<float> Riser(float length, float fromNote, float toNote, uint32_t seed);

// Ping-pong delay on a stereo send, with darkening feedback.
StereoBuffer PingPongDelay(const StereoBuffer& send, float seconds, float feedback);
// A plate-like reverb (parallel combs into series all-passes per side).
StereoBuffer Reverb(const StereoBuffer& send, float size, float damping);

// Soft saturation then a gain that brings the peak to peakLevel (linear).
void Master(StereoBuffer& mix, float peakLevel);
float Peak(const StereoBuffer& mix);

} // namespace assets

#endif
