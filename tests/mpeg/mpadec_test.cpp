// The mpadec tool: its options, its WAV output against the decoder's own PCM, and its
// failures on bad input.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "mpeg_test_util.h"

using namespace mpegtest;

namespace {

std::string Tool() {
    return std::string(PRISMATEL_BINARY_DIR) + "/bin/mpadec";
}

struct Result {
    int status;
    std::string output;
};

Result RunTool(const std::string& arguments) {
    std::string command = "'" + Tool() + "' " + arguments + " 2>&1";
    Result r{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    char line[512];
    while (fgets(line, sizeof line, pipe)) r.output += line;
    int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; i--) v = v << 8 | b[at + (size_t)i];
    return v;
}

class Mpadec : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(Tool().c_str(), X_OK) != 0) GTEST_SKIP() << "mpadec not built";
        dir = TempDir();
    }
    void TearDown() override {
        if (!dir.empty()) mpegtest::Run("rm -rf '" + dir + "'");
    }
    // A short Layer II stream from twolame, or empty when twolame is missing.
    std::string Stream() {
        if (!HaveProgram("twolame")) return "";
        WriteTestWave(dir + "/in.wav", 44100, 2, 2.0);
        mpegtest::Run("twolame -b 192 '" + dir + "/in.wav' '" + dir + "/in.mp2'");
        return dir + "/in.mp2";
    }
    std::string dir;
};

TEST_F(Mpadec, BadArgumentsAndInputsFailWithAMessage) {
    EXPECT_EQ(RunTool("").status, 2);
    EXPECT_EQ(RunTool("--channels 3 a b").status, 2);
    EXPECT_EQ(RunTool("--rate double a b").status, 2);
    EXPECT_EQ(RunTool("--start -1 a b").status, 2);
    EXPECT_EQ(RunTool("--bogus a b").status, 2);
    Result missing = RunTool("'" + dir + "/none.mp3' '" + dir + "/out.wav'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("cannot open"), std::string::npos) << missing.output;
    WriteFile(dir + "/text.mp3", std::vector<uint8_t>(5000, 'x'));
    Result text = RunTool("'" + dir + "/text.mp3' '" + dir + "/out.wav'");
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.output.find("not an MPEG audio stream"), std::string::npos) << text.output;
    EXPECT_NE(access((dir + "/out.wav").c_str(), F_OK), 0);
}

TEST_F(Mpadec, WritesTheDecodersPcmAsWave) {
    std::string in = Stream();
    if (in.empty()) GTEST_SKIP() << "twolame missing";
    Result r = RunTool("'" + in + "' '" + dir + "/out.wav'");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("MPEG-1 Layer II, 44100 Hz, stereo"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("about 77 frames"), std::string::npos) << r.output;

    std::vector<uint8_t> wav = ReadFile(dir + "/out.wav");
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(memcmp(wav.data(), "RIFF", 4), 0);
    EXPECT_EQ(Le(wav, 4, 4), wav.size() - 8);
    EXPECT_EQ(Le(wav, 20, 2), 1u);     // PCM
    EXPECT_EQ(Le(wav, 22, 2), 2u);     // channels
    EXPECT_EQ(Le(wav, 24, 4), 44100u); // rate
    EXPECT_EQ(Le(wav, 34, 2), 16u);
    EXPECT_EQ(Le(wav, 40, 4), wav.size() - 44);

    MemoryStream source(ReadFile(in), true);
    Decoded d = DecodeAll(&source, 1, 0, 0);
    ASSERT_EQ(d.bytes.size(), wav.size() - 44);
    EXPECT_EQ(memcmp(d.bytes.data(), wav.data() + 44, d.bytes.size()), 0);
}

TEST_F(Mpadec, FormatRateChannelAndStartOptions) {
    std::string in = Stream();
    if (in.empty()) GTEST_SKIP() << "twolame missing";
    std::vector<uint8_t> bytes = ReadFile(in);
    struct Case {
        const char* options;
        int bits16, shift, channels;
        int wavChannels, wavRate, wavBits, wavFormat;
    } cases[] = {
        {"--float", 0, 0, 0, 2, 44100, 32, 3},
        {"--channels 1", 1, 0, 1, 1, 44100, 16, 1},
        {"--channels -2 --rate half", 1, 1, -2, 2, 22050, 16, 1},
        {"--rate quarter --float", 0, 2, 0, 2, 11025, 32, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        Result r = RunTool(std::string(c.options) + " '" + in + "' '" + dir + "/o.wav'");
        ASSERT_EQ(r.status, 0) << r.output;
        std::vector<uint8_t> wav = ReadFile(dir + "/o.wav");
        ASSERT_GT(wav.size(), 44u);
        EXPECT_EQ(Le(wav, 20, 2), (uint32_t)c.wavFormat);
        EXPECT_EQ(Le(wav, 22, 2), (uint32_t)c.wavChannels);
        EXPECT_EQ(Le(wav, 24, 4), (uint32_t)c.wavRate);
        EXPECT_EQ(Le(wav, 34, 2), (uint32_t)c.wavBits);
        MemoryStream source(bytes, true);
        Decoded d = DecodeAll(&source, c.bits16, c.shift, c.channels);
        ASSERT_EQ(d.bytes.size(), wav.size() - 44);
        EXPECT_EQ(memcmp(d.bytes.data(), wav.data() + 44, d.bytes.size()), 0);
    }
    // Starting one second in gives the same samples as a straight decode from there on.
    Result r = RunTool("--start 1 '" + in + "' '" + dir + "/s.wav'");
    ASSERT_EQ(r.status, 0) << r.output;
    std::vector<uint8_t> wav = ReadFile(dir + "/s.wav");
    MemoryStream source(bytes, true);
    Decoded d = DecodeAll(&source, 1, 0, 0);
    size_t skip = 44100 * 4;
    ASSERT_EQ(wav.size() - 44, d.bytes.size() - skip);
    EXPECT_EQ(memcmp(d.bytes.data() + skip, wav.data() + 44, wav.size() - 44), 0);
}

} // namespace
