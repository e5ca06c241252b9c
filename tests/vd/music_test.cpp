// The demo's music: decoding a file into the in-memory image, its messages, and starting
// and stopping it through PlaySound.
#include "music.h"

#include "support/headless_machine.h"
#include "machine/machine.h"
#include "machine/sound_card.h"

#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

bool HaveLame() {
    return system("command -v lame >/dev/null 2>&1") == 0;
}

void WriteLE(std::ofstream& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; i++) out.put((char)(v >> (8 * i)));
}

// A tone of `seconds` at `rate` Hz, encoded by lame at 192 kbit/s (with lame's Info frame
// in front unless the options say -t).
std::string EncodeTone(const std::string& name, double seconds, int rate, int channels,
                       const std::string& options = "") {
    std::string wav = testing::TempDir() + name + ".wav", mp3 = testing::TempDir() + name + ".mp3";
    int frames = (int)(seconds * rate);
    std::ofstream out(wav, std::ios::binary);
    out.write("RIFF", 4);
    WriteLE(out, 36 + frames * channels * 2, 4);
    out.write("WAVEfmt ", 8);
    WriteLE(out, 16, 4);
    WriteLE(out, 1, 2);
    WriteLE(out, channels, 2);
    WriteLE(out, rate, 4);
    WriteLE(out, rate * channels * 2, 4);
    WriteLE(out, channels * 2, 2);
    WriteLE(out, 16, 2);
    out.write("data", 4);
    WriteLE(out, frames * channels * 2, 4);
    for (int i = 0; i < frames; i++)
        for (int c = 0; c < channels; c++)
            WriteLE(out, (uint16_t)(int16_t)(8000 * sin(2 * M_PI * (440 + 110 * c) * i / rate)), 2);
    out.close();
    std::string command = "lame --quiet -b 192 " + options + " '" + wav + "' '" + mp3 + "'";
    EXPECT_EQ(0, system(command.c_str()));
    return mp3;
}

class MusicTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartHeadlessMachine(60);
        sound::ResetForTest();
        memset(MusicImage, 0, sizeof MusicImage);
        musicPlaying = 0;
    }

    std::string Decode(const std::string& path) {
        testing::internal::CaptureStdout();
        DecodeMusic(path.c_str());
        return testing::internal::GetCapturedStdout();
    }

    // Last stereo frame of the image that is not silent, or -1.
    int LastSoundingFrame() const {
        const int16_t* pcm = (const int16_t*)(MusicImage + MUSIC_HEADER_BYTES);
        for (int i = MUSIC_BLOCKS * 1152 - 1; i >= 0; i--)
            if (pcm[2 * i] || pcm[2 * i + 1]) return i;
        return -1;
    }
};

TEST_F(MusicTest, MissingFileLeavesTheImageSilent) {
    EXPECT_EQ("Could not open input file\n", Decode("/nonexistent/vd.mp3"));
    EXPECT_EQ(0, MusicImage[0]); // no header: PlaySound plays nothing
}

TEST_F(MusicTest, FileThatIsNotMpegAudio) {
    std::string path = testing::TempDir() + "not_mpeg.mp3";
    std::ofstream(path) << "this is a text file, not MPEG audio\n";
    EXPECT_EQ("Could not open audio mpeg\n", Decode(path));
}

TEST_F(MusicTest, MachineWithoutSoundDevice) {
    if (!HaveLame()) GTEST_SKIP() << "lame is not installed";
    std::string mp3 = EncodeTone("nodevice", 1, 44100, 2);
    sound::SetDevicePresent(false);
    EXPECT_EQ("Could not create output stream\n", Decode(mp3));
    EXPECT_EQ(-1, LastSoundingFrame());
}

TEST_F(MusicTest, MusicOfAnotherFormatIsRefusedRatherThanPlayedWrong) {
    if (!HaveLame()) GTEST_SKIP() << "lame is not installed";
    std::string output = Decode(EncodeTone("mono22", 1, 22050, 1));
    EXPECT_NE(std::string::npos, output.find("44100 Hz stereo")) << output;
    EXPECT_EQ(-1, LastSoundingFrame());
}

TEST_F(MusicTest, ShortPieceEndsInSilenceAndTheHeaderIsTheFixedTemplate) {
    if (!HaveLame()) GTEST_SKIP() << "lame is not installed";
    EXPECT_EQ("", Decode(EncodeTone("short", 10, 44100, 2)));
    int last = LastSoundingFrame();
    EXPECT_GT(last, 44100 * 10 - 1000);
    EXPECT_LT(last, 44100 * 10 + 3000); // encoder delay and the decoder's tail
    const uint8_t header[44] = {'R', 'I', 'F',  'F',  0x24, 0xCA, 0x59, 0x00, 'W',  'A',  'V',
                                'E', 'f', 'm',  't',  ' ',  16,   0,    0,    0,    1,    0,
                                2,   0,   0x44, 0xAC, 0,    0,    0x10, 0xB1, 0x02, 0,    4,
                                0,   16,  0,    'd',  'a',  't',  'a',  0x00, 0xCA, 0x59, 0x00};
    EXPECT_EQ(0, memcmp(header, MusicImage, 44));
    EXPECT_EQ(0, musicPlaying);
}

TEST_F(MusicTest, LongPieceIsCutAtTheImagesEnd) {
    if (!HaveLame()) GTEST_SKIP() << "lame is not installed";
    EXPECT_EQ("", Decode(EncodeTone("long", 40, 44100, 2)));
    EXPECT_EQ(MUSIC_BLOCKS * 1152 - 1, LastSoundingFrame());
}

// The loader keeps the music where the decoder puts it: a piece with lame's Info frame (and
// its LAME tag) fills the image exactly as the same piece without one, as the show's own
// music is. Its cues were set against that music, delays included.
TEST_F(MusicTest, InfoFrameLeavesTheImageAsWithoutOne) {
    if (!HaveLame()) GTEST_SKIP() << "lame is not installed";
    std::string withInfo = EncodeTone("info", 3, 44100, 2);
    std::string without = EncodeTone("noinfo", 3, 44100, 2, "-t");
    EXPECT_EQ("", Decode(without));
    std::vector<uint8_t> plain(MusicImage, MusicImage + MUSIC_IMAGE_BYTES);
    memset(MusicImage, 0, sizeof MusicImage);
    EXPECT_EQ("", Decode(withInfo));
    EXPECT_GT(LastSoundingFrame(), 44100 * 3 - 1000);
    EXPECT_EQ(0, memcmp(plain.data(), MusicImage, MUSIC_IMAGE_BYTES));
}

// The helper thread's part, decoded after a seek, joins the main thread's without a seam:
// the image is the same to the bit as one decoded from start to end on one thread.
TEST_F(MusicTest, TwoThreadsDecodeTheSameImageAsOne) {
    if (!HaveLame()) GTEST_SKIP() << "lame is not installed";
    std::string mp3 = EncodeTone("split", 36, 44100, 2);
    EXPECT_EQ("", Decode(mp3));
    std::vector<uint8_t> oneThread(MusicImage, MusicImage + MUSIC_IMAGE_BYTES);
    memset(MusicImage, 0, sizeof MusicImage);
    PrepareMusic(mp3.c_str());
    EXPECT_EQ("", Decode(mp3));
    EXPECT_EQ(MUSIC_BLOCKS * 1152 - 1, LastSoundingFrame());
    EXPECT_EQ(0, memcmp(oneThread.data(), MusicImage, MUSIC_IMAGE_BYTES));
}

// Music the main thread refuses leaves no part of the helper's decode behind.
TEST_F(MusicTest, RefusedMusicLeavesTheHelpersPartSilentToo) {
    if (!HaveLame()) GTEST_SKIP() << "lame is not installed";
    std::string mp3 = EncodeTone("refused", 36, 44100, 2);
    sound::SetDevicePresent(false);
    PrepareMusic(mp3.c_str());
    EXPECT_EQ("Could not create output stream\n", Decode(mp3));
    EXPECT_EQ(-1, LastSoundingFrame());
}

TEST_F(MusicTest, StartPlaysOnceAndStopStops) {
    if (!HaveLame()) GTEST_SKIP() << "lame is not installed";
    Decode(EncodeTone("play", 1, 44100, 2));
    EXPECT_EQ(0, StartMusic());
    EXPECT_EQ(1, musicPlaying);
    EXPECT_TRUE(sound::SystemSoundPlaying());
    StartMusic(); // already playing: not restarted
    EXPECT_EQ(1, musicPlaying);
    StopMusic();
    EXPECT_EQ(0, musicPlaying);
    EXPECT_FALSE(sound::SystemSoundPlaying());
}

} // namespace
