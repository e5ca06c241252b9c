// The sound card: format conversion, resampling, mixing, underruns and the clock-paced
// capture into audio.wav.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "host/sdl/parts.h"
#include "support/headless_machine.h"
#include "machine/machine.h"
#include "machine/sound_card.h"

namespace {

// A source over a byte vector; more can be appended while it plays.
class BytesSource : public sound::Source {
public:
    std::vector<uint8_t> bytes;
    size_t taken = 0;
    int Fetch(uint8_t* out, int n) override {
        size_t count = std::min(bytes.size() - taken, (size_t)n);
        memcpy(out, bytes.data() + taken, count);
        taken += count;
        return (int)count;
    }
};

std::vector<uint8_t> Samples16(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes;
    for (int16_t s : samples) {
        bytes.push_back((uint8_t)(s & 0xFF));
        bytes.push_back((uint8_t)((uint16_t)s >> 8));
    }
    return bytes;
}

std::vector<int16_t> Render(int frames) {
    std::vector<int16_t> out(2 * frames);
    sound::Render(out.data(), frames);
    return out;
}

class SoundCard : public testing::Test {
protected:
    void SetUp() override { StartHeadlessMachine(60); }
};

} // namespace

TEST_F(SoundCard, FullRateStereoPassesUnchanged) {
    BytesSource source;
    std::vector<int16_t> samples;
    for (int i = 0; i < 2000; i++) samples.push_back((int16_t)(i * 37 - 30000));
    source.bytes = Samples16(samples);
    int id = sound::AddSource(&source, {44100, 2, 16});
    ASSERT_NE(0, id);
    std::vector<int16_t> out = Render(1000);
    EXPECT_EQ(samples, out);
    std::vector<int16_t> after = Render(10);
    EXPECT_EQ(std::vector<int16_t>(20, 0), after) << "a source that ran dry is silent";
    sound::RemoveSource(id);
}

TEST_F(SoundCard, EightBitMonoIsCentredAndDoubled) {
    BytesSource source;
    source.bytes = {0x80, 0xFF, 0x00, 0x40};
    int id = sound::AddSource(&source, {44100, 1, 8});
    std::vector<int16_t> out = Render(4);
    EXPECT_EQ((std::vector<int16_t>{0, 0, 32512, 32512, -32768, -32768, -16384, -16384}), out);
    sound::RemoveSource(id);
}

TEST_F(SoundCard, HalfRateSourceIsInterpolatedAndTakesTwiceAsLong) {
    BytesSource source;
    source.bytes = Samples16({0, 1000, 3000, -3000});
    int id = sound::AddSource(&source, {22050, 1, 16});
    std::vector<int16_t> out = Render(8);
    std::vector<int16_t> left;
    for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
    EXPECT_EQ(0, left[0]);
    EXPECT_EQ(500, left[1]);
    EXPECT_EQ(1000, left[2]);
    EXPECT_EQ(2000, left[3]);
    EXPECT_EQ(3000, left[4]);
    EXPECT_EQ(0, left[5]);
    EXPECT_EQ(-3000, left[6]);
    sound::RemoveSource(id);
}

TEST_F(SoundCard, OddRatesKeepTheirDuration) {
    // One second of 11,025 Hz and of 48,000 Hz both last one second at 44,100 Hz.
    for (int rate : {11025, 48000, 32000}) {
        BytesSource source;
        source.bytes.assign(rate * 2, 0);
        for (size_t i = 0; i < source.bytes.size(); i += 2) source.bytes[i + 1] = 0x10;
        int id = sound::AddSource(&source, {rate, 1, 16});
        std::vector<int16_t> out = Render(44100 + 200);
        int heard = 0;
        for (size_t i = 0; i < out.size(); i += 2) heard += out[i] != 0;
        EXPECT_NEAR(44100, heard, 2) << rate;
        sound::RemoveSource(id);
    }
}

TEST_F(SoundCard, SourcesAreSummedAndClipped) {
    BytesSource a, b;
    a.bytes = Samples16({20000, -20000, 100, 7});
    b.bytes = Samples16({20000, -20000, -300, 7});
    int idA = sound::AddSource(&a, {44100, 2, 16});
    int idB = sound::AddSource(&b, {44100, 2, 16});
    EXPECT_EQ((std::vector<int16_t>{32767, -32768, -200, 14}), Render(2));
    sound::RemoveSource(idA);
    sound::RemoveSource(idB);
}

TEST_F(SoundCard, UnderrunPlaysSilenceAndResumesWhereItStopped) {
    BytesSource source;
    source.bytes = Samples16({1, 2, 3, 4});
    int id = sound::AddSource(&source, {44100, 2, 16});
    EXPECT_EQ((std::vector<int16_t>{1, 2, 3, 4, 0, 0}), Render(3));
    {
        std::lock_guard<std::recursive_mutex> guard(sound::Lock());
        std::vector<uint8_t> more = Samples16({5, 6});
        source.bytes.insert(source.bytes.end(), more.begin(), more.end());
    }
    EXPECT_EQ((std::vector<int16_t>{5, 6, 0, 0}), Render(2));
    sound::RemoveSource(id);
}

TEST_F(SoundCard, UnplayableFormatsAreRefused) {
    BytesSource source;
    int before = sound::SourceCount();
    EXPECT_EQ(0, sound::AddSource(&source, {44100, 0, 16}));
    EXPECT_EQ(0, sound::AddSource(&source, {44100, 2, 12}));
    EXPECT_EQ(0, sound::AddSource(&source, {0, 2, 16}));
    EXPECT_EQ(0, sound::AddSource(nullptr, {44100, 2, 16}));
    EXPECT_EQ(before, sound::SourceCount());
}

namespace {
uint32_t LE32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
}
std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    int c;
    while ((c = fgetc(f)) != EOF) bytes.push_back((uint8_t)c);
    fclose(f);
    return bytes;
}
} // namespace

// Headless, frame N covers clock time N/FPS, and sample k of audio.wav lies at k/44,100 s.
TEST_F(SoundCard, ClockPacedCaptureFollowsTheFrames) {
    char pattern[] = "/tmp/soundcapture_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    std::string dir = std::string(pattern) + "/take/1"; // made by the recording
    StartHeadlessMachine(30, [&](host::Settings& s) { s.captureDir = dir; });

    BytesSource source;
    std::vector<int16_t> samples(2 * 2000, 0);
    for (size_t i = 0; i < samples.size(); i++) samples[i] = (int16_t)(i + 1);
    source.bytes = Samples16(samples);
    for (int frame = 0; frame < 7; frame++) machine::AdvanceFrame(); // silence first
    int id = sound::AddSource(&source, {44100, 2, 16});
    for (int frame = 7; frame < 45; frame++) machine::AdvanceFrame();
    sound::RemoveSource(id);

    std::vector<uint8_t> wav = ReadAll(dir + "/audio.wav");
    ASSERT_GE(wav.size(), 44u);
    // 45 frames at 30 fps = 1.5 s = 66,150 stereo frames.
    const uint32_t dataBytes = 66150 * 4;
    EXPECT_EQ(0, memcmp(wav.data(), "RIFF", 4));
    EXPECT_EQ(36 + dataBytes, LE32(wav, 4));
    EXPECT_EQ(44100u, LE32(wav, 24));
    EXPECT_EQ(dataBytes, LE32(wav, 40));
    ASSERT_EQ(44 + dataBytes, wav.size());
    // The source started at frame 7: clock 7/30 s = sample 10,290.
    const size_t start = 44 + 10290 * 4;
    EXPECT_EQ(0, wav[start - 1]) << "silence before it";
    EXPECT_EQ(1, wav[start]);
    EXPECT_EQ(2, wav[start + 2]);
    EXPECT_EQ(0, wav[start + samples.size() * 2]) << "silence after it";
    std::string command = "rm -rf '" + std::string(pattern) + "'";
    (void)!system(command.c_str());
}

// A folder that cannot be made is said once, not once for every block of the mix.
TEST_F(SoundCard, UnwritableCaptureFolderIsReportedOnce) {
    StartHeadlessMachine(30, [&](host::Settings& s) {
        s.captureDir = "/proc/prismatel-take";
    }); // nothing can be made under /proc
    testing::internal::CaptureStderr();
    for (int frame = 0; frame < 20; frame++) machine::AdvanceFrame();
    std::string said = testing::internal::GetCapturedStderr();
    const std::string line = "sound: cannot write /proc/prismatel-take/audio.wav\n";
    ASSERT_NE(std::string::npos, said.find(line)) << said;
    EXPECT_EQ(said.find(line), said.rfind(line)) << said;
}

TEST_F(SoundCard, ClockSpansSplitWithoutGapsOrOverlap) {
    sound::StartRecording();
    // Spans that do not fall on sample boundaries still add up to the exact total.
    int64_t edges[] = {0, 7, 33333, 33334, 100001, 999999, 1000000};
    for (size_t i = 0; i + 1 < sizeof edges / sizeof edges[0]; i++)
        sound::RenderClockSpan(edges[i], edges[i + 1]);
    EXPECT_EQ(2u * 44100, sound::Recorded().size());
}

// The host's audio device pulls the mix in real time (SDL's dummy driver stands in for
// speakers here).
TEST_F(SoundCard, HostAudioPullsTheMix) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    host::SoundSink* speakers = host::sdl::TheSoundSink();
    if (!speakers->Open(sound::Render)) GTEST_SKIP() << "no SDL audio driver";
    BytesSource source;
    source.bytes.assign(44100 * 4 / 5, 1); // 0.2 s
    int id = sound::AddSource(&source, {44100, 2, 16});
    for (int i = 0; i < 200; i++) {
        {
            std::lock_guard<std::recursive_mutex> guard(sound::Lock());
            if (source.taken == source.bytes.size()) break;
        }
        usleep(10000);
    }
    speakers->Close();
    sound::RemoveSource(id);
    EXPECT_EQ(source.bytes.size(), source.taken);
}
