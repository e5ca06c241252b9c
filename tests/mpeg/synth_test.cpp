// The synthesis filter against a direct evaluation of the standard's synthesis procedure
// (shift of V, U selection, windowing) with the decoder's window, and its output formats.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <memory>
#include <random>
#include <vector>

#include "mpegstream.h"

namespace {

// The window the decoder means to realise, D(x) = (-1)^(x / 64) f(x) in 16-bit units, taken
// back out of the decoder's own table W[32m + n] = +-f(32n + m) so that the reference and the
// decoder share f but nothing else.
double WindowAt(const sMpegStream& s, int x) {
    int m = x & 31, n = (x >> 5) & 31;
    int r = 32 * m + n;
    double f = (r & 2) ? s.window[r] : -s.window[r];
    return (((x / 64) & 1) ? -1.0 : 1.0) * f;
}

// The standard's synthesis for one channel, in double precision.
struct ReferenceSynth {
    double v[1024] = {};
    void Slot(const sMpegStream& s, const float* x, double* out) {
        memmove(v + 64, v, sizeof(double) * 960);
        for (int i = 0; i < 64; i++) {
            double sum = 0.0;
            for (int k = 0; k < 32; k++) sum += cos((16 + i) * (2 * k + 1) * M_PI / 64.0) * x[k];
            v[i] = sum;
        }
        double u[512];
        for (int i = 0; i < 8; i++)
            for (int j = 0; j < 32; j++) {
                u[64 * i + j] = v[128 * i + j];
                u[64 * i + 32 + j] = v[128 * i + 96 + j];
            }
        for (int j = 0; j < 32; j++) {
            double sum = 0.0;
            for (int i = 0; i < 16; i++) sum += u[j + 32 * i] * WindowAt(s, j + 32 * i);
            out[j] = sum;
        }
    }
};

// A decoder set up for synthesis alone: float output, the given channels.
std::unique_ptr<sMpegStream> SynthOnly(int streamChannels, int requested, int bytes, int shift) {
    auto s = std::make_unique<sMpegStream>();
    s->streamChannels = streamChannels;
    s->requestedChannels = requested;
    s->bytesPerSample = bytes;
    s->downShift = shift;
    s->SynthConfigure();
    return s;
}

void FillRandom(sMpegStream* s, unsigned seed, float scale) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-scale, scale);
    for (int c = 0; c < 2; c++)
        for (int i = 0; i < sMpegStream::FRAME_SAMPLES; i++) s->subband[c][i] = d(rng);
}

std::vector<float> SynthFloat(sMpegStream* s) {
    std::vector<float> out(sMpegStream::FRAME_SAMPLES * 2);
    s->Synthesize(reinterpret_cast<uint8_t*>(out.data()));
    return out;
}

TEST(Synthesis, FullRateMatchesTheStandardProcedure) {
    auto s = SynthOnly(2, 2, 4, 0);
    ReferenceSynth ref[2];
    double worst = 0.0, peak = 0.0;
    for (int frame = 0; frame < 3; frame++) {
        FillRandom(s.get(), 10 + frame, 0.5f);
        std::vector<float> got = SynthFloat(s.get());
        for (int slot = 0; slot < 36; slot++)
            for (int c = 0; c < 2; c++) {
                double expect[32];
                ref[c].Slot(*s, &s->subband[c][slot * 32], expect);
                for (int j = 0; j < 32; j++) {
                    double g = got[(slot * 32 + j) * 2 + c];
                    worst = fmax(worst, fabs(g - expect[j]));
                    peak = fmax(peak, fabs(expect[j]));
                }
            }
    }
    EXPECT_GT(peak, 1000.0);
    EXPECT_LT(worst, peak * 1e-5);
}

TEST(Synthesis, ComputedWindowFollowsTheStandardShape) {
    auto s = SynthOnly(1, 1, 2, 0);
    // Taps with their signs, in 16-bit units (32768 * D[x]): the centre is positive, the
    // first 64 taps negative; a wrong sign pattern inverts the output.
    EXPECT_NEAR(WindowAt(*s, 256), 37519.0, 1.0);
    EXPECT_NEAR(WindowAt(*s, 255), -37496.3, 30.0);
    EXPECT_NEAR(WindowAt(*s, 257), 37496.3, 30.0);
    EXPECT_NEAR(WindowAt(*s, 128), 1018.5, 30.0);
    EXPECT_NEAR(WindowAt(*s, 192), 3287.0, 30.0);
    EXPECT_NEAR(WindowAt(*s, 32), -0.000442505 * 32768, 10.0);
    EXPECT_NEAR(WindowAt(*s, 0), 0.0, 0.01);
}

TEST(Synthesis, SixteenBitOutputClampsInsteadOfWrapping) {
    auto s = SynthOnly(1, 1, 2, 0);
    std::vector<int16_t> out(sMpegStream::FRAME_SAMPLES);
    bool sawHigh = false, sawLow = false;
    for (int frame = 0; frame < 4; frame++) {
        // Full-scale alternating input in the low subbands drives the filter past full scale.
        for (int slot = 0; slot < 36; slot++)
            for (int sb = 0; sb < 32; sb++)
                s->subband[0][slot * 32 + sb] = (sb < 4) ? ((slot / 3) & 1 ? 2.0f : -2.0f) : 0.0f;
        s->Synthesize(reinterpret_cast<uint8_t*>(out.data()));
        for (int16_t v : out) {
            sawHigh = sawHigh || v == 32767;
            sawLow = sawLow || v == -32768;
        }
    }
    EXPECT_TRUE(sawHigh);
    EXPECT_TRUE(sawLow);
    // The float path on the same input is not clamped.
    auto f = SynthOnly(1, 1, 4, 0);
    float biggest = 0.0f;
    for (int frame = 0; frame < 4; frame++) {
        memcpy(f->subband, s->subband, sizeof(f->subband));
        std::vector<float> got(sMpegStream::FRAME_SAMPLES);
        f->Synthesize(reinterpret_cast<uint8_t*>(got.data()));
        for (float v : got) biggest = fmax(biggest, fabs(v));
    }
    EXPECT_GT(biggest, 32768.0f);
}

TEST(Synthesis, StereoToOneChannelIsTheMeanOfLeftAndRight) {
    auto both = SynthOnly(2, 2, 4, 0);
    auto mono = SynthOnly(2, 1, 4, 0);
    for (int frame = 0; frame < 2; frame++) {
        FillRandom(both.get(), 40 + frame, 0.3f);
        memcpy(mono->subband, both->subband, sizeof(mono->subband));
        std::vector<float> stereo = SynthFloat(both.get());
        std::vector<float> down = SynthFloat(mono.get());
        for (int i = 0; i < sMpegStream::FRAME_SAMPLES; i++)
            ASSERT_NEAR(down[i], (stereo[2 * i] + stereo[2 * i + 1]) * 0.5f, 0.05f) << i;
    }
}

TEST(Synthesis, MonoWrittenToBothChannelsAndMatrixGains) {
    auto s = SynthOnly(1, 2, 4, 0);
    EXPECT_EQ(s->duplicate, 1);
    EXPECT_EQ(s->synthChannels, 1);
    FillRandom(s.get(), 7, 0.3f);
    s->matrixOn = 1;
    const float m[9] = {1, 0, 0.25f, 0, 1, -2.0f, 0.5f, 0.5f, 1};
    memcpy(s->matrix, m, sizeof(m));
    std::vector<float> out = SynthFloat(s.get());
    for (int i = 0; i < sMpegStream::FRAME_SAMPLES; i++)
        ASSERT_FLOAT_EQ(out[2 * i + 1], out[2 * i] / 0.25f * -2.0f);
}

// A sine in subband 0 comes out at the same frequency at every rate, with n samples a slot.
TEST(Synthesis, ReducedRatesKeepTheSignalAndShortenTheSlots) {
    for (int shift = 0; shift <= 2; shift++) {
        auto s = SynthOnly(1, 1, 4, shift);
        int perSlot = 32 >> shift;
        std::vector<float> all;
        for (int frame = 0; frame < 8; frame++) {
            // A slow cosine in subband 0: one period every 12 slots.
            for (int slot = 0; slot < 36; slot++) {
                for (int sb = 0; sb < 32; sb++) s->subband[0][slot * 32 + sb] = 0.0f;
                s->subband[0][slot * 32] = 0.5f * (float)cos(2 * M_PI * (frame * 36 + slot) / 12.0);
            }
            std::vector<float> out(sMpegStream::FRAME_SAMPLES);
            s->Synthesize(reinterpret_cast<uint8_t*>(out.data()));
            // Only 1152 >> shift samples are written.
            for (size_t i = (size_t)(1152 >> shift); i < out.size(); i++) ASSERT_EQ(out[i], 0.0f);
            all.insert(all.end(), out.begin(), out.begin() + 36 * perSlot);
        }
        // Count sign changes over the settled part: two per period of 12 slots.
        int changes = 0;
        size_t from = all.size() / 2;
        for (size_t i = from + 1; i < all.size(); i++) changes += (all[i - 1] < 0) != (all[i] < 0);
        double periods = (double)(all.size() - from) / (12.0 * perSlot);
        EXPECT_NEAR(changes, 2 * periods, 2.0) << "shift " << shift;
    }
}

} // namespace
