#include "assets_synth.h"

#include <math.h>

namespace assets {

namespace {

const float TWO_PI = 6.28318530718f;

// The polynomial correction that takes the alias out of a step at phase 0.
float Blep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

std::vector<float> Silence(float seconds) {
    return std::vector<float>(size_t(FrameAt(seconds)), 0.0f);
}

float Seconds(size_t frame) {
    return float(frame) / float(SAMPLE_RATE);
}

// Ends a sound smoothly whatever its envelope did, so no cut can click.
void FadeTail(std::vector<float>& sound, float seconds) {
    size_t n = size_t(FrameAt(seconds));
    if (n > sound.size()) n = sound.size();
    for (size_t i = 0; i < n; i++) sound[sound.size() - 1 - i] *= float(i) / float(n);
}

} // namespace

long FrameAt(double seconds) {
    return long(floor(seconds * SAMPLE_RATE + 0.5));
}

float MidiToHz(float note) {
    return 440.0f * powf(2.0f, (note - 69.0f) / 12.0f);
}

void StereoBuffer::AddMono(const std::vector<float>& mono, long at, float gain, float pan) {
    float angle = (pan + 1.0f) * 0.25f * 3.14159265f;
    float gl = cosf(angle) * gain * 1.41421356f, gr = sinf(angle) * gain * 1.41421356f;
    for (size_t i = 0; i < mono.size(); i++) {
        long f = at + long(i);
        if (f < 0 || f >= long(Frames())) continue;
        left[size_t(f)] += mono[i] * gl;
        right[size_t(f)] += mono[i] * gr;
    }
}

void StereoBuffer::Add(const StereoBuffer& other, float gain) {
    size_t n = other.Frames() < Frames() ? other.Frames() : Frames();
    for (size_t i = 0; i < n; i++) {
        left[i] += other.left[i] * gain;
        right[i] += other.right[i] * gain;
    }
}

float Oscillator::Advance(float hz) {
    float before = phase;
    phase += hz / float(SAMPLE_RATE);
    phase -= floorf(phase);
    return before;
}

float Oscillator::Sine(float hz) {
    return sinf(TWO_PI * Advance(hz));
}

float Oscillator::Triangle(float hz) {
    return 4.0f * fabsf(Advance(hz) - 0.5f) - 1.0f;
}

float Oscillator::Saw(float hz) {
    float dt = hz / float(SAMPLE_RATE);
    float p = Advance(hz);
    return 2.0f * p - 1.0f - Blep(p, dt);
}

float Oscillator::Square(float hz, float width) {
    float dt = hz / float(SAMPLE_RATE);
    float p = Advance(hz);
    float v = p < width ? 1.0f : -1.0f;
    float fall = p + 1.0f - width;
    return v + Blep(p, dt) - Blep(fall - floorf(fall), dt);
}

float Envelope::Level(float t, float noteLength) const {
    auto held = [&](float tau) {
        if (tau < attack) return tau / attack;
        return sustain + (1.0f - sustain) * expf(-(tau - attack) * 3.0f / decay);
    };
    if (t < 0.0f) return 0.0f;
    if (t < noteLength) return held(t);
    float x = (t - noteLength) / release;
    if (x >= 1.0f) return 0.0f;
    return held(noteLength) * (1.0f - x) * (1.0f - x);
}

void Filter::Set(float cutoffHz, float resonance) {
    float limit = 0.45f * float(SAMPLE_RATE);
    if (cutoffHz > limit) cutoffHz = limit;
    if (cutoffHz < 10.0f) cutoffHz = 10.0f;
    if (resonance > 0.98f) resonance = 0.98f;
    g = tanf(3.14159265f * cutoffHz / float(SAMPLE_RATE));
    k = 2.0f - 2.0f * resonance;
    a1 = 1.0f / (1.0f + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

void Filter::Step(float x) {
    float v3 = x - ic2;
    float v1 = a1 * ic1 + a2 * v3;
    float v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0f * v1 - ic1;
    ic2 = 2.0f * v2 - ic2;
    low = v2;
    band = v1;
    high = x - k * v1 - v2;
}

float Filter::Low(float x) {
    Step(x);
    return low;
}

float Filter::Band(float x) {
    Step(x);
    return band;
}

float Filter::High(float x) {
    Step(x);
    return high;
}

float Noise::Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return float(state >> 8) * (2.0f / 16777216.0f) - 1.0f;
}

std::vector<float> Kick(float punch) {
    std::vector<float> out = Silence(0.5f);
    Oscillator body;
    Noise noise(7);
    Filter click;
    click.Set(3000.0f, 0.2f);
    for (size_t i = 0; i < out.size(); i++) {
        float t = Seconds(i);
        float hz = 44.0f + (110.0f + 160.0f * punch) * expf(-t / 0.035f);
        float attack = fminf(t / 0.001f, 1.0f);
        float amp = expf(-t / 0.30f);
        float hit = click.Low(noise.Next()) * expf(-t / 0.004f) * 0.6f * punch;
        out[i] = attack * (tanhf(1.6f * body.Sine(hz) * amp) / tanhf(1.6f) + hit);
    }
    FadeTail(out, 0.05f);
    return out;
}

std::vector<float> Snare(uint32_t seed) {
    std::vector<float> out = Silence(0.32f);
    Oscillator low, high;
    Noise noise(seed);
    Filter air, body;
    air.Set(1800.0f, 0.1f);
    body.Set(4500.0f, 0.3f);
    for (size_t i = 0; i < out.size(); i++) {
        float t = Seconds(i);
        float attack = fminf(t / 0.0007f, 1.0f);
        float tone = (0.6f * low.Sine(190.0f) + 0.3f * high.Sine(335.0f)) * expf(-t / 0.055f);
        float n = noise.Next();
        float rattle = (air.High(n) * 0.7f + body.Band(n) * 0.6f) * expf(-t / 0.12f);
        out[i] = attack * (tone + rattle) * 0.8f;
    }
    FadeTail(out, 0.04f);
    return out;
}

std::vector<float> Clap(uint32_t seed) {
    std::vector<float> out = Silence(0.38f);
    Noise noise(seed);
    Filter band;
    band.Set(1300.0f, 0.45f);
    static const float BURSTS[] = {0.0f, 0.010f, 0.021f};
    for (size_t i = 0; i < out.size(); i++) {
        float t = Seconds(i);
        float env = 0.0f;
        for (float b : BURSTS)
            if (t >= b && t < 0.033f) env = fmaxf(env, expf(-(t - b) / 0.005f));
        if (t >= 0.031f) env = fmaxf(env, expf(-(t - 0.031f) / 0.085f));
        float attack = fminf(t / 0.0005f, 1.0f);
        out[i] = band.Band(noise.Next()) * env * attack * 1.6f;
    }
    FadeTail(out, 0.05f);
    return out;
}

// Six square waves at inharmonic ratios: the metal of cymbals.
float Metal(Oscillator* osc, float base) {
    static const float RATIOS[6] = {1.0f, 1.4471f, 1.6170f, 1.9265f, 2.5028f, 2.6637f};
    float sum = 0.0f;
    for (int i = 0; i < 6; i++) sum += osc[i].Square(base * RATIOS[i]);
    return sum / 6.0f;
}

std::vector<float> HiHat(uint32_t seed, bool open) {
    float decay = open ? 0.16f : 0.035f;
    std::vector<float> out = Silence(open ? 0.6f : 0.14f);
    Oscillator osc[6];
    Noise noise(seed);
    Filter high, tone;
    high.Set(7000.0f, 0.2f);
    tone.Set(10000.0f, 0.4f);
    for (size_t i = 0; i < out.size(); i++) {
        float t = Seconds(i);
        float source = 0.55f * Metal(osc, 410.0f) + 0.45f * noise.Next();
        float env = fminf(t / 0.0008f, 1.0f) * expf(-t / decay);
        out[i] = (high.High(source) + 0.5f * tone.Band(source)) * env;
    }
    FadeTail(out, 0.02f);
    return out;
}

std::vector<float> Crash(uint32_t seed, float seconds) {
    std::vector<float> out = Silence(seconds);
    Oscillator osc[6];
    Noise noise(seed);
    Filter high, shimmer;
    high.Set(3500.0f, 0.1f);
    shimmer.Set(7500.0f, 0.5f);
    for (size_t i = 0; i < out.size(); i++) {
        float t = Seconds(i);
        float source = 0.35f * Metal(osc, 330.0f) + 0.65f * noise.Next();
        float env = fminf(t / 0.002f, 1.0f) * expf(-t / (seconds * 0.28f));
        out[i] = (high.High(source) + 0.6f * shimmer.Band(source)) * env;
    }
    FadeTail(out, seconds * 0.2f);
    return out;
}

std::vector<float> PadNote(float note, float length, float brightness, uint32_t seed) {
    Envelope env{0.6f, 0.8f, 0.85f, 1.2f};
    std::vector<float> out = Silence(env.Length(length));
    static const float DETUNE[3] = {-0.09f, 0.0f, 0.07f};
    Oscillator saws[3] = {Oscillator(float(seed % 97) / 97.0f), Oscillator(0.33f),
                          Oscillator(0.71f)};
    Oscillator lfo(float(seed % 13) / 13.0f), sub;
    Filter filter;
    for (size_t i = 0; i < out.size(); i++) {
        float t = Seconds(i);
        float sum = 0.0f;
        for (int v = 0; v < 3; v++) sum += saws[v].Saw(MidiToHz(note + DETUNE[v]));
        sum = sum / 3.0f + 0.25f * sub.Sine(MidiToHz(note - 12.0f));
        // The filter moves slowly, so it is set every 32 samples; the LFO steps with it
        // (32 times its rate per step gives 0.3 Hz).
        if ((i & 31) == 0) {
            float wobble = 1.0f + 0.25f * lfo.Sine(0.3f * 32.0f);
            filter.Set((350.0f + 2600.0f * brightness) * wobble, 0.15f);
        }
        out[i] = filter.Low(sum) * env.Level(t, length);
    }
    return out;
}

std::vector<float> BassNote(float note, float length, float growl) {
    Envelope env{0.003f, 0.25f, 0.75f, 0.06f};
    std::vector<float> out = Silence(env.Length(length));
    Oscillator saw, square(0.25f), sub;
    Filter filter;
    float hz = MidiToHz(note);
    for (size_t i = 0; i < out.size(); i++) {
        float t = Seconds(i);
        if ((i & 15) == 0)
            filter.Set(110.0f + (500.0f + 2400.0f * growl) * expf(-t / 0.09f), 0.35f);
        float raw = 0.6f * saw.Saw(hz) + 0.4f * square.Square(hz * 0.5f, 0.5f);
        out[i] = (filter.Low(raw) + 0.38f * sub.Sine(hz)) * env.Level(t, length);
    }
    return out;
}

std::vector<float> PluckNote(float note, float length, float brightness) {
    Envelope env{0.002f, 0.35f, 0.0f, 0.08f};
    std::vector<float> out = Silence(env.Length(length) + 0.3f);
    Oscillator a, b(0.5f), c;
    Filter filter;
    float hz = MidiToHz(note);
    for (size_t i = 0; i < out.size(); i++) {
        float t = Seconds(i);
        if ((i & 15) == 0) filter.Set(250.0f + 7000.0f * brightness * expf(-t / 0.10f), 0.3f);
        float raw =
            0.45f * a.Saw(hz) + 0.35f * b.Saw(hz * 1.004f) + 0.3f * c.Square(hz * 2.0f, 0.3f);
        out[i] = filter.Low(raw) * env.Level(t, length);
    }
    return out;
}

std::vector<float> BellNote(float note, float length) {
    std::vector<float> out = Silence(length + 2.2f);
    Oscillator modulator, shimmer;
    float hz = MidiToHz(note), carrierPhase = 0.0f;
    for (size_t i = 0; i < out.size(); i++) {
        float t = Seconds(i);
        // Phase modulation at a 3.5 ratio: a bright strike that mellows as the index falls.
        float index = 2.6f * expf(-t / 0.5f) + 0.3f;
        float c = sinf(TWO_PI * carrierPhase + modulator.Sine(hz * 3.5f) * index);
        carrierPhase += hz / float(SAMPLE_RATE);
        carrierPhase -= floorf(carrierPhase);
        float env = fminf(t / 0.002f, 1.0f) * expf(-t / 0.9f);
        out[i] = (0.8f * c + 0.2f * shimmer.Sine(hz * 2.0f) * expf(-t / 0.3f)) * env;
    }
    FadeTail(out, 0.4f);
    return out;
}

std::vector<float> Riser(float length, float fromNote, float toNote, uint32_t seed) {
    std::vector<float> out = Silence(length);
    Oscillator saw, saw2(0.4f), vibrato;
    Noise noise(seed);
    Filter sweep, tone;
    for (size_t i = 0; i < out.size(); i++) {
        float t = Seconds(i), x = t / length;
        float note = fromNote + (toNote - fromNote) * x * x;
        float hz = MidiToHz(note + 0.15f * vibrato.Sine(5.0f + 6.0f * x));
        if ((i & 15) == 0) {
            sweep.Set(300.0f * powf(20.0f, x), 0.45f);
            tone.Set(600.0f + 5000.0f * x, 0.2f);
        }
        float wash = sweep.Band(noise.Next()) * 1.5f;
        float lead = tone.Low(0.5f * saw.Saw(hz) + 0.5f * saw2.Saw(hz * 1.006f));
        float level = powf(x, 1.3f) * fminf(t / 0.01f, 1.0f);
        out[i] = (0.7f * wash + 0.45f * lead) * level;
    }
    FadeTail(out, 0.012f);
    return out;
}

StereoBuffer PingPongDelay(const StereoBuffer& send, float seconds, float feedback) {
    size_t n = send.Frames(), d = size_t(FrameAt(seconds));
    StereoBuffer out(n);
    std::vector<float> lineL(d, 0.0f), lineR(d, 0.0f);
    float dampL = 0.0f, dampR = 0.0f;
    size_t at = 0;
    for (size_t i = 0; i < n; i++) {
        float fromL = lineL[at], fromR = lineR[at];
        // A little darker with every repeat, like tape.
        dampL += 0.45f * (fromL - dampL);
        dampR += 0.45f * (fromR - dampR);
        lineL[at] = 0.5f * (send.left[i] + send.right[i]) + dampR * feedback;
        lineR[at] = dampL;
        out.left[i] = fromL;
        out.right[i] = fromR;
        at = (at + 1) % d;
    }
    return out;
}

namespace {

class Comb {
public:
    explicit Comb(size_t length) : line(length, 0.0f) {}
    float Process(float x, float feedback, float damping) {
        float y = line[at];
        store = y * (1.0f - damping) + store * damping;
        line[at] = x + store * feedback;
        at = (at + 1) % line.size();
        return y;
    }

private:
    std::vector<float> line;
    size_t at = 0;
    float store = 0.0f;
};

class AllPass {
public:
    explicit AllPass(size_t length) : line(length, 0.0f) {}
    float Process(float x) {
        float delayed = line[at];
        line[at] = x + delayed * 0.5f;
        at = (at + 1) % line.size();
        return delayed - x;
    }

private:
    std::vector<float> line;
    size_t at = 0;
};

void ReverbSide(const std::vector<float>& in, std::vector<float>& out, size_t spread, float size,
                float damping) {
    static const size_t COMBS[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const size_t PASSES[4] = {556, 441, 341, 225};
    std::vector<Comb> combs;
    std::vector<AllPass> passes;
    for (size_t c : COMBS) combs.emplace_back(c + spread);
    for (size_t p : PASSES) passes.emplace_back(p + spread);
    for (size_t i = 0; i < in.size(); i++) {
        float x = in[i] * 0.015f, y = 0.0f;
        for (Comb& c : combs) y += c.Process(x, size, damping);
        for (AllPass& p : passes) y = p.Process(y);
        out[i] = y;
    }
}

} // namespace

StereoBuffer Reverb(const StereoBuffer& send, float size, float damping) {
    StereoBuffer out(send.Frames());
    std::vector<float> mono(send.Frames());
    for (size_t i = 0; i < mono.size(); i++) mono[i] = send.left[i] + send.right[i];
    ReverbSide(mono, out.left, 0, size, damping);
    ReverbSide(mono, out.right, 23, size, damping);
    return out;
}

float Peak(const StereoBuffer& mix) {
    float peak = 0.0f;
    for (size_t i = 0; i < mix.Frames(); i++)
        peak = fmaxf(peak, fmaxf(fabsf(mix.left[i]), fabsf(mix.right[i])));
    return peak;
}

void Master(StereoBuffer& mix, float peakLevel) {
    // A gentle high-pass at about 20 Hz first: the kicks' pitch sweeps leave a little DC.
    const float pole = 1.0f - 6.2832f * 20.0f / float(SAMPLE_RATE);
    for (std::vector<float>* side : {&mix.left, &mix.right}) {
        float lastIn = 0.0f, lastOut = 0.0f;
        for (float& s : *side) {
            float out = s - lastIn + pole * lastOut;
            lastIn = s;
            s = lastOut = out;
        }
    }
    float peak = Peak(mix);
    if (peak <= 0.0f) return;
    // Normalise, round the loudest peaks off gently, then settle at the wanted peak.
    const float knee = 1.4f;
    float scale = 1.0f / peak, norm = 1.0f / tanhf(knee);
    for (std::vector<float>* side : {&mix.left, &mix.right})
        for (float& s : *side) s = tanhf(knee * s * scale) * norm;
    float after = Peak(mix);
    for (std::vector<float>* side : {&mix.left, &mix.right})
        for (float& s : *side) s *= peakLevel / after;
}

} // namespace assets
