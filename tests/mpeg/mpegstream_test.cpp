// The decoder's front: Open and its failures, the PCM cache behind reads of every size, the
// end of a stream, output formats and rates, the controls and seeking.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <map>
#include <memory>
#include <random>

#include "mpeg_test_util.h"

using namespace mpegtest;

namespace {

using Bytes = std::vector<uint8_t>;

// A real Layer II stream (twolame), made once per test run.
const Bytes& Layer2Stream(int channels) {
    static Bytes stereo, mono;
    Bytes& bytes = channels == 2 ? stereo : mono;
    if (bytes.empty() && HaveProgram("twolame")) {
        std::string dir = TempDir();
        WriteTestWave(dir + "/in.wav", 44100, channels, 1.5);
        std::string mode = channels == 2 ? "j" : "m";
        mpegtest::Run("twolame -m " + mode + " -b 160 '" + dir + "/in.wav' '" + dir + "/o.mp2'");
        bytes = ReadFile(dir + "/o.mp2");
        mpegtest::Run("rm -rf '" + dir + "'");
    }
    return bytes;
}

// A real Layer III stream (lame), made once per test run: 44.1 kHz joint stereo, so that
// the frame headers planted in tags (FF FB 90 44) would pass for its own. With `info` lame's
// Info frame with its LAME extension leads; without it the frames are the same.
const Bytes& Layer3Stream(bool info = false, const char* rate = "44.1",
                          const char* bitrate = "-b 128") {
    static std::map<std::string, Bytes> streams;
    std::string options = std::string(bitrate) + " -m j --resample " + rate + (info ? "" : " -t");
    Bytes& bytes = streams[options];
    if (bytes.empty() && HaveProgram("lame")) {
        std::string dir = TempDir();
        WriteTestWave(dir + "/in.wav", 44100, 2, 1.5);
        mpegtest::Run("lame --quiet " + options + " '" + dir + "/in.wav' '" + dir + "/o.mp3'");
        bytes = ReadFile(dir + "/o.mp3");
        mpegtest::Run("rm -rf '" + dir + "'");
    }
    return bytes;
}

#define NEED_STREAM(bytes)                                                                         \
    if ((bytes).empty()) GTEST_SKIP() << "twolame missing"

Bytes Frames(int count, HeaderFields h = HeaderFields()) {
    Bytes out;
    for (int i = 0; i < count; i++) {
        Bytes f = SilentFrame(h);
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}

TEST(MpegOpen, FailsOnWhatIsNotAStreamAndStaysClosed) {
    std::mt19937 rng(3);
    Bytes noise(5000);
    for (auto& b : noise) b = (uint8_t)rng();
    noise[0] = 0x00;
    std::vector<Bytes> inputs = {{}, {0xFF, 0xFB, 0x90}, noise, Bytes(3000, 0xFF), Frames(3, [] {
                                     HeaderFields h;
                                     h.bitrateIndex = 0; // free format
                                     return h;
                                 }())};
    auto s = std::make_unique<sMpegStream>();
    for (size_t i = 0; i < inputs.size(); i++) {
        for (bool seekable : {true, false}) {
            MemoryStream source(inputs[i], seekable);
            int rate = -1, stereo = -1;
            EXPECT_EQ(s->Open(&source, &rate, &stereo, 1, 0, 0), -1) << i;
            EXPECT_EQ(s->GetFlags(), 0);
            uint8_t buffer[16];
            EXPECT_EQ(s->Read(buffer, 16), 0);
        }
    }
}

TEST(MpegOpen, ReportsRateAndChannelsOfTheOutput) {
    struct Case {
        HeaderFields h;
        int shift, channels, rate, stereo, frameBytes;
    };
    HeaderFields l2_48;
    l2_48.sampleRateIndex = 1;
    HeaderFields mono22;
    mono22.version = 1, mono22.layer = 1, mono22.mode = 3, mono22.bitrateIndex = 5;
    Case cases[] = {
        {l2_48, 0, 0, 48000, 1, 4608},   {l2_48, 1, 0, 24000, 1, 2304},
        {l2_48, 2, 0, 12000, 1, 1152},   {l2_48, 3, 0, 12000, 1, 1152}, // shift clamped
        {l2_48, 0, 1, 48000, 0, 2304},   {l2_48, 0, -2, 48000, 1, 4608},
        {mono22, 0, 0, 22050, 0, 2304},  {mono22, 0, 2, 22050, 1, 4608},
        {mono22, 1, -2, 11025, 1, 2304},
    };
    auto s = std::make_unique<sMpegStream>();
    for (const Case& c : cases) {
        MemoryStream source(Frames(20, c.h), true);
        int rate = 0, stereo = -1;
        ASSERT_EQ(s->Open(&source, &rate, &stereo, 1, c.shift, c.channels), 0);
        EXPECT_EQ(rate, c.rate);
        EXPECT_EQ(stereo, c.stereo);
        EXPECT_EQ(s->pcmFrameBytes, c.frameBytes);
        EXPECT_EQ(s->GetFlags(), SF_OPEN | SF_READ | SF_SEEK);
        EXPECT_EQ(s->frameCount, 20);
        EXPECT_EQ(s->GetSize(), 20 * c.frameBytes);
        s->Shutdown();
    }
}

TEST(MpegRead, EveryReadSizeYieldsTheSameBytes) {
    const Bytes& stream = Layer2Stream(2);
    NEED_STREAM(stream);
    MemoryStream whole(stream, true);
    Decoded reference = DecodeAll(&whole, 1, 0, 0, 4608);
    ASSERT_EQ(reference.status, 0);
    for (int chunk : {1, 7, 1000, 4607, 4609, 9216, 100000}) {
        MemoryStream source(stream, true);
        Decoded d = DecodeAll(&source, 1, 0, 0, chunk);
        ASSERT_EQ(d.bytes.size(), reference.bytes.size()) << chunk;
        EXPECT_TRUE(d.bytes == reference.bytes) << chunk;
    }
    // A source that cannot seek gives the same PCM (without a length estimate).
    MemoryStream sequential(stream, false);
    Decoded d = DecodeAll(&sequential, 1, 0, 0, 4608);
    EXPECT_TRUE(d.bytes == reference.bytes);
}

TEST(MpegRead, EndGivesOneTailFrameThenNothing) {
    auto s = std::make_unique<sMpegStream>();
    MemoryStream source(Frames(5), true);
    ASSERT_EQ(s->Open(&source, nullptr, nullptr, 1, 0, 0), 0);
    std::vector<uint8_t> buffer(4608);
    int frames = 0;
    EXPECT_EQ(s->Control(SC_AT_END, nullptr, 0), 0);
    while (s->Read(buffer.data(), 4608) == 4608) frames++;
    EXPECT_EQ(frames, 6); // five frames and the silent end frame
    EXPECT_EQ(s->Control(SC_AT_END, nullptr, 0), 1);
    EXPECT_EQ(s->Control(SC_END_OF_INPUT, nullptr, 0), 1);
    EXPECT_EQ(s->Read(buffer.data(), 4608), 0);
    EXPECT_EQ(s->Read(buffer.data(), 1), 0);
}

// mpg123's --2to1 and --4to1 reduce the rate the same way, by synthesising from the lower
// half or quarter of the subbands.
TEST(MpegRead, HalfAndQuarterRateAgreeWithMpg123) {
    if (!HaveProgram("mpg123")) GTEST_SKIP() << "mpg123 missing";
    struct Case {
        const char* name;
        const Bytes* stream;
    } cases[] = {{"Layer II", &Layer2Stream(2)}, {"Layer III", &Layer3Stream()}};
    for (const Case& c : cases) {
        if (c.stream->empty()) continue;
        std::string path = TempDir() + "/in.mp";
        WriteFile(path, *c.stream);
        for (int shift = 1; shift <= 2; shift++) {
            SCOPED_TRACE(std::string(c.name) + " shift " + std::to_string(shift));
            std::string wav = path + ".wav";
            ASSERT_EQ(mpegtest::Run("mpg123 -q " + std::string(shift == 1 ? "-2" : "-4") + " -w '" +
                                    wav + "' '" + path + "'"),
                      0);
            int channels = 0;
            std::vector<int16_t> reference = ReadWaveSamples(wav, &channels);
            MemoryStream source(*c.stream, true);
            Decoded d = DecodeAll(&source, 1, shift, 0);
            EXPECT_EQ(d.rate, 44100 >> shift);
            ASSERT_EQ(channels, 2);
            Agreement a = Compare(AsPcm16(d.bytes), reference, 2, 8);
            EXPECT_EQ(a.lag, 0);
            EXPECT_GE(a.snr, 55.0) << "max difference " << a.maxDifference;
            EXPECT_GE(a.compared, reference.size() / 2 - 64);
        }
    }
}

TEST(MpegRead, FloatOutputCarriesTheSameSignal) {
    const Bytes& stream = Layer2Stream(2);
    NEED_STREAM(stream);
    MemoryStream a(stream, true), b(stream, true);
    Decoded ints = DecodeAll(&a, 1, 0, 0);
    Decoded floats = DecodeAll(&b, 0, 0, 0);
    ASSERT_EQ(floats.bytes.size(), ints.bytes.size() * 2);
    std::vector<int16_t> pcm = AsPcm16(ints.bytes);
    const float* f = reinterpret_cast<const float*>(floats.bytes.data());
    for (size_t i = 0; i < pcm.size(); i++) {
        float clamped = fmaxf(-32768.0f, fminf(32767.0f, f[i]));
        ASSERT_EQ(pcm[i], (int16_t)(int)clamped) << i;
    }
}

TEST(MpegControls, IdentityValuesLeaveSamplesBitIdentical) {
    const Bytes& stream = Layer2Stream(2);
    NEED_STREAM(stream);
    MemoryStream plainSource(stream, true);
    Decoded plain = DecodeAll(&plainSource, 1, 0, 0);
    auto s = std::make_unique<sMpegStream>();
    MemoryStream source(stream, true);
    ASSERT_EQ(s->Open(&source, nullptr, nullptr, 1, 0, 0), 0);
    const float identity[9] = {1, 0, 1, 0, 1, 1, 0.5f, 0.5f, 1};
    float one = 1.0f;
    std::vector<float> gains(576, 1.0f);
    EXPECT_EQ(s->Control(4097, (void*)identity, 0), 0);
    EXPECT_EQ(s->Control(4096, &one, 0), 0);
    EXPECT_EQ(s->Control(4099, gains.data(), 0), 0);
    EXPECT_EQ(s->matrixOn, 0);
    EXPECT_EQ(s->subbandGainsOn, 0);
    Bytes out(plain.bytes.size() + 100);
    int got = s->Read(out.data(), (int)out.size());
    ASSERT_EQ(got, (int)plain.bytes.size());
    out.resize((size_t)got);
    EXPECT_TRUE(out == plain.bytes);
}

TEST(MpegControls, VolumeMatrixAndGainsChangeTheOutput) {
    const Bytes& stream = Layer2Stream(2);
    NEED_STREAM(stream);
    auto decode = [&](auto setup) {
        auto s = std::make_unique<sMpegStream>();
        MemoryStream source(stream, true);
        EXPECT_EQ(s->Open(&source, nullptr, nullptr, 0, 0, 0), 0);
        setup(s.get());
        std::vector<float> out(1152 * 2 * 40);
        int got = s->Read(out.data(), (int)(out.size() * 4));
        out.resize((size_t)got / 4);
        return out;
    };
    std::vector<float> plain = decode([](sMpegStream*) {});
    // Volume scales both channels of the frames decoded after it.
    std::vector<float> half = decode([](sMpegStream* s) {
        float v = 0.5f;
        s->Control(4096, &v, 0);
    });
    ASSERT_EQ(half.size(), plain.size());
    // The filters still hold part of the first frame during the second: compare from the third.
    for (size_t i = 1152 * 4; i < plain.size(); i++) ASSERT_NEAR(half[i], plain[i] * 0.5f, 0.02f);
    // A swapping matrix exchanges left and right.
    std::vector<float> swapped = decode([](sMpegStream* s) {
        const float m[9] = {0, 1, 1, 1, 0, 1, 0.5f, 0.5f, 1};
        s->Control(4097, (void*)m, 0);
    });
    for (size_t i = 1152 * 4; i < plain.size(); i += 2) {
        ASSERT_NEAR(swapped[i], plain[i + 1], 0.02f);
        ASSERT_NEAR(swapped[i + 1], plain[i], 0.02f);
    }
    // Gains of zero on the upper subbands leave a low-passed signal with less energy.
    std::vector<float> lowpass = decode([](sMpegStream* s) {
        std::vector<float> g(576, 1.0f);
        for (int i = 18 * 4; i < 576; i++) g[(size_t)i] = 0.0f;
        s->Control(4099, g.data(), 0);
        EXPECT_EQ(s->subbandGainsOn, 1);
    });
    double ep = 0, el = 0;
    for (size_t i = 1152 * 2; i < plain.size(); i++)
        ep += plain[i] * plain[i], el += lowpass[i] * lowpass[i];
    EXPECT_LT(el, ep * 0.98);
    EXPECT_GT(el, ep * 0.1);
    // 4098 with null switches the gains off again.
    std::vector<float> off = decode([](sMpegStream* s) {
        std::vector<float> g(32, 0.0f);
        s->Control(4098, g.data(), 0);
        s->Control(4098, nullptr, 0);
    });
    EXPECT_TRUE(off == plain);
}

TEST(MpegSeek, ReadAfterSeekMatchesAStraightDecode) {
    const Bytes& stream = Layer2Stream(2);
    NEED_STREAM(stream);
    MemoryStream whole(stream, true);
    Decoded straight = DecodeAll(&whole, 1, 0, 0);
    auto s = std::make_unique<sMpegStream>();
    MemoryStream source(stream, true);
    ASSERT_EQ(s->Open(&source, nullptr, nullptr, 1, 0, 0), 0);
    int frameBytes = s->pcmFrameBytes;
    int positions[] = {0,
                       4,
                       frameBytes,
                       frameBytes * 7 + 1000,
                       frameBytes * 3,
                       frameBytes * 30 - 4,
                       frameBytes * 2 + 4,
                       12,
                       frameBytes * 50 + 8};
    Bytes got(6000);
    for (int position : positions) {
        int reached = s->Seek(position);
        ASSERT_EQ(reached, position);
        EXPECT_EQ(s->Control(SC_POSITION, nullptr, 0), position);
        int n = s->Read(got.data(), (int)got.size());
        ASSERT_GT(n, 0);
        size_t from = (size_t)position;
        size_t count = std::min((size_t)n, straight.bytes.size() - from);
        size_t firstDifference = count;
        for (size_t i = 0; i < count && firstDifference == count; i++)
            if (got[i] != straight.bytes[from + i]) firstDifference = i;
        EXPECT_EQ(firstDifference, count) << "after a seek to " << position;
    }
    // Beyond the end the position is cut to the estimated size.
    int end = s->Seek(1 << 30);
    EXPECT_EQ(end, s->frameCount * frameBytes);
    EXPECT_EQ(s->Seek(-50), 0);
}

// Decoding part of a stream, seeking back to the start and decoding again gives the fresh
// decode: no filter state of the first pass may reach the second.
TEST(MpegSeek, BackToTheStartDecodesAsFromFresh) {
    struct Case {
        const char* name;
        const Bytes* stream;
    } cases[] = {{"Layer II", &Layer2Stream(2)},
                 {"MPEG-1 Layer III", &Layer3Stream()},
                 {"MPEG-2 Layer III", &Layer3Stream(false, "22.05")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.stream->empty()) continue;
        MemoryStream fresh(*c.stream, true);
        Decoded straight = DecodeAll(&fresh, 0, 0, 0);
        auto s = std::make_unique<sMpegStream>();
        MemoryStream source(*c.stream, true);
        ASSERT_EQ(s->Open(&source, nullptr, nullptr, 0, 0, 0), 0);
        Bytes out(straight.bytes.size() + 100);
        for (int frames : {12, 1, 30}) {
            ASSERT_EQ(s->Read(out.data(), frames * s->pcmFrameBytes), frames * s->pcmFrameBytes);
            ASSERT_EQ(s->Seek(0), 0);
            int got = s->Read(out.data(), int(out.size()));
            ASSERT_EQ(got, int(straight.bytes.size()));
            EXPECT_EQ(memcmp(out.data(), straight.bytes.data(), straight.bytes.size()), 0)
                << "after " << frames << " frames";
            ASSERT_EQ(s->Seek(0), 0);
        }
        s->Shutdown();
    }
}

TEST(MpegSeek, SourceThatCannotSeekKeepsItsPosition) {
    auto s = std::make_unique<sMpegStream>();
    MemoryStream source(Frames(8), false);
    ASSERT_EQ(s->Open(&source, nullptr, nullptr, 1, 0, 0), 0);
    EXPECT_EQ(s->frameCount, 0);
    EXPECT_EQ(s->GetFlags() & SF_SEEK, 0);
    std::vector<uint8_t> buffer(100);
    EXPECT_EQ(s->Read(buffer.data(), 100), 100);
    EXPECT_EQ(s->Seek(0), 100);
}

// Tags and junk around the frames hold frame headers of the stream's own format (FF FB 90
// 44): neither the search for the first frame nor the one after the last may take them.
TEST(MpegStream, TagsAndJunkAroundTheFramesAreNotMusic) {
    const Bytes& stream = Layer3Stream();
    if (stream.empty()) GTEST_SKIP() << "lame missing";
    MemoryStream plainSource(stream, true);
    Decoded plain = DecodeAll(&plainSource, 1, 0, 0);
    ASSERT_EQ(plain.status, 0);
    Bytes text = {1, 0xFF, 0xFE, 'a', 0, 0xE0, 0};
    auto tag = [&](int major, bool footer) {
        Bytes frames = Id3v2Frame(major, major == 2 ? "TT2" : "TIT2", text);
        Bytes art =
            Id3v2Frame(major, major == 2 ? "PIC" : "APIC", CoverArt(20000, uint32_t(major)));
        frames.insert(frames.end(), art.begin(), art.end());
        return Id3v2Tag(major, frames, footer);
    };
    Bytes junk(600, 0x20);
    Bytes header = HeaderBytes([] {
        HeaderFields h;
        h.layer = 2, h.mode = 1;
        return h;
    }());
    std::copy(header.begin(), header.end(), junk.begin() + 100);
    Bytes tagThenJunk = tag(3, false);
    tagThenJunk.insert(tagThenJunk.end(), junk.begin(), junk.end());
    Bytes apeThenV1 = ApeTag(true), v1 = Id3v1Tag();
    apeThenV1.insert(apeThenV1.end(), v1.begin(), v1.end());
    struct Case {
        const char* name;
        Bytes front, back;
    } cases[] = {
        {"ID3v2.2", tag(2, false), {}},
        {"ID3v2.3", tag(3, false), {}},
        {"ID3v2.4 with a footer", tag(4, true), {}},
        {"junk", junk, {}},
        {"a tag, then junk", tagThenJunk, {}},
        {"ID3v1", {}, v1},
        {"APEv2", {}, ApeTag(false)},
        {"ID3v2.4, APEv2 and ID3v1", tag(4, false), apeThenV1},
    };
    for (const Case& c : cases) {
        Bytes file = c.front;
        file.insert(file.end(), stream.begin(), stream.end());
        file.insert(file.end(), c.back.begin(), c.back.end());
        for (bool seekable : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (seekable ? "" : ", not seekable"));
            MemoryStream source(file, seekable);
            Decoded d = DecodeAll(&source, 1, 0, 0);
            ASSERT_EQ(d.status, 0);
            EXPECT_EQ(d.bytes.size(), plain.bytes.size());
            EXPECT_TRUE(d.bytes == plain.bytes);
        }
    }
}

// lame writes the same frames with and without its Info frame in front: the Info frame is
// not music, and its frame count is the stream's exact length.
TEST(MpegStream, InfoFrameIsNotMusic) {
    struct Case {
        const char *rate, *bitrate;
    } cases[] = {{"44.1", "-b 128"}, {"22.05", "-b 64"}, {"44.1", "-V 2"}, {"22.05", "-V 5"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.rate) + " " + c.bitrate);
        const Bytes& bare = Layer3Stream(false, c.rate, c.bitrate);
        const Bytes& withInfo = Layer3Stream(true, c.rate, c.bitrate);
        if (bare.empty()) GTEST_SKIP() << "lame missing";
        ASSERT_GT(withInfo.size(), bare.size());
        MemoryStream a(bare, true), b(withInfo, true);
        Decoded plain = DecodeAll(&a, 1, 0, 0), info = DecodeAll(&b, 1, 0, 0);
        ASSERT_EQ(info.status, 0);
        EXPECT_TRUE(info.bytes == plain.bytes);
        auto s = std::make_unique<sMpegStream>();
        MemoryStream source(withInfo, true);
        ASSERT_EQ(s->Open(&source, nullptr, nullptr, 1, 0, 0), 0);
        EXPECT_EQ(s->info.present, 1);
        EXPECT_EQ(s->info.gapless, 1);
        // The count is exact, also where the bitrate of the first frames is not the mean.
        int samples = s->info.frames * s->SamplesPerFrame();
        EXPECT_EQ(s->frameCount, (samples + 1151) / 1152);
        EXPECT_EQ(int(info.bytes.size()), (s->frameCount + 1) * 4608) << "and one of tail";
        s->Shutdown();
    }
}

TEST(MpegStream, LayerIOutputFrameIsThreeFrames) {
    HeaderFields h;
    h.layer = 0, h.bitrateIndex = 6;
    auto s = std::make_unique<sMpegStream>();
    MemoryStream source(Frames(7, h), true);
    ASSERT_EQ(s->Open(&source, nullptr, nullptr, 1, 0, 0), 0);
    EXPECT_EQ(s->frameCount, 2); // 7 / 3, rounded
    std::vector<uint8_t> buffer(4608);
    int frames = 0;
    while (s->Read(buffer.data(), 4608) == 4608) frames++;
    EXPECT_EQ(frames, 4); // two full, one with frame 7 and two missing, one at the end
}

} // namespace
