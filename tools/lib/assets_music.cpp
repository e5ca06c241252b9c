// The arrangement, in D minor at 150 beats a minute: a sixteenth lasts exactly 0.1 s,
// so every moment of the show (and the warp panels' 0.3 s) falls on the grid.
#include "assets_music.h"

#include <math.h>

namespace assets {

const double SECTION_JOINS[6] = {cue::BEAT_START, cue::FIRST_FRAME, cue::RISE,
                                 cue::DROP,       cue::CRASH,       cue::OUTRO};

namespace {

// An MPEG audio encoder and decoder together delay the sound by 1,105 samples (576 of
// encoder look-ahead, 529 of synthesis filter); starting every event that much earlier
// puts it on the show's clock when the encoded file plays.
const long CODEC_LEAD = 1105;

const double BEAT = 0.4, BAR = 1.6, PULSE = 0.3;

struct Chord {
    float root;   // bass note
    float pad[4]; // voicing around middle C
};

// i - VI - III - VII
const Chord CHORDS[4] = {
    {38, {62, 65, 69, 72}}, // D minor 7
    {34, {58, 62, 65, 69}}, // B flat major 7
    {41, {57, 60, 65, 69}}, // F major over A
    {36, {55, 60, 64, 67}}, // C major over G
};

struct Mix {
    StereoBuffer drums, ducked, delaySend, reverbSend;
    std::vector<double> kicks; // times that pump the ducked bus

    explicit Mix(size_t frames)
        : drums(frames), ducked(frames), delaySend(frames), reverbSend(frames) {}
};

long At(double seconds) {
    return FrameAt(seconds) - CODEC_LEAD;
}

void Place(Mix& mix, StereoBuffer& bus, const std::vector<float>& sound, double when, float gain,
           float pan, float delay = 0.0f, float reverb = 0.0f) {
    long at = At(when);
    bus.AddMono(sound, at, gain, pan);
    if (delay > 0.0f) mix.delaySend.AddMono(sound, at, gain * delay, pan);
    if (reverb > 0.0f) mix.reverbSend.AddMono(sound, at, gain * reverb, pan);
}

void KickAt(Mix& mix, double when, float gain, float punch) {
    static const std::vector<float> soft = Kick(0.4f), hard = Kick(1.0f);
    Place(mix, mix.drums, punch > 0.7f ? hard : soft, when, gain, 0.0f, 0.0f, 0.05f);
    mix.kicks.push_back(when);
}

void PadChord(Mix& mix, const Chord& chord, double when, float length, float gain,
              float brightness) {
    static const float PANS[4] = {-0.75f, 0.35f, -0.3f, 0.75f};
    for (int v = 0; v < 4; v++)
        Place(mix, mix.ducked, PadNote(chord.pad[v], length, brightness, uint32_t(v * 31 + 5)),
              when, gain, PANS[v], 0.0f, 0.35f);
}

// 0 .. 2 s: the chord swells out of silence with the fade to white.
void Intro(Mix& mix) {
    std::vector<float> rise[4];
    for (int v = 0; v < 4; v++) {
        rise[v] = PadNote(CHORDS[0].pad[v] + (v == 3 ? 4.0f : 0.0f), 2.1f, 0.25f, uint32_t(v + 1));
        for (size_t i = 0; i < rise[v].size(); i++) {
            float t = float(i) / SAMPLE_RATE;
            float swell = t < 2.0f ? powf(t / 2.0f, 2.2f) : 1.0f;
            rise[v][i] *= swell;
        }
        Place(mix, mix.ducked, rise[v], 0.0, 0.16f, -0.6f + 0.4f * float(v), 0.0f, 0.5f);
    }
    std::vector<float> whoosh = Riser(2.0f, 50.0f, 62.0f, 99);
    Place(mix, mix.drums, whoosh, 0.0, 0.12f, 0.0f, 0.0f, 0.4f);
}

// 2.0 .. 16.3 s: four-on-the-floor, offbeat bass, hats, claps from the second bar,
// an arpeggio from the fifth, and a bell for every frame that opens.
void Groove(Mix& mix) {
    for (int bar = 0;; bar++) {
        double start = cue::BEAT_START + bar * BAR;
        if (start >= cue::RISE) break;
        const Chord& chord = CHORDS[bar % 4];
        double padLength = fmin(BAR, cue::RISE - start);
        PadChord(mix, chord, start, float(padLength), 0.11f, 0.5f + 0.05f * float(bar % 4));
        for (int step = 0; step < 16; step++) {
            double t = start + step * 0.1;
            if (t >= cue::RISE - 0.05) break;
            bool onBeat = step % 4 == 0, offBeat = step % 4 == 2;
            if (onBeat) KickAt(mix, t, 0.72f, 0.8f);
            if (offBeat) {
                Place(mix, mix.ducked, BassNote(chord.root, 0.16f, 0.55f), t, 0.42f, 0.0f);
                Place(mix, mix.drums, HiHat(uint32_t(step + bar * 16), false), t, 0.34f, 0.3f);
            } else if (bar >= 2) {
                float accent = step % 4 == 3 ? 0.20f : 0.12f;
                Place(mix, mix.drums, HiHat(uint32_t(step + bar * 16), false), t, accent, -0.35f);
            }
            if (bar >= 2 && step % 4 == 3 && (step / 4) % 2 == 1)
                Place(mix, mix.ducked, BassNote(chord.root + 12, 0.08f, 0.8f), t, 0.22f, 0.0f);
            if (bar >= 1 && (step == 4 || step == 12))
                Place(mix, mix.drums, Clap(uint32_t(bar * 3 + step)), t, 0.45f, -0.05f, 0.0f,
                      0.25f);
            if (bar >= 4) {
                static const int ORDER[8] = {0, 1, 2, 3, 2, 1, 3, 2};
                float note = chord.pad[ORDER[step % 8]] + 12.0f;
                float pan = (step % 2) ? 0.7f : -0.7f;
                Place(mix, mix.ducked, PluckNote(note, 0.07f, 0.55f), t, 0.10f, pan, 0.4f, 0.1f);
            }
        }
    }
    // One bell for every frame that opens, climbing the scale.
    static const float BELLS[11] = {74, 76, 77, 79, 81, 82, 84, 86, 88, 89, 93};
    for (int k = 0; k < 11; k++) {
        double t = cue::FIRST_FRAME + k * 0.5;
        float pan = (k % 2) ? 0.35f : -0.35f;
        Place(mix, mix.drums, BellNote(BELLS[k], 0.3f), t, 0.13f, pan, 0.25f, 0.35f);
        Place(mix, mix.drums, HiHat(uint32_t(500 + k), true), t, 0.12f, -pan);
    }
}

// 16.3 .. 17.3 s: the beat stops, a sweep and a snare roll climb into the drop.
void Rise(Mix& mix) {
    Place(mix, mix.drums, Riser(float(cue::DROP - cue::RISE), 50.0f, 74.0f, 7), cue::RISE, 0.36f,
          0.0f, 0.0f, 0.3f);
    double t = cue::RISE;
    int hit = 0;
    while (t < cue::DROP - 0.04) {
        float x = float((t - cue::RISE) / (cue::DROP - cue::RISE));
        Place(mix, mix.drums, Snare(uint32_t(900 + hit)), t, 0.12f + 0.30f * x * x, 0.1f, 0.0f,
              0.2f);
        t += x < 0.5f ? 0.1 : 0.05;
        hit++;
    }
    PadChord(mix, CHORDS[3], cue::RISE, 0.9f, 0.06f, 0.6f);
}

// 17.3 .. 23.0 s: half-time drop on the panels' 0.3 s pulse; a pluck for each of the
// eleven panels, echoed by a delay of the same length.
void Drop(Mix& mix) {
    KickAt(mix, cue::DROP, 1.0f, 1.0f);
    Place(mix, mix.ducked, BassNote(26.0f, 0.9f, 0.2f), cue::DROP, 0.5f, 0.0f);
    static const float MOTIF[11] = {74, 77, 81, 79, 77, 74, 72, 74, 77, 81, 86};
    for (int k = 0;; k++) {
        double t = cue::DROP + k * PULSE;
        if (t >= cue::CRASH - 0.01) break;
        const Chord& chord = CHORDS[(k / 4) % 4];
        if (k % 4 == 0) PadChord(mix, chord, t, float(fmin(1.2, cue::CRASH - t)), 0.10f, 0.65f);
        if (k % 2 == 0 && k > 0) KickAt(mix, t, 0.75f, 1.0f);
        if (k % 4 == 2) Place(mix, mix.drums, Snare(uint32_t(k)), t, 0.42f, 0.0f, 0.0f, 0.3f);
        float bassNote = chord.root + ((k % 2) ? 12.0f : 0.0f);
        Place(mix, mix.ducked, BassNote(bassNote, 0.24f, 0.85f), t, 0.34f, 0.0f);
        Place(mix, mix.drums, HiHat(uint32_t(2000 + k), false), t + PULSE * 0.5, 0.28f, -0.4f);
        if (k % 4 == 3) Place(mix, mix.drums, HiHat(uint32_t(3000 + k), true), t, 0.14f, 0.4f);
        if (k < 11) {
            Place(mix, mix.ducked, PluckNote(MOTIF[k], 0.2f, 0.85f), t, 0.17f,
                  (k % 2) ? 0.3f : -0.3f, 0.5f, 0.2f);
        } else {
            float note = chord.pad[k % 4] + 12.0f;
            Place(mix, mix.ducked, PluckNote(note, 0.12f, 0.6f), t, 0.09f, (k % 2) ? 0.4f : -0.4f,
                  0.4f, 0.15f);
        }
    }
}

// 23.0 .. 24.0 s: a crash as the screen whitens, and a wash of noise that rises into it.
void Whiteout(Mix& mix) {
    KickAt(mix, cue::CRASH, 1.0f, 1.0f);
    Place(mix, mix.drums, Crash(77, 3.2f), cue::CRASH, 0.42f, 0.0f, 0.0f, 0.4f);
    Place(mix, mix.ducked, BassNote(26.0f, 0.8f, 0.3f), cue::CRASH, 0.45f, 0.0f);
    PadChord(mix, CHORDS[0], cue::CRASH, 1.0f, 0.08f, 0.8f);
    Place(mix, mix.drums, Riser(float(cue::OUTRO - cue::CRASH), 62.0f, 86.0f, 31), cue::CRASH,
          0.16f, 0.0f, 0.0f, 0.5f);
}

// 24.0 s to the end: slow chords, a falling bell line, a soft pulse that thins out.
void Outro(Mix& mix) {
    static const int ORDER[4] = {0, 1, 2, 0};
    for (int c = 0; c < 4; c++) {
        double t = cue::OUTRO + c * 2.4;
        float length = c < 3 ? 2.4f : 1.4f;
        const Chord& chord = CHORDS[ORDER[c]];
        PadChord(mix, chord, t, length, 0.10f, 0.3f - 0.05f * float(c));
        Place(mix, mix.ducked, BassNote(chord.root, length - 0.1f, 0.1f), t, 0.36f, 0.0f);
    }
    static const float BELLS[9] = {86, 81, 77, 74, 77, 72, 74, 69, 74};
    for (int k = 0; k < 9; k++) {
        double t = cue::OUTRO + k * 0.8;
        float gain = 0.14f * (1.0f - 0.07f * float(k));
        Place(mix, mix.drums, BellNote(BELLS[k], 0.3f), t, gain, (k % 2) ? 0.4f : -0.4f, 0.35f,
              0.45f);
    }
    for (int k = 1; k < 8; k++) KickAt(mix, cue::OUTRO + k * 0.8, 0.5f * (1.0f - 0.1f * k), 0.3f);
}

// Each kick pulls the pads and bass down for a moment, so the beat breathes.
std::vector<float> DuckingCurve(const std::vector<double>& kicks, size_t frames) {
    std::vector<float> curve(frames, 1.0f);
    for (double when : kicks) {
        long start = At(when);
        for (long i = 0; i < FrameAt(0.35); i++) {
            long f = start + i;
            if (f < 0 || f >= long(frames)) continue;
            float t = float(i) / SAMPLE_RATE;
            float depth = 0.5f * fminf(t / 0.004f, 1.0f) * expf(-t / 0.09f);
            curve[size_t(f)] = fminf(curve[size_t(f)], 1.0f - depth);
        }
    }
    return curve;
}

// The last seconds fade to silence so the file ends without a step.
void FadeOut(StereoBuffer& mix, double from, double to) {
    for (size_t i = 0; i < mix.Frames(); i++) {
        double t = double(i) / SAMPLE_RATE;
        float g = t <= from ? 1.0f : (t >= to ? 0.0f : float((to - t) / (to - from)));
        mix.left[i] *= g * g;
        mix.right[i] *= g * g;
    }
}

} // namespace

StereoBuffer RenderMusic() {
    Mix mix{size_t(MUSIC_FRAMES)};
    Intro(mix);
    Groove(mix);
    Rise(mix);
    Drop(mix);
    Whiteout(mix);
    Outro(mix);
    std::vector<float> duck = DuckingCurve(mix.kicks, size_t(MUSIC_FRAMES));
    for (size_t i = 0; i < duck.size(); i++) {
        mix.ducked.left[i] *= duck[i];
        mix.ducked.right[i] *= duck[i];
    }
    StereoBuffer out{size_t(MUSIC_FRAMES)};
    out.Add(mix.drums, 1.0f);
    out.Add(mix.ducked, 1.0f);
    out.Add(PingPongDelay(mix.delaySend, float(PULSE), 0.45f), 0.6f);
    out.Add(Reverb(mix.reverbSend, 0.86f, 0.35f), 1.0f);
    FadeOut(out, 31.6, 33.2);
    Master(out, MUSIC_PEAK);
    return out;
}

} // namespace assets
