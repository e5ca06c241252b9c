// Layer III through sMpegStream against independent references: streams that lame encodes
// now, decoded by mpg123; the conformance streams with their reference PCM; and the edges of
// a stream (its tail, a first frame that leans on a reservoir it never saw, seeking).
#include <gtest/gtest.h>

#include <algorithm>
#include <math.h>
#include <string.h>
#include <string>
#include <vector>

#include "mpeg_test_util.h"

using namespace mpegtest;

namespace {

// The computed synthesis window sits about 62 dB below the signal. With the standard's window
// (a test build) only the final conversion differs from mpg123: we truncate toward zero, it
// rounds, so 16-bit samples differ by one step at most and float samples agree to 90 dB.
const double MIN_SNR = 55.0;

struct Stream {
    int rate = 0, channels = 0;
    std::vector<int16_t> pcm;
};

Stream DecodeBytes(const std::vector<uint8_t>& bytes, bool seekable = true) {
    MemoryStream source(bytes, seekable);
    Decoded d = DecodeAll(&source, 1, 0, 0);
    Stream s;
    if (d.status < 0) return s;
    s.rate = d.rate;
    s.channels = d.stereo ? 2 : 1;
    s.pcm = AsPcm16(d.bytes);
    return s;
}

// A test signal with clicks every half second, so that the encoder switches to short blocks.
void WriteClickWave(const std::string& path, int rate, int channels, double seconds) {
    std::string plain = path + ".plain.wav";
    WriteTestWave(plain, rate, channels, seconds);
    int ch = 0;
    std::vector<int16_t> samples = ReadWaveSamples(plain, &ch);
    std::vector<uint8_t> file = ReadFile(plain);
    size_t dataStart = file.size() - samples.size() * 2;
    for (size_t f = 0; f < samples.size() / size_t(ch); f++) {
        double t = double(f) / rate, phase = fmod(t, 0.5);
        if (phase > 0.25 && phase < 0.255) {
            for (int c = 0; c < ch; c++) {
                double burst = 12000 * sin(2 * M_PI * (7000 + 1500 * c) * t);
                int v = samples[f * ch + c] + int(burst);
                samples[f * ch + c] = int16_t(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
            }
        }
    }
    memcpy(file.data() + dataStart, samples.data(), samples.size() * 2);
    WriteFile(path, file);
}

#if PRISMATEL_REFERENCE_WINDOW
// Float output against mpg123's float output (full scale 1.0 there, 32,768 here).
void ExpectFloatAgreement(const std::string& mp3, int channels) {
    std::string raw = mp3 + ".f32";
    ASSERT_EQ(mpegtest::Run("mpg123 -q -e f32 -O '" + raw + "' '" + mp3 + "'"), 0);
    std::vector<uint8_t> bytes = ReadFile(raw);
    std::vector<float> reference(bytes.size() / 4);
    memcpy(reference.data(), bytes.data(), reference.size() * 4);
    MemoryStream source(ReadFile(mp3), true);
    Decoded d = DecodeAll(&source, 0, 0, 0);
    std::vector<float> ours(d.bytes.size() / 4);
    memcpy(ours.data(), d.bytes.data(), ours.size() * 4);
    size_t n = std::min(ours.size(), reference.size());
    ASSERT_GT(n, size_t(channels) * 10000);
    double error = 0, signal = 0;
    for (size_t i = 0; i < n; i++) {
        double r = reference[i] * 32768.0, e = ours[i] - r;
        error += e * e;
        signal += r * r;
    }
    EXPECT_GE(10 * log10(signal / (error + 1e-30)), 90.0);
}
#endif

struct Encoding {
    const char* name;
    const char* options; // lame options
    int rate, channels;  // of the input signal
};

const Encoding ENCODINGS[] = {
    {"cbr32", "-b 32 --resample 44.1", 44100, 2},
    {"cbr128_stereo", "-b 128 -m s", 44100, 2},
    {"cbr128_joint", "-b 128 -m j", 44100, 2},
    {"cbr192", "-b 192 --resample 48", 48000, 2},
    {"cbr320", "-b 320", 44100, 2},
    {"vbr", "-V 2", 44100, 2},
    {"vbr_low", "-V 7 --resample 32", 32000, 2},
    {"mono", "-b 64 -m m", 44100, 1},
    {"rate22050", "-b 64 --resample 22.05", 22050, 2},
    {"rate11025", "-b 32 --resample 11.025", 11025, 2},
    {"rate8000_mono", "-b 16 -m m --resample 8", 8000, 1},
    {"rate24000", "-b 96 --resample 24", 24000, 2},
};

class Layer3Lame : public ::testing::TestWithParam<Encoding> {};

} // namespace

TEST_P(Layer3Lame, AgreesWithMpg123) {
    if (!HaveProgram("lame") || !HaveProgram("mpg123")) GTEST_SKIP() << "lame or mpg123 missing";
    const Encoding& e = GetParam();
    std::string dir = TempDir();
    std::string wav = dir + "/in.wav", mp3 = dir + "/out.mp3";
    WriteClickWave(wav, e.rate, e.channels, 3.0);
    // Without the Info frame (-t) both decoders start with the same frame: no lag to find.
    ASSERT_EQ(
        mpegtest::Run(std::string("lame --quiet -t ") + e.options + " '" + wav + "' '" + mp3 + "'"),
        0);
    std::vector<int16_t> reference = ReferenceDecode(mp3);
    ASSERT_FALSE(reference.empty());
    Stream ours = DecodeBytes(ReadFile(mp3));
    ASSERT_FALSE(ours.pcm.empty());
    EXPECT_EQ(ours.rate, e.rate);
    EXPECT_EQ(ours.channels, e.channels);
    Agreement a = Compare(ours.pcm, reference, ours.channels, 64);
    EXPECT_GE(a.snr, MIN_SNR) << "lag " << a.lag << " max difference " << a.maxDifference;
    EXPECT_GT(a.compared, size_t(e.rate)); // at least a second overlaps
#if PRISMATEL_REFERENCE_WINDOW
    EXPECT_LE(a.maxDifference, 1);
    ExpectFloatAgreement(mp3, ours.channels);
#endif
}

INSTANTIATE_TEST_SUITE_P(Encodings, Layer3Lame, ::testing::ValuesIn(ENCODINGS),
                         [](const ::testing::TestParamInfo<Encoding>& i) {
                             return std::string(i.param.name);
                         });

TEST(Layer3Conformance, StreamsMatchTheirReferencePcm) {
    std::vector<ConformanceStream> streams =
        ConformanceStreams({"l3-compl", "l3-si", "M2L3_compl24"});
    if (streams.empty()) GTEST_SKIP() << "no conformance streams in " << ConformanceDirectory();
    for (const ConformanceStream& stream : streams) {
        SCOPED_TRACE(stream.name);
        Stream ours = DecodeBytes(stream.bits);
        ASSERT_FALSE(ours.pcm.empty());
        Agreement a = Compare(ours.pcm, stream.reference, ours.channels, 64);
        EXPECT_GE(a.snr, MIN_SNR) << "lag " << a.lag << " max difference " << a.maxDifference;
        EXPECT_GT(a.compared, stream.reference.size() / size_t(ours.channels) * 9 / 10);
#if PRISMATEL_REFERENCE_WINDOW
        EXPECT_LE(a.maxDifference, 1);
#endif
    }
}

namespace {

// Frames of a CBR stream without padding variations found by walking the headers.
struct FrameIndex {
    std::vector<size_t> offsets;
    size_t end = 0;
};

FrameIndex IndexFrames(const std::vector<uint8_t>& bytes) {
    FrameIndex index;
    size_t p = 0;
    while (p + 4 <= bytes.size() && !(bytes[p] == 0xFF && (bytes[p + 1] & 0xE0) == 0xE0)) p++;
    while (p + 4 <= bytes.size() && bytes[p] == 0xFF && (bytes[p + 1] & 0xE0) == 0xE0) {
        int n = FrameLengthAt(&bytes[p]);
        if (n <= 0 || p + size_t(n) > bytes.size()) break;
        index.offsets.push_back(p);
        p += size_t(n);
    }
    index.end = p;
    return index;
}

// main_data_begin of a Layer III frame (after a header without CRC).
int MainDataBegin(const uint8_t* frame) {
    bool mpeg1 = ((frame[1] >> 3) & 3) == 3;
    return mpeg1 ? (frame[4] << 1 | frame[5] >> 7) : frame[4];
}

std::vector<uint8_t> EncodeLame(const std::string& dir, const char* options, int rate,
                                int channels) {
    std::string wav = dir + "/in.wav", mp3 = dir + "/out.mp3";
    WriteClickWave(wav, rate, channels, 2.0);
    if (Run(std::string("lame --quiet -t ") + options + " '" + wav + "' '" + mp3 + "'") != 0)
        return {};
    return ReadFile(mp3);
}

double Energy(const int16_t* p, size_t n) {
    double e = 0;
    for (size_t i = 0; i < n; i++) e += double(p[i]) * p[i];
    return e;
}

} // namespace

TEST(Layer3Edges, OneFrameOfDecayingTailFollowsTheLastFrame) {
    if (!HaveProgram("lame")) GTEST_SKIP() << "lame missing";
    for (const char* options : {"-b 128 --resample 44.1", "-b 64 --resample 22.05"}) {
        SCOPED_TRACE(options);
        std::vector<uint8_t> mp3 = EncodeLame(TempDir(), options, 44100, 2);
        FrameIndex index = IndexFrames(mp3);
        ASSERT_GT(index.offsets.size(), 20u);
        // Cut the stream in the middle of the music, at a frame boundary.
        size_t keep = index.offsets.size() / 2 & ~size_t(1); // even: MPEG-2 pairs frames
        std::vector<uint8_t> cut(mp3.begin(), mp3.begin() + long(index.offsets[keep]));
        int perOutput = strstr(options, "22.05") ? 2 : 1;
        Stream s = DecodeBytes(cut);
        ASSERT_EQ(s.channels, 2);
        size_t frameSamples = 1152 * 2;
        size_t outputFrames = keep / size_t(perOutput);
        ASSERT_EQ(s.pcm.size(), (outputFrames + 1) * frameSamples);
        const int16_t* tail = s.pcm.data() + outputFrames * frameSamples;
        const int16_t* last = tail - frameSamples;
        double lastEnergy = Energy(last, frameSamples);
        double tailFirst = Energy(tail, frameSamples / 2),
               tailSecond = Energy(tail + frameSamples / 2, frameSamples / 2);
        EXPECT_GT(tailFirst, 0.0) << "the overlap of the last frame sounds";
        EXPECT_LT(tailFirst, lastEnergy);
        EXPECT_LT(tailSecond, tailFirst / 10) << "and dies away";
        // Sixteen silent slots flush the synthesis: the end is exactly zero.
        EXPECT_EQ(Energy(tail + frameSamples - 64 * 2, 64 * 2), 0.0);
    }
}

TEST(Layer3Edges, FirstFrameReachingBackIntoAnUnseenReservoirDecodes) {
    if (!HaveProgram("lame")) GTEST_SKIP() << "lame missing";
    std::vector<uint8_t> mp3 = EncodeLame(TempDir(), "-b 96", 44100, 2);
    FrameIndex index = IndexFrames(mp3);
    ASSERT_GT(index.offsets.size(), 40u);
    size_t start = 0;
    for (size_t f = 20; f < index.offsets.size() && !start; f++)
        if (MainDataBegin(&mp3[index.offsets[f]]) > 0) start = f;
    ASSERT_GT(start, 0u) << "no frame borrows from the reservoir";
    std::vector<uint8_t> cut(mp3.begin() + long(index.offsets[start]), mp3.end());
    Stream part = DecodeBytes(cut);
    Stream whole = DecodeBytes(mp3);
    size_t frameSamples = 1152 * 2;
    ASSERT_EQ(part.pcm.size(), (index.offsets.size() - start + 1) * frameSamples);
    // Within four frames the reservoir, the overlap and the filter have caught up.
    size_t from = 4 * frameSamples, count = part.pcm.size() - from - frameSamples;
    double error = 0, signal = 0;
    for (size_t i = 0; i < count; i++) {
        double d = double(part.pcm[from + i]) - whole.pcm[start * frameSamples + from + i];
        error += d * d;
        signal += double(whole.pcm[start * frameSamples + from + i]) *
                  whole.pcm[start * frameSamples + from + i];
    }
    EXPECT_GT(signal, 0.0);
    EXPECT_EQ(error, 0.0);
}

TEST(Layer3Edges, SeekingMatchesAStraightDecodeAfterThePreroll) {
    if (!HaveProgram("lame")) GTEST_SKIP() << "lame missing";
    for (const char* options : {"-b 128", "-b 64 --resample 22.05"}) {
        SCOPED_TRACE(options);
        std::vector<uint8_t> mp3 = EncodeLame(TempDir(), options, 44100, 2);
        Stream whole = DecodeBytes(mp3);
        ASSERT_FALSE(whole.pcm.empty());
        MemoryStream source(mp3, true);
        static sMpegStream* decoder = new sMpegStream;
        int rate = 0, stereo = 0;
        ASSERT_EQ(decoder->Open(&source, &rate, &stereo, 1, 0, 0), 0);
        const int frameBytes = 1152 * 2 * 2;
        for (int frame : {20, 7, 33}) {
            SCOPED_TRACE(frame);
            int position = frame * frameBytes + 1000;
            ASSERT_EQ(decoder->Seek(position), position);
            std::vector<int16_t> got(1152 * 2 * 2);
            ASSERT_EQ(decoder->Read(got.data(), int(got.size() * 2)), int(got.size() * 2));
            double error = 0, signal = 0;
            for (size_t i = 0; i < got.size(); i++) {
                double r = whole.pcm[size_t(position / 2) + i];
                error += (got[i] - r) * (got[i] - r);
                signal += r * r;
            }
            ASSERT_GT(signal, 0.0);
            EXPECT_GE(10 * log10(signal / (error + 1e-9)), 90.0);
        }
        decoder->Shutdown();
    }
}
