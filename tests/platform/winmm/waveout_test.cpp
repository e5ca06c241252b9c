// waveOut on the simulated card: result codes, header flags as buffers play, and the bytes
// that reach the mix.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <vector>

#include "support/headless_machine.h"
#include "machine/machine.h"
#include "machine/sound_card.h"

namespace {

WAVEFORMATEX Pcm(int rate, int channels, int bits) {
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = (WORD)channels;
    f.nSamplesPerSec = (DWORD)rate;
    f.wBitsPerSample = (WORD)bits;
    f.nBlockAlign = (WORD)(channels * bits / 8);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    f.cbSize = 0;
    return f;
}

class WaveOut : public testing::Test {
protected:
    HWAVEOUT device = nullptr;
    void SetUp() override { StartHeadlessMachine(60); }
    void TearDown() override { machine::ResetForTest(); }
    void OpenStereo() {
        WAVEFORMATEX f = Pcm(44100, 2, 16);
        ASSERT_EQ((MMRESULT)MMSYSERR_NOERROR,
                  waveOutOpen(&device, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL));
    }
    static WAVEHDR Header(std::vector<int16_t>& samples) {
        WAVEHDR h;
        memset(&h, 0, sizeof h);
        h.lpData = reinterpret_cast<LPSTR>(samples.data());
        h.dwBufferLength = (DWORD)(samples.size() * 2);
        return h;
    }
    static std::vector<int16_t> Render(int frames) {
        std::vector<int16_t> out(2 * frames);
        sound::Render(out.data(), frames);
        return out;
    }
};

} // namespace

TEST_F(WaveOut, NoSoundDeviceMeansNoOpen) {
    sound::SetDevicePresent(false);
    EXPECT_EQ(0u, waveOutGetNumDevs());
    WAVEFORMATEX f = Pcm(44100, 2, 16);
    EXPECT_EQ((MMRESULT)MMSYSERR_NODRIVER,
              waveOutOpen(&device, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL));
    machine::ResetForTest();
    EXPECT_EQ(1u, waveOutGetNumDevs()) << "a reset puts the device back";
}

TEST_F(WaveOut, FormatsTheCardCannotPlayAreRefused) {
    WAVEFORMATEX bad[] = {Pcm(44100, 3, 16), Pcm(44100, 2, 24), Pcm(200000, 2, 16),
                          Pcm(44100, 2, 16)};
    bad[3].nBlockAlign = 3;
    for (WAVEFORMATEX& f : bad)
        EXPECT_EQ((MMRESULT)WAVERR_BADFORMAT,
                  waveOutOpen(&device, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL));
    WAVEFORMATEX good = Pcm(22050, 1, 8);
    int sources = sound::SourceCount();
    EXPECT_EQ((MMRESULT)MMSYSERR_NOERROR,
              waveOutOpen(nullptr, WAVE_MAPPER, &good, 0, 0, WAVE_FORMAT_QUERY));
    EXPECT_EQ(sources, sound::SourceCount()) << "a query opens nothing";
    EXPECT_EQ((MMRESULT)MMSYSERR_BADDEVICEID, waveOutOpen(&device, 5, &good, 0, 0, 0));
}

TEST_F(WaveOut, HeaderRulesAndHandleChecks) {
    OpenStereo();
    std::vector<int16_t> samples(200, 1);
    WAVEHDR h = Header(samples);
    EXPECT_EQ((MMRESULT)WAVERR_UNPREPARED, waveOutWrite(device, &h, sizeof h));
    EXPECT_EQ((MMRESULT)MMSYSERR_INVALPARAM, waveOutPrepareHeader(device, &h, 4));
    ASSERT_EQ((MMRESULT)MMSYSERR_NOERROR, waveOutPrepareHeader(device, &h, sizeof h));
    EXPECT_EQ((DWORD)WHDR_PREPARED, h.dwFlags);
    ASSERT_EQ((MMRESULT)MMSYSERR_NOERROR, waveOutWrite(device, &h, sizeof h));
    EXPECT_EQ((MMRESULT)WAVERR_STILLPLAYING, waveOutWrite(device, &h, sizeof h));
    EXPECT_EQ((MMRESULT)WAVERR_STILLPLAYING, waveOutUnprepareHeader(device, &h, sizeof h));
    EXPECT_EQ((MMRESULT)WAVERR_STILLPLAYING, waveOutClose(device));
    EXPECT_EQ((MMRESULT)MMSYSERR_NOERROR, waveOutReset(device));
    EXPECT_TRUE(h.dwFlags & WHDR_DONE) << "a reset returns every buffer";
    EXPECT_EQ(std::vector<int16_t>(8, 0), Render(4)) << "and plays none of it";
    EXPECT_EQ((MMRESULT)MMSYSERR_NOERROR, waveOutUnprepareHeader(device, &h, sizeof h));
    EXPECT_FALSE(h.dwFlags & WHDR_PREPARED);
    EXPECT_EQ((MMRESULT)MMSYSERR_NOERROR, waveOutClose(device));
    EXPECT_EQ((MMRESULT)MMSYSERR_INVALHANDLE, waveOutClose(device));
    EXPECT_EQ((MMRESULT)MMSYSERR_INVALHANDLE, waveOutReset(nullptr));
}

TEST_F(WaveOut, BuffersPlayInOrderAndAreDoneOnlyOnceTaken) {
    OpenStereo();
    std::vector<int16_t> first(2 * 1000), second(2 * 1000);
    for (size_t i = 0; i < first.size(); i++) {
        first[i] = (int16_t)i;
        second[i] = (int16_t)(-1 - (int)i);
    }
    WAVEHDR a = Header(first), b = Header(second);
    waveOutPrepareHeader(device, &a, sizeof a);
    waveOutPrepareHeader(device, &b, sizeof b);
    waveOutWrite(device, &a, sizeof a);
    waveOutWrite(device, &b, sizeof b);
    std::vector<int16_t> played = Render(999);
    EXPECT_FALSE(a.dwFlags & WHDR_DONE) << "999 of 1,000 frames played";
    std::vector<int16_t> last = Render(1);
    EXPECT_TRUE(a.dwFlags & WHDR_DONE) << "done with its last frame";
    EXPECT_FALSE(b.dwFlags & WHDR_DONE);
    std::vector<int16_t> rest = Render(1000);
    played.insert(played.end(), last.begin(), last.end());
    played.insert(played.end(), rest.begin(), rest.end());
    EXPECT_TRUE(a.dwFlags & WHDR_DONE);
    EXPECT_TRUE(b.dwFlags & WHDR_DONE);
    EXPECT_FALSE(a.dwFlags & WHDR_INQUEUE);
    std::vector<int16_t> expect = first;
    expect.insert(expect.end(), second.begin(), second.end());
    EXPECT_EQ(expect, played);
    waveOutUnprepareHeader(device, &a, sizeof a);
    waveOutUnprepareHeader(device, &b, sizeof b);
    EXPECT_EQ((MMRESULT)MMSYSERR_NOERROR, waveOutClose(device));
}

TEST_F(WaveOut, PauseHoldsThePositionAndRestartGoesOn) {
    OpenStereo();
    std::vector<int16_t> samples(2 * 600);
    for (size_t i = 0; i < samples.size(); i++) samples[i] = (int16_t)(i + 1);
    WAVEHDR h = Header(samples);
    waveOutPrepareHeader(device, &h, sizeof h);
    waveOutWrite(device, &h, sizeof h);
    std::vector<int16_t> played = Render(100);
    waveOutPause(device);
    std::vector<int16_t> paused = Render(2000);
    EXPECT_FALSE(h.dwFlags & WHDR_DONE);
    waveOutRestart(device);
    std::vector<int16_t> rest = Render(500);
    // What was fetched ahead before the pause plays out during it; nothing is lost.
    std::vector<int16_t> all = played;
    for (int16_t s : paused)
        if (s) all.push_back(s);
    for (int16_t s : rest)
        if (s) all.push_back(s);
    EXPECT_EQ(samples, all);
    EXPECT_TRUE(h.dwFlags & WHDR_DONE);
    waveOutUnprepareHeader(device, &h, sizeof h);
    waveOutClose(device);
}
