// sWaveOutStream on the simulated card: what is written is what plays, buffers queue only
// when full, non-blocking writes stop at a full ring, and Close drains or discards.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/headless_machine.h"
#include "machine/machine.h"
#include "machine/sound_card.h"
#include "waveout.h"

namespace {

class WaveOutStream : public testing::Test {
protected:
    void SetUp() override { StartHeadlessMachine(60); }
    void TearDown() override { machine::ResetForTest(); }
};

std::vector<int16_t> Ramp(int samples, int start = 1) {
    std::vector<int16_t> v(samples);
    for (int i = 0; i < samples; i++) v[i] = (int16_t)(start + i);
    return v;
}

std::vector<int16_t> Render(int frames) {
    std::vector<int16_t> out(2 * frames);
    sound::Render(out.data(), frames);
    return out;
}

int Bytes(const std::vector<int16_t>& v) {
    return (int)v.size() * 2;
}

} // namespace

TEST_F(WaveOutStream, OpenFailsWithoutASoundDevice) {
    sound::SetDevicePresent(false);
    sWaveOutStream s;
    EXPECT_EQ(-1, s.Open(44100, 1, 1, 4608, 32));
    EXPECT_EQ(0, s.GetFlags());
    EXPECT_EQ(-1, s.Open(44100, 1, 1, 0, 32)) << "an empty buffer is no buffer";
}

TEST_F(WaveOutStream, OneBufferQueuesExactlyWhenFull) {
    sWaveOutStream s;
    ASSERT_EQ(0, s.Open(44100, 1, 1, 100, 4)); // 400-byte buffers
    EXPECT_EQ(SF_OPEN | SF_WRITE, s.GetFlags());
    std::vector<int16_t> pcm = Ramp(200);
    EXPECT_EQ(399, s.Write(pcm.data(), 399));
    EXPECT_EQ(std::vector<int16_t>(200, 0), Render(100)) << "one byte short: nothing queued";
    EXPECT_EQ(1, s.Write(reinterpret_cast<uint8_t*>(pcm.data()) + 399, 1));
    EXPECT_EQ(pcm, Render(100)) << "the full buffer plays, bit for bit";
    EXPECT_EQ(400, s.Control(SC_TRANSFERRED, nullptr, 0));
    s.Control(SC_SET_DRAIN, nullptr, 0);
    EXPECT_EQ(0, s.Shutdown());
}

TEST_F(WaveOutStream, NonBlockingWriteStopsWhenEveryBufferIsQueued) {
    sWaveOutStream s;
    ASSERT_EQ(0, s.Open(44100, 1, 1, 64, 32)); // 256-byte buffers, nothing plays meanwhile
    EXPECT_EQ(1, s.Control(SC_SET_BLOCKING, nullptr, 0));
    EXPECT_EQ(0, s.Control(SC_BLOCKING, nullptr, 0));
    std::vector<int16_t> pcm = Ramp(32 * 128 + 1000);
    int taken = s.Write(pcm.data(), Bytes(pcm));
    EXPECT_EQ(32 * 256, taken);
    EXPECT_EQ(1, s.Control(SC_SHORT_WRITE, nullptr, 0));
    EXPECT_EQ(0, s.Write(pcm.data(), 10)) << "still full";

    Render(64 * 2); // two buffers play and come back
    EXPECT_EQ(2 * 256, s.Write(pcm.data(), Bytes(pcm)));
    s.Control(SC_SET_DRAIN, nullptr, 0);
    s.Shutdown();
}

TEST_F(WaveOutStream, CloseWithoutDrainingDiscardsAtOnce) {
    int sources = sound::SourceCount();
    sWaveOutStream s;
    ASSERT_EQ(0, s.Open(44100, 1, 1, 4608, 32));
    EXPECT_EQ(-1, s.Control(SC_SET_DRAIN, nullptr, 0));
    EXPECT_EQ(0, s.Control(SC_DRAIN, nullptr, 0));
    std::vector<int16_t> pcm = Ramp(2 * 4608 * 3);
    s.Write(pcm.data(), Bytes(pcm));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(0, s.Shutdown());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(sources, sound::SourceCount()) << "the device is closed";
    EXPECT_EQ(std::vector<int16_t>(20, 0), Render(10)) << "queued audio is gone";
}

TEST_F(WaveOutStream, DrainingCloseWaitsUntilEverythingPlayed) {
    sWaveOutStream s;
    ASSERT_EQ(0, s.Open(44100, 1, 1, 500, 4));
    std::vector<int16_t> pcm = Ramp(3 * 1000);
    ASSERT_EQ(Bytes(pcm), s.Write(pcm.data(), Bytes(pcm)));
    std::atomic<bool> closed{false};
    std::vector<int16_t> heard;
    std::thread card([&] {
        // The card plays in real time while the writer closes.
        while (!closed) {
            std::vector<int16_t> block = Render(441);
            heard.insert(heard.end(), block.begin(), block.end());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    EXPECT_EQ(0, s.Shutdown());
    closed = true;
    card.join();
    std::vector<int16_t> played;
    for (int16_t v : heard)
        if (v) played.push_back(v);
    EXPECT_EQ(pcm, played) << "every queued buffer played before the device closed";
}

TEST_F(WaveOutStream, BlockingWriteWaitsForAFreeBuffer) {
    sWaveOutStream s;
    ASSERT_EQ(0, s.Open(44100, 1, 1, 200, 2));
    std::vector<int16_t> pcm = Ramp(2 * 200 * 5);
    std::atomic<bool> written{false};
    std::thread card([&] {
        while (!written) {
            Render(441);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    EXPECT_EQ(Bytes(pcm), s.Write(pcm.data(), Bytes(pcm)));
    written = true;
    card.join();
    s.Control(SC_SET_DRAIN, nullptr, 0);
    s.Shutdown();
}

// Three seconds a buffer (32,768 samples at 11,025 Hz): a working card gives the first one
// back only after playing it, which a wait limit of a fixed two seconds took for a stuck
// card, cutting the write short and the draining close too.
TEST_F(WaveOutStream, LongBuffersAreWaitedForAsLongAsTheyPlay) {
    sWaveOutStream s;
    const int samples = 32768;
    ASSERT_EQ(0, s.Open(11025, 0, 1, samples, 1));
    std::vector<int16_t> pcm(2 * samples, 1000);
    std::atomic<bool> closed{false};
    std::atomic<long> sounding{0};
    std::thread card([&] {
        while (!closed) { // real time: 441 frames of 44.1 kHz output every 10 ms
            for (int16_t v : Render(441)) sounding += v != 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    EXPECT_EQ(Bytes(pcm), s.Write(pcm.data(), Bytes(pcm))) << "the write waited for the card";
    EXPECT_EQ(0, s.Shutdown());
    closed = true;
    card.join();
    // Both buffers played out: 2 x 32,768 samples at a quarter of the output rate, stereo.
    EXPECT_GE(sounding.load(), 2L * samples * 4 * 2 * 99 / 100);
}

TEST_F(WaveOutStream, DestroyingAnOpenStreamClosesTheDevice) {
    int sources = sound::SourceCount();
    {
        sWaveOutStream s;
        ASSERT_EQ(0, s.Open(22050, 0, 0, 1000, 8));
        EXPECT_EQ(sources + 1, sound::SourceCount());
        s.Control(SC_SET_DRAIN, nullptr, 0);
    }
    EXPECT_EQ(sources, sound::SourceCount());
}

TEST_F(WaveOutStream, AStuckDeviceEndsWaitsInsteadOfHanging) {
    // Nothing renders: the card's clock stands still, as headless between frames.
    sWaveOutStream s;
    ASSERT_EQ(0, s.Open(44100, 1, 1, 100, 2));
    std::vector<int16_t> pcm = Ramp(2 * 100 * 3);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(2 * 400, s.Write(pcm.data(), Bytes(pcm))) << "a blocking write gives up";
    EXPECT_EQ(0, s.Shutdown()) << "and so does a draining close";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
}

// Headless, what the stream plays lands in the capture on the machine clock.
TEST_F(WaveOutStream, PlaysIntoTheHeadlessCapture) {
    char pattern[] = "/tmp/waveoutcapture_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    std::string dir = pattern;
    StartHeadlessMachine(50, [&](host::Settings& s) { s.captureDir = dir; });

    sWaveOutStream s;
    ASSERT_EQ(0, s.Open(44100, 1, 1, 441, 8)); // 10 ms buffers
    std::vector<int16_t> pcm = Ramp(2 * 441 * 4, 100);
    ASSERT_EQ(Bytes(pcm), s.Write(pcm.data(), Bytes(pcm)));
    for (int frame = 0; frame < 5; frame++) machine::AdvanceFrame(); // 100 ms
    s.Shutdown();

    std::vector<int16_t> wav;
    FILE* f = fopen((dir + "/audio.wav").c_str(), "rb");
    ASSERT_NE(nullptr, f);
    fseek(f, 44, SEEK_SET);
    int16_t sample;
    while (fread(&sample, 2, 1, f) == 1) wav.push_back(sample);
    fclose(f);
    ASSERT_EQ(2u * 4410, wav.size()) << "100 ms of stereo";
    std::vector<int16_t> start(wav.begin(), wav.begin() + pcm.size());
    EXPECT_EQ(pcm, start);
    EXPECT_EQ(0, wav.back()) << "then silence";
    std::string command = "rm -rf '" + dir + "'";
    (void)!system(command.c_str());
}
