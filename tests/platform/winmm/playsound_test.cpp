// PlaySound on the simulated card: RIFF/WAVE images from memory, replacement, stop, bad
// images and the missing sound device.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <vector>

#include "support/headless_machine.h"
#include "machine/machine.h"
#include "machine/sound_card.h"

namespace {

void Put16(std::vector<uint8_t>& b, int v) {
    b.push_back((uint8_t)v);
    b.push_back((uint8_t)(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; i++) b.push_back((uint8_t)(v >> (8 * i)));
}
void PutTag(std::vector<uint8_t>& b, const char* tag) {
    b.insert(b.end(), tag, tag + 4);
}

// A RIFF/WAVE image; `extra` adds a chunk before "fmt " as other writers do.
std::vector<uint8_t> WaveImage(int rate, int channels, int bits, const std::vector<uint8_t>& pcm,
                               bool extra = false) {
    std::vector<uint8_t> b;
    PutTag(b, "RIFF");
    Put32(b, 0);
    PutTag(b, "WAVE");
    if (extra) {
        PutTag(b, "LIST");
        Put32(b, 3); // odd: padded to 4
        b.insert(b.end(), {'a', 'b', 'c', 0});
    }
    PutTag(b, "fmt ");
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * channels * bits / 8);
    Put16(b, channels * bits / 8);
    Put16(b, bits);
    PutTag(b, "data");
    Put32(b, (uint32_t)pcm.size());
    b.insert(b.end(), pcm.begin(), pcm.end());
    uint32_t riff = (uint32_t)b.size() - 8;
    for (int i = 0; i < 4; i++) b[4 + i] = (uint8_t)(riff >> (8 * i));
    return b;
}

std::vector<uint8_t> Pcm16(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> b;
    for (int16_t s : samples) Put16(b, s);
    return b;
}

std::vector<int16_t> Render(int frames) {
    std::vector<int16_t> out(2 * frames);
    sound::Render(out.data(), frames);
    return out;
}

const DWORD kAsyncMemory = SND_ASYNC | SND_MEMORY;

class PlaySoundTest : public testing::Test {
protected:
    void SetUp() override { StartHeadlessMachine(60); }
    void TearDown() override { machine::ResetForTest(); }
};

} // namespace

TEST_F(PlaySoundTest, MemoryImagePlaysAsItsHeaderStates) {
    std::vector<int16_t> samples = {100, -100, 200, -200, 300, -300};
    std::vector<uint8_t> image = WaveImage(44100, 2, 16, Pcm16(samples), true);
    ASSERT_TRUE(PlaySound(reinterpret_cast<LPCSTR>(image.data()), NULL, kAsyncMemory));
    EXPECT_TRUE(sound::SystemSoundPlaying());
    image.assign(image.size(), 0x55); // the service keeps its own copy
    std::vector<int16_t> out = Render(4);
    EXPECT_EQ((std::vector<int16_t>{100, -100, 200, -200, 300, -300, 0, 0}), out);
    EXPECT_FALSE(sound::SystemSoundPlaying());
}

// Below 2 MiB of samples the service copies the image; from there on it plays the caller's
// memory in place, so a change to the samples after the call is heard.
TEST_F(PlaySoundTest, MemoryImagesFromTwoMegabytesPlayInPlace) {
    const struct {
        size_t pcmBytes;
        bool inPlace;
    } cases[] = {{(2u << 20) - 4, false}, {2u << 20, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pcmBytes);
        std::vector<uint8_t> image = WaveImage(44100, 2, 16, std::vector<uint8_t>(c.pcmBytes));
        ASSERT_TRUE(PlaySound(reinterpret_cast<LPCSTR>(image.data()), NULL, kAsyncMemory));
        const uint8_t changed[4] = {0xD2, 0x04, 0x2E, 0xFB}; // 1234, -1234
        std::copy(changed, changed + 4, image.end() - (long)c.pcmBytes);
        std::vector<int16_t> out = Render(1);
        EXPECT_EQ(c.inPlace ? (std::vector<int16_t>{1234, -1234}) : (std::vector<int16_t>{0, 0}),
                  out);
        PlaySound(NULL, NULL, 0);
    }
}

TEST_F(PlaySoundTest, MonoEightBitAtLowRateIsStretched) {
    std::vector<uint8_t> image = WaveImage(11025, 1, 8, {0xC0, 0xC0, 0xC0});
    ASSERT_TRUE(PlaySound(reinterpret_cast<LPCSTR>(image.data()), NULL, kAsyncMemory));
    std::vector<int16_t> out = Render(16);
    int heard = 0;
    for (size_t i = 0; i < out.size(); i += 2) {
        if (out[i] == 0) continue;
        EXPECT_EQ(16384, out[i]);
        EXPECT_EQ(out[i], out[i + 1]) << "mono on both sides";
        heard++;
    }
    EXPECT_EQ(12, heard) << "3 samples at a quarter of the rate";
}

TEST_F(PlaySoundTest, ANewSoundReplacesTheOldAndNullStops) {
    std::vector<uint8_t> a = WaveImage(44100, 1, 16, Pcm16(std::vector<int16_t>(100, 1000)));
    std::vector<uint8_t> b = WaveImage(44100, 1, 16, Pcm16(std::vector<int16_t>(100, -7)));
    ASSERT_TRUE(PlaySound(reinterpret_cast<LPCSTR>(a.data()), NULL, kAsyncMemory));
    Render(10);
    ASSERT_TRUE(PlaySound(reinterpret_cast<LPCSTR>(b.data()), NULL, kAsyncMemory));
    std::vector<int16_t> out = Render(10);
    EXPECT_EQ(std::vector<int16_t>(20, -7), out);
    EXPECT_TRUE(PlaySound(NULL, NULL, kAsyncMemory));
    EXPECT_FALSE(sound::SystemSoundPlaying());
    EXPECT_EQ(std::vector<int16_t>(20, 0), Render(10));
}

TEST_F(PlaySoundTest, AnImageThatIsNotRiffWavePlaysNothing) {
    std::vector<uint8_t> good = WaveImage(44100, 1, 16, Pcm16(std::vector<int16_t>(50, 9)));
    ASSERT_TRUE(PlaySound(reinterpret_cast<LPCSTR>(good.data()), NULL, kAsyncMemory));
    std::vector<uint8_t> zeroHeader(good.size(), 0); // a music image never filled in
    EXPECT_FALSE(PlaySound(reinterpret_cast<LPCSTR>(zeroHeader.data()), NULL, kAsyncMemory));
    EXPECT_EQ(std::vector<int16_t>(20, 0), Render(10)) << "the old sound was stopped too";

    std::vector<uint8_t> notWave = good;
    memcpy(notWave.data() + 8, "AVI ", 4);
    EXPECT_FALSE(PlaySound(reinterpret_cast<LPCSTR>(notWave.data()), NULL, kAsyncMemory));
    std::vector<uint8_t> notPcm = good;
    notPcm[20] = 2; // ADPCM
    EXPECT_FALSE(PlaySound(reinterpret_cast<LPCSTR>(notPcm.data()), NULL, kAsyncMemory));
}

TEST_F(PlaySoundTest, ChunkSizesNeverReachPastTheImage) {
    // A data chunk claiming more than the RIFF holds plays only what the RIFF holds; a fmt
    // chunk running past it refuses the image. (AddressSanitizer watches the reads.)
    std::vector<uint8_t> image = WaveImage(44100, 1, 16, Pcm16({5, 6, 7, 8}));
    size_t dataSize = image.size() - 8 - 4;
    for (int i = 0; i < 4; i++) image[dataSize + i] = 0xFF;
    std::vector<uint8_t> exact(image.begin(), image.end());
    ASSERT_TRUE(PlaySound(reinterpret_cast<LPCSTR>(exact.data()), NULL, kAsyncMemory));
    std::vector<int16_t> out = Render(6);
    EXPECT_EQ((std::vector<int16_t>{5, 5, 6, 6, 7, 7, 8, 8, 0, 0, 0, 0}), out);

    std::vector<uint8_t> shortFmt = WaveImage(44100, 1, 16, {});
    shortFmt.resize(12 + 8 + 10); // fmt header says 16 bytes; 10 remain
    uint32_t riff = (uint32_t)shortFmt.size() - 8;
    for (int i = 0; i < 4; i++) shortFmt[4 + i] = (uint8_t)(riff >> (8 * i));
    EXPECT_FALSE(PlaySound(reinterpret_cast<LPCSTR>(shortFmt.data()), NULL, kAsyncMemory));
}

TEST_F(PlaySoundTest, LoopRepeatsUntilStopped) {
    std::vector<uint8_t> image = WaveImage(44100, 1, 16, Pcm16({1, 2, 3}));
    ASSERT_TRUE(PlaySound(reinterpret_cast<LPCSTR>(image.data()), NULL, kAsyncMemory | SND_LOOP));
    std::vector<int16_t> out = Render(7);
    std::vector<int16_t> left;
    for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
    EXPECT_EQ((std::vector<int16_t>{1, 2, 3, 1, 2, 3, 1}), left);
    PlaySound(NULL, NULL, 0);
}

TEST_F(PlaySoundTest, NoSoundDevicePlaysNothing) {
    sound::SetDevicePresent(false);
    std::vector<uint8_t> image = WaveImage(44100, 1, 16, Pcm16({1, 2, 3}));
    EXPECT_FALSE(PlaySound(reinterpret_cast<LPCSTR>(image.data()), NULL, kAsyncMemory));
    EXPECT_EQ(std::vector<int16_t>(6, 0), Render(3));
}
