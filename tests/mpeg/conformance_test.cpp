// Layers I and II through sMpegStream against independent references: the conformance
// streams with their reference PCM, and streams twolame encodes now, decoded by mpg123.
#include <gtest/gtest.h>

#include <math.h>

#include <string>
#include <vector>

#include "mpeg_test_util.h"

using namespace mpegtest;

namespace {

// The computed window sits about 62 dB below the signal.
const double MIN_SNR = 55.0;

struct Pcm {
    int channels = 0;
    std::vector<int16_t> samples;
};

Pcm DecodeBytes(const std::vector<uint8_t>& bytes) {
    MemoryStream source(bytes, true);
    Decoded d = DecodeAll(&source, 1, 0, 0);
    Pcm p;
    if (d.status < 0) return p;
    p.channels = d.stereo ? 2 : 1;
    p.samples = AsPcm16(d.bytes);
    return p;
}

#if PRISMATEL_REFERENCE_WINDOW
// The float output rounded to the nearest integer, as the reference decoders round: the
// decoder's own 16-bit output truncates toward zero, which alone costs about 70-80 dB
// against a rounding reference (every other sample one LSB away).
Pcm DecodeRounded(const std::vector<uint8_t>& bytes) {
    MemoryStream source(bytes, true);
    Decoded d = DecodeAll(&source, 0, 0, 0);
    Pcm p;
    if (d.status < 0) return p;
    p.channels = d.stereo ? 2 : 1;
    const float* f = reinterpret_cast<const float*>(d.bytes.data());
    for (size_t i = 0; i < d.bytes.size() / 4; i++)
        p.samples.push_back((int16_t)fmaxf(-32768.0f, fminf(32767.0f, rintf(f[i]))));
    return p;
}
#endif

// With the standard's window everything but the final conversion is exact: the rounded
// float output must reach 90 dB and the truncated 16-bit output stay within one LSB.
void CheckReferenceWindow(const std::vector<uint8_t>& bytes, const std::vector<int16_t>& ref) {
#if PRISMATEL_REFERENCE_WINDOW
    Pcm rounded = DecodeRounded(bytes);
    Agreement a = Compare(rounded.samples, ref, rounded.channels, 64);
    EXPECT_GE(a.snr, 90.0) << "rounded float output, max difference " << a.maxDifference;
    ::testing::Test::RecordProperty("rounded_snr_db", std::to_string(a.snr));
#else
    (void)bytes, (void)ref;
#endif
}

TEST(Layer12Conformance, StreamsMatchTheirReferencePcm) {
    std::vector<ConformanceStream> streams =
        ConformanceStreams({"l1-fl1", "l1-fl2", "l2-fl10", "l2-fl11"});
    if (streams.empty()) GTEST_SKIP() << "no conformance streams in " << ConformanceDirectory();
    for (const ConformanceStream& stream : streams) {
        SCOPED_TRACE(stream.name);
        Pcm ours = DecodeBytes(stream.bits);
        ASSERT_FALSE(ours.samples.empty());
        Agreement a = Compare(ours.samples, stream.reference, ours.channels, 64);
        EXPECT_EQ(a.lag, 0) << "Layers I and II have no decoder delay";
        EXPECT_GE(a.snr, MIN_SNR) << "max difference " << a.maxDifference;
        RecordProperty(stream.name + "_snr_db", std::to_string(a.snr));
        // Most of the stream is compared (the references may run past the decoded end).
        EXPECT_GT(a.compared, ours.samples.size() / (size_t)ours.channels * 8 / 10);
#if PRISMATEL_REFERENCE_WINDOW
        EXPECT_LE(a.maxDifference, 1);
#endif
        CheckReferenceWindow(stream.bits, stream.reference);
    }
}

struct TwolameCase {
    const char* name;
    int rate;
    int channels; // of the input
    const char* mode;
    int kbps;
};

const TwolameCase TWOLAME_CASES[] = {
    {"stereo_192", 44100, 2, "s", 192},       {"joint_128", 44100, 2, "j", 128},
    {"joint_64", 44100, 2, "j", 64},          {"mono_64", 44100, 1, "m", 64},
    {"dual_256", 48000, 2, "d", 256},         {"stereo_48k_384", 48000, 2, "s", 384},
    {"stereo_32k_64", 32000, 2, "s", 64},     {"mono_48k_64", 48000, 1, "m", 64},
    {"mono_32k_32", 32000, 1, "m", 32},       {"mpeg2_24k_joint_96", 24000, 2, "j", 96},
    {"mpeg2_16k_mono_32", 16000, 1, "m", 32}, {"mpeg2_22k_stereo_160", 22050, 2, "s", 160},
};

class Layer2Twolame : public ::testing::TestWithParam<TwolameCase> {};

TEST_P(Layer2Twolame, AgreesWithMpg123) {
    if (!HaveProgram("twolame") || !HaveProgram("mpg123"))
        GTEST_SKIP() << "twolame or mpg123 missing";
    const TwolameCase& c = GetParam();
    std::string dir = TempDir();
    std::string wav = dir + "/in.wav", mp2 = dir + "/in.mp2";
    WriteTestWave(wav, c.rate, c.channels, 2.5);
    ASSERT_EQ(mpegtest::Run("twolame -m " + std::string(c.mode) + " -b " + std::to_string(c.kbps) +
                            " '" + wav + "' '" + mp2 + "'"),
              0);
    std::vector<int16_t> reference = ReferenceDecode(mp2);
    ASSERT_FALSE(reference.empty());
    Pcm ours = DecodeBytes(ReadFile(mp2));
    ASSERT_EQ(ours.channels, c.channels == 2 ? 2 : 1);
    Agreement a = Compare(ours.samples, reference, ours.channels, 64);
    EXPECT_EQ(a.lag, 0);
    EXPECT_GE(a.snr, MIN_SNR) << "max difference " << a.maxDifference;
    RecordProperty("snr_db", std::to_string(a.snr));
    EXPECT_GT(a.compared, (size_t)(c.rate * 2));
#if PRISMATEL_REFERENCE_WINDOW
    EXPECT_LE(a.maxDifference, 1);
#endif
    CheckReferenceWindow(ReadFile(mp2), reference);
    mpegtest::Run("rm -rf '" + dir + "'");
}

INSTANTIATE_TEST_SUITE_P(Encodings, Layer2Twolame, ::testing::ValuesIn(TWOLAME_CASES),
                         [](const ::testing::TestParamInfo<TwolameCase>& i) {
                             return std::string(i.param.name);
                         });

} // namespace
