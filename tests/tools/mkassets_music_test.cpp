// The synthesiser's parts, the music against the show's needs (length, headroom, no
// clicks), the WAV writer, and the encoded vd.mp3 the data build made.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "assets_music.h"
#include "assets_synth.h"
#include "assets_wav.h"
#include "fileio.h"

using namespace assets;

namespace {

float PeakOf(const std::vector<float>& s) {
    float p = 0;
    for (float v : s) p = fmaxf(p, fabsf(v));
    return p;
}

float RmsOf(const std::vector<float>& s, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; i++) sum += double(s[i]) * s[i];
    return float(sqrt(sum / double(to - from)));
}

std::vector<float> FilteredSine(float hz, float cutoff, int mode) {
    Filter f;
    f.Set(cutoff, 0.0f);
    Oscillator osc;
    std::vector<float> out(SAMPLE_RATE / 2);
    for (float& v : out) {
        float x = osc.Sine(hz);
        v = mode == 0 ? f.Low(x) : mode == 1 ? f.High(x) : f.Band(x);
    }
    return out;
}

const StereoBuffer& Music() {
    static StereoBuffer music = RenderMusic();
    return music;
}

} // namespace

TEST(MkassetsSynth, FilterPassesAndStopsWhereItShould) {
    // A two-pole low-pass a decade above its cutoff is down about 40 dB, an octave
    // below it within a decibel; the high-pass mirrors it.
    auto db = [](float a) { return 20.0f * log10f(a / 0.70710678f); };
    size_t settle = SAMPLE_RATE / 10;
    float passLow = RmsOf(FilteredSine(125.0f, 1000.0f, 0), settle, SAMPLE_RATE / 2);
    float stopLow = RmsOf(FilteredSine(10000.0f, 1000.0f, 0), settle, SAMPLE_RATE / 2);
    EXPECT_NEAR(db(passLow), 0.0f, 1.0f);
    EXPECT_LT(db(stopLow), -35.0f);
    float passHigh = RmsOf(FilteredSine(10000.0f, 1000.0f, 1), settle, SAMPLE_RATE / 2);
    float stopHigh = RmsOf(FilteredSine(100.0f, 1000.0f, 1), settle, SAMPLE_RATE / 2);
    EXPECT_NEAR(db(passHigh), 0.0f, 1.0f);
    EXPECT_LT(db(stopHigh), -35.0f);
}

TEST(MkassetsSynth, FilterStaysStableAtExtremeSettings) {
    Filter f;
    f.Set(1e6f, 5.0f); // above Nyquist, resonance past the limit: both are clamped
    Noise n(3);
    float peak = 0;
    for (int i = 0; i < SAMPLE_RATE; i++) peak = fmaxf(peak, fabsf(f.Low(n.Next())));
    EXPECT_TRUE(std::isfinite(peak));
    EXPECT_LT(peak, 100.0f);
}

TEST(MkassetsSynth, OscillatorsRunAtTheirFrequency) {
    for (float hz : {55.0f, 441.0f, 3000.0f}) {
        // The saw crosses zero upwards once per cycle, on its ramp; the square rises once.
        Oscillator saw, square;
        int sawCrossings = 0, squareRises = 0;
        float lastSaw = saw.Saw(hz), lastSquare = square.Square(hz);
        for (int i = 1; i < SAMPLE_RATE; i++) {
            float s = saw.Saw(hz), q = square.Square(hz);
            if (s >= 0.0f && lastSaw < 0.0f) sawCrossings++;
            if (q > 0.0f && lastSquare <= 0.0f) squareRises++;
            lastSaw = s, lastSquare = q;
        }
        EXPECT_NEAR(sawCrossings, hz, 1.5f) << hz;
        EXPECT_NEAR(squareRises, hz, 1.5f) << hz;
    }
}

TEST(MkassetsSynth, BandLimitedSawOvershootsLittle) {
    Oscillator saw;
    float peak = 0;
    for (int i = 0; i < SAMPLE_RATE; i++) peak = fmaxf(peak, fabsf(saw.Saw(5000.0f)));
    EXPECT_LT(peak, 1.3f);
    EXPECT_GT(peak, 0.7f);
}

TEST(MkassetsSynth, EnvelopeIsContinuousAndEndsAtZero) {
    Envelope env{0.01f, 0.2f, 0.5f, 0.3f};
    EXPECT_FLOAT_EQ(env.Level(0.0f, 1.0f), 0.0f);
    EXPECT_NEAR(env.Level(0.005f, 1.0f), 0.5f, 1e-4f);
    EXPECT_NEAR(env.Level(0.01f, 1.0f), 1.0f, 1e-4f);
    EXPECT_NEAR(env.Level(0.9f, 1.0f), 0.5f, 0.01f);
    // A note released during its attack falls from where it was, not from the top.
    float atRelease = env.Level(0.004999f, 0.005f);
    EXPECT_NEAR(env.Level(0.005001f, 0.005f), atRelease, 0.01f);
    EXPECT_EQ(env.Level(0.005f + 0.3f, 0.005f), 0.0f);
    float step = 0;
    for (float t = 0; t < 1.4f; t += 1.0f / SAMPLE_RATE)
        step = fmaxf(step, fabsf(env.Level(t + 1.0f / SAMPLE_RATE, 1.0f) - env.Level(t, 1.0f)));
    EXPECT_LT(step, 0.01f);
}

TEST(MkassetsSynth, EveryVoiceStartsAndEndsInSilence) {
    // A sound that starts or stops away from zero clicks wherever it is placed.
    std::vector<std::pair<const char*, std::vector<float>>> voices = {
        {"kick", Kick(1.0f)},
        {"snare", Snare(1)},
        {"clap", Clap(2)},
        {"closed hat", HiHat(3, false)},
        {"open hat", HiHat(4, true)},
        {"crash", Crash(5, 3.0f)},
        {"pad", PadNote(60, 1.0f, 0.5f, 6)},
        {"bass", BassNote(36, 0.2f, 0.8f)},
        {"pluck", PluckNote(72, 0.1f, 0.9f)},
        {"bell", BellNote(84, 0.3f)},
        {"riser", Riser(1.0f, 50, 74, 7)},
    };
    for (const auto& v : voices) {
        const std::vector<float>& s = v.second;
        ASSERT_GT(s.size(), 100u) << v.first;
        EXPECT_LT(fabsf(s.front()), 0.02f) << v.first;
        EXPECT_LT(fabsf(s.back()), 1e-3f) << v.first;
        EXPECT_GT(PeakOf(s), 0.05f) << v.first << " is silent";
        EXPECT_LT(PeakOf(s), 4.0f) << v.first;
    }
}

TEST(MkassetsSynth, MonoIsPannedAtConstantPowerAndClippedToTheBuffer) {
    StereoBuffer b(10);
    std::vector<float> one(4, 1.0f);
    b.AddMono(one, -2, 1.0f, 0.0f); // two samples fall before the start
    b.AddMono(one, 8, 1.0f, -1.0f); // two fall past the end
    EXPECT_NEAR(b.left[0], 1.0f, 1e-5f);
    EXPECT_NEAR(b.right[0], 1.0f, 1e-5f);
    EXPECT_EQ(b.left[2], 0.0f);
    EXPECT_NEAR(b.left[9], 1.41421356f, 1e-5f);
    EXPECT_NEAR(b.right[9], 0.0f, 1e-5f);
}

TEST(MkassetsSynth, DelayRepeatsAfterItsTimeAndDies) {
    StereoBuffer send(SAMPLE_RATE * 4);
    send.left[0] = send.right[0] = 1.0f;
    StereoBuffer out = PingPongDelay(send, 0.3f, 0.5f);
    long d = FrameAt(0.3);
    EXPECT_EQ(out.left[0], 0.0f);
    EXPECT_NEAR(out.left[size_t(d)], 1.0f, 1e-6f);        // first repeat on the left
    EXPECT_GT(fabsf(out.right[size_t(2 * d) + 1]), 0.0f); // then across to the right
    float tail = 0;
    for (size_t i = size_t(3 * SAMPLE_RATE); i < out.Frames(); i++)
        tail = fmaxf(tail, fabsf(out.left[i]));
    EXPECT_LT(tail, 0.01f);
}

TEST(MkassetsSynth, ReverbSpreadsAnImpulseAndDecays) {
    StereoBuffer send(SAMPLE_RATE * 6);
    send.left[0] = 1.0f;
    StereoBuffer out = Reverb(send, 0.84f, 0.3f);
    float early = 0, late = 0;
    for (size_t i = 0; i < size_t(SAMPLE_RATE / 2); i++) early = fmaxf(early, fabsf(out.left[i]));
    for (size_t i = size_t(5 * SAMPLE_RATE); i < out.Frames(); i++)
        late = fmaxf(late, fabsf(out.left[i]));
    EXPECT_GT(early, 1e-4f);
    EXPECT_LT(late, early * 0.01f);
    EXPECT_NE(out.left[3000], out.right[3000]); // the sides differ: a stereo image
}

TEST(MkassetsSynth, MasterBringsThePeakToTheTarget) {
    StereoBuffer mix(1000);
    for (size_t i = 0; i < 1000; i++) mix.left[i] = mix.right[i] = 3.0f * sinf(float(i) * 0.05f);
    Master(mix, 0.5f);
    EXPECT_NEAR(Peak(mix), 0.5f, 1e-5f);
    StereoBuffer silent(100);
    Master(silent, 0.5f); // nothing to scale, nothing divided by zero
    EXPECT_EQ(Peak(silent), 0.0f);
}

TEST(MkassetsSynth, MasterTakesOutDcButKeepsTheMusic) {
    StereoBuffer mix(SAMPLE_RATE * 2);
    for (size_t i = 0; i < mix.Frames(); i++)
        mix.left[i] = mix.right[i] = 0.3f + 0.5f * sinf(float(i) * 6.2832f * 220.0f / SAMPLE_RATE);
    Master(mix, 0.8f);
    double mean = 0, power = 0;
    size_t settled = SAMPLE_RATE / 2; // the high-pass needs a moment to forget the start
    for (size_t i = settled; i < mix.Frames(); i++) {
        mean += mix.left[i];
        power += double(mix.left[i]) * mix.left[i];
    }
    mean /= double(mix.Frames() - settled);
    power /= double(mix.Frames() - settled);
    EXPECT_LT(fabs(mean), 0.01);
    EXPECT_GT(sqrt(power), 0.4); // the 220 Hz tone is still there at full size
}

TEST(MkassetsMusic, LastsExactlyTheShowsLengthWithHeadroom) {
    const StereoBuffer& m = Music();
    ASSERT_EQ(m.Frames(), size_t(MUSIC_FRAMES));
    EXPECT_NEAR(double(m.Frames()) / SAMPLE_RATE, 33.36, 0.002);
    float peak = Peak(m);
    EXPECT_LT(peak, powf(10.0f, -1.0f / 20.0f)); // below -1 dBFS
    EXPECT_GT(peak, 0.5f);
    EXPECT_LT(fabsf(m.left.front()) + fabsf(m.right.front()), 1e-4f);
    EXPECT_LT(fabsf(m.left.back()) + fabsf(m.right.back()), 1e-4f);
}

TEST(MkassetsMusic, FollowsTheShowsSections) {
    const StereoBuffer& m = Music();
    auto level = [&](double from, double to) {
        return RmsOf(m.left, size_t(FrameAt(from)), size_t(FrameAt(to)));
    };
    // A swell: quiet at first, louder towards 2 s.
    EXPECT_LT(level(0.0, 0.5), level(1.5, 2.0) * 0.3f);
    // The beat is there from 2 s.
    EXPECT_GT(level(2.05, 3.0), level(1.5, 2.0));
    // The drop is fuller than the moment before it, the outro calmer than the drop.
    EXPECT_GT(level(17.3, 18.3), level(16.3, 16.8) * 1.5f);
    EXPECT_LT(level(26.0, 30.0), level(18.0, 22.0));
    // It ends in silence.
    EXPECT_LT(level(33.2, 33.35), 1e-4f);
}

TEST(MkassetsMusic, NoClickAtTheSectionJoins) {
    // Around each join the largest sample-to-sample step is no bigger than the largest
    // step seen elsewhere in the same second: a discontinuity would stand out.
    const StereoBuffer& m = Music();
    auto maxStep = [&](long from, long to) {
        float s = 0;
        for (long i = from + 1; i < to; i++) {
            s = fmaxf(s, fabsf(m.left[size_t(i)] - m.left[size_t(i - 1)]));
            s = fmaxf(s, fabsf(m.right[size_t(i)] - m.right[size_t(i - 1)]));
        }
        return s;
    };
    for (double join : SECTION_JOINS) {
        long at = FrameAt(join) - 1105; // the events are placed ahead of the codec's delay
        float near = maxStep(at - 64, at + 64);
        float around = maxStep(at - SAMPLE_RATE / 2, at + SAMPLE_RATE / 2);
        EXPECT_LE(near, around) << join;
        EXPECT_LT(near, 0.5f) << join;
    }
}

TEST(MkassetsMusic, RendersTheSameSamplesEveryTime) {
    StereoBuffer again = RenderMusic();
    EXPECT_TRUE(again.left == Music().left);
    EXPECT_TRUE(again.right == Music().right);
}

TEST(MkassetsWav, HeaderAndSamplesRoundTrip) {
    StereoBuffer a(3);
    a.left = {0.0f, 0.5f, -1.0f};
    a.right = {2.0f, -2.0f, 0.25f}; // beyond full scale: limited, not wrapped
    std::vector<uint8_t> bytes = EncodeWav(a);
    ASSERT_EQ(bytes.size(), 44u + 12u);
    EXPECT_EQ(memcmp(bytes.data(), "RIFF", 4), 0);
    EXPECT_EQ(bytes[4] | bytes[5] << 8, 36 + 12);
    EXPECT_EQ(memcmp(bytes.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(bytes[22], 2);                                            // channels
    EXPECT_EQ(bytes[24] | bytes[25] << 8 | bytes[26] << 16, 44100);     // rate
    EXPECT_EQ(bytes[28] | bytes[29] << 8 | bytes[30] << 16, 44100 * 4); // byte rate
    EXPECT_EQ(bytes[34], 16);
    StereoBuffer b;
    int rate = 0;
    std::string error;
    ASSERT_TRUE(DecodeWav(bytes, b, rate, error)) << error;
    EXPECT_EQ(rate, 44100);
    ASSERT_EQ(b.Frames(), 3u);
    EXPECT_NEAR(b.left[1], 0.5f, 1e-4f);
    EXPECT_NEAR(b.left[2], -32767.0f / 32768.0f, 1e-6f);
    EXPECT_NEAR(b.right[0], 32767.0f / 32768.0f, 1e-6f);
    EXPECT_NEAR(b.right[1], -1.0f, 1e-6f);
}

TEST(MkassetsWav, DamagedFilesAreRefused) {
    StereoBuffer a(100);
    std::vector<uint8_t> bytes = EncodeWav(a);
    StereoBuffer b;
    int rate = 0;
    std::string error;
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 60); // data chunk runs past the end
    EXPECT_FALSE(DecodeWav(cut, b, rate, error));
    std::vector<uint8_t> wrong = bytes;
    memcpy(wrong.data() + 8, "AVI ", 4);
    EXPECT_FALSE(DecodeWav(wrong, b, rate, error));
    std::vector<uint8_t> tiny(bytes.begin(), bytes.begin() + 5);
    EXPECT_FALSE(DecodeWav(tiny, b, rate, error));
}

namespace {

struct FrameHeader {
    int version, layer, bitrate, rate, mode;
    size_t bytes;
};

bool ParseHeader(const uint8_t* p, FrameHeader& h) {
    static const int BITRATES[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                     112, 128, 160, 192, 224, 256, 320, 0};
    static const int RATES[4] = {44100, 48000, 32000, 0};
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
    h.version = (p[1] >> 3) & 3;
    h.layer = (p[1] >> 1) & 3;
    h.bitrate = BITRATES[p[2] >> 4];
    h.rate = RATES[(p[2] >> 2) & 3];
    h.mode = p[3] >> 6;
    if (h.version != 3 || h.layer != 1 || !h.bitrate || !h.rate) return false;
    h.bytes = size_t(144000 * h.bitrate / h.rate + ((p[2] >> 1) & 1));
    return true;
}

std::string DataPath(const char* name) {
    return std::string(PRISMATEL_BINARY_DIR) + "/data/" + name;
}

} // namespace

TEST(MkassetsMp3, TaggedConstantBitrateStereoWithoutInfoFrame) {
    std::vector<uint8_t> mp3;
    std::string error;
    if (!fileio::ReadAll(DataPath("vd.mp3"), mp3, error)) GTEST_SKIP() << "data not built";
    ASSERT_GT(mp3.size(), 10u);
    ASSERT_EQ(memcmp(mp3.data(), "ID3", 3), 0);
    EXPECT_EQ(mp3[3], 3) << "ID3v2.3";
    size_t tag = 10 + (size_t(mp3[6]) << 21 | size_t(mp3[7]) << 14 | size_t(mp3[8]) << 7 | mp3[9]);
    std::string head(mp3.begin(), mp3.begin() + long(tag));
    EXPECT_NE(head.find("TIT2"), std::string::npos);
    EXPECT_NE(head.find("TPE1"), std::string::npos);
    // The demo skips the tag by scanning for the first frame sync (FF then E0 or more),
    // not by its size: nothing inside the tag may look like one.
    for (size_t i = 0; i + 1 < tag; i++)
        ASSERT_FALSE(mp3[i] == 0xFF && mp3[i + 1] >= 0xE0) << "false frame sync at " << i;
    size_t at = tag, frames = 0;
    while (at + 4 <= mp3.size()) {
        FrameHeader h;
        ASSERT_TRUE(ParseHeader(mp3.data() + at, h)) << "frame " << frames << " at " << at;
        EXPECT_EQ(h.bitrate, 192);
        EXPECT_EQ(h.rate, 44100);
        EXPECT_NE(h.mode, 3) << "not mono";
        if (frames == 0) {
            std::string first(mp3.begin() + long(at), mp3.begin() + long(at + h.bytes));
            EXPECT_EQ(first.find("Xing"), std::string::npos);
            EXPECT_EQ(first.find("Info"), std::string::npos);
        }
        at += h.bytes;
        frames++;
    }
    EXPECT_EQ(at, mp3.size()) << "no trailing tag or junk";
    EXPECT_NEAR(double(frames), double(MUSIC_FRAMES) / 1152.0, 2.0);
}

TEST(MkassetsMp3, DecodesWithMpg123ToTheShowsLengthBelowFullScale) {
    std::string mp3 = DataPath("vd.mp3");
    FILE* probe = fopen(mp3.c_str(), "rb");
    if (!probe) GTEST_SKIP() << "data not built";
    fclose(probe);
    if (system("command -v mpg123 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no mpg123";
    std::string wav = "/tmp/mkassets_music_test_" + std::to_string(getpid()) + ".wav";
    std::string command = "mpg123 -q -w " + wav + " " + mp3;
    ASSERT_EQ(system(command.c_str()), 0) << command;
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(fileio::ReadAll(wav, bytes, error)) << error;
    remove(wav.c_str());
    StereoBuffer decoded;
    int rate = 0;
    ASSERT_TRUE(DecodeWav(bytes, decoded, rate, error)) << error;
    EXPECT_EQ(rate, 44100);
    // Without an Info frame the decoder cannot trim the codec's padding: one frame more.
    EXPECT_NEAR(double(decoded.Frames()), double(MUSIC_FRAMES), 1152.0);
    EXPECT_LT(Peak(decoded), 32767.0f / 32768.0f);
    EXPECT_GT(Peak(decoded), 0.5f);
    // The codec's delay is what the arrangement allows for: the beat's first kick
    // lands at 2.0 s of the decoded sound.
    float before = 0, after = 0;
    for (long i = FrameAt(1.95); i < FrameAt(1.999); i++)
        before = fmaxf(before, fabsf(decoded.left[size_t(i)]));
    for (long i = FrameAt(2.0); i < FrameAt(2.05); i++)
        after = fmaxf(after, fabsf(decoded.left[size_t(i)]));
    EXPECT_GT(after, before * 1.5f);
}
