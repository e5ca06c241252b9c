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
    std::string out, err; // standard output and standard error
};

// Runs the tool through the shell (`arguments` may redirect its standard streams).
Result RunTool(const std::string& arguments, const std::string& dir) {
    std::string outPath = dir + "/stdout", errPath = dir + "/stderr";
    bool outputKept = arguments.find(" > ") != std::string::npos; // by the test itself
    std::string command = "{ '" + Tool() + "' " + arguments +
                          (outputKept ? "" : " > '" + outPath + "'") + "; } 2> '" + errPath + "'";
    int status = system(command.c_str());
    std::vector<uint8_t> out = ReadFile(outPath), err = ReadFile(errPath);
    unlink(outPath.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(out.begin(), out.end()),
            std::string(err.begin(), err.end())};
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
    Result Run(const std::string& arguments) { return RunTool(arguments, dir); }
    std::string dir;
};

TEST_F(Mpadec, HelpAndBadArgumentsAndInputs) {
    for (const char* help : {"--help", "-h"}) {
        Result r = Run(help);
        EXPECT_EQ(r.status, 0) << help;
        EXPECT_NE(r.out.find("usage: mpadec"), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");
    }
    // Failures: a message on standard error, nothing on standard output, a non-zero status.
    WriteFile(dir + "/text.mp3", std::vector<uint8_t>(5000, 'x'));
    struct Case {
        std::string arguments;
        int status;
        const char* message;
    } cases[] = {
        {"", 2, "an input and an output file are needed"},
        {"--channels 3 a b", 2, "--channels takes"},
        {"--rate double a b", 2, "--rate takes"},
        {"--start -1 a b", 2, "--start takes"},
        {"--bogus a b", 2, "unknown option --bogus"},
        {"'" + dir + "/none.mp3' '" + dir + "/out.wav'", 1, "cannot open"},
        {"'" + dir + "/text.mp3' '" + dir + "/out.wav'", 1, "is not an MPEG audio stream"},
        {"- '" + dir + "/out.wav' < '" + dir + "/text.mp3'", 1, "is not an MPEG audio stream"},
    };
    for (const Case& c : cases) {
        Result r = Run(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.arguments;
    }
    EXPECT_NE(access((dir + "/out.wav").c_str(), F_OK), 0) << "no output for a refused input";
}

// "-" reads standard input and writes the WAV to standard output, so that the tool can sit
// in a pipe; the WAV's sizes then say "unknown", as the length is not known in advance.
TEST_F(Mpadec, StandardInputAndOutput) {
    std::string in = Stream();
    if (in.empty()) GTEST_SKIP() << "twolame missing";
    ASSERT_EQ(Run("'" + in + "' '" + dir + "/file.wav'").status, 0);
    std::vector<uint8_t> file = ReadFile(dir + "/file.wav");
    ASSERT_GT(file.size(), 44u);
    struct Case {
        std::string arguments;
        bool piped; // standard output is a pipe, not a file
    } cases[] = {
        {"- '" + dir + "/o.wav' < '" + in + "'", false},
        {"'" + in + "' - > '" + dir + "/o.wav'", false},
        {"- - < '" + in + "' | cat > '" + dir + "/o.wav'", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::string command = c.arguments;
        Result r = Run(command);
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<uint8_t> wav = ReadFile(dir + "/o.wav");
        ASSERT_EQ(wav.size(), file.size());
        EXPECT_EQ(memcmp(wav.data() + 44, file.data() + 44, file.size() - 44), 0);
        EXPECT_EQ(Le(wav, 40, 4), c.piped ? 0xFFFFFFFFu : wav.size() - 44);
        EXPECT_EQ(memcmp(wav.data() + 8, file.data() + 8, 32), 0) << "the same format";
    }
}

TEST_F(Mpadec, WritesTheDecodersPcmAsWave) {
    std::string in = Stream();
    if (in.empty()) GTEST_SKIP() << "twolame missing";
    Result r = Run("'" + in + "' '" + dir + "/out.wav'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("MPEG-1 Layer II, 44100 Hz, stereo"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("about 77 frames"), std::string::npos) << r.err;

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
        Result r = Run(std::string(c.options) + " '" + in + "' '" + dir + "/o.wav'");
        ASSERT_EQ(r.status, 0) << r.err;
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
    Result r = Run("--start 1 '" + in + "' '" + dir + "/s.wav'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> wav = ReadFile(dir + "/s.wav");
    MemoryStream source(bytes, true);
    Decoded d = DecodeAll(&source, 1, 0, 0);
    size_t skip = 44100 * 4;
    ASSERT_EQ(wav.size() - 44, d.bytes.size() - skip);
    EXPECT_EQ(memcmp(d.bytes.data() + skip, wav.data() + 44, wav.size() - 44), 0);
}

// --raw keeps every sample the decoder yields: the encoder's delay and padding stay, the
// Info frame (which is no music) does not come out as a frame of silence.
TEST_F(Mpadec, RawKeepsEveryDecodedSample) {
    if (!HaveProgram("lame") || !HaveProgram("mpg123")) GTEST_SKIP() << "lame or mpg123 missing";
    WriteTestWave(dir + "/in.wav", 44100, 2, 1.0);
    std::string mp3 = dir + "/in.mp3";
    ASSERT_EQ(mpegtest::Run("lame --quiet -b 128 '" + dir + "/in.wav' '" + mp3 + "'"), 0);
    Result r = Run("--raw '" + mp3 + "' '" + dir + "/raw.wav'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> wav = ReadFile(dir + "/raw.wav");
    MemoryStream source(ReadFile(mp3), true);
    Decoded d = DecodeAll(&source, 1, 0, 0);
    ASSERT_EQ(d.bytes.size(), wav.size() - 44);
    EXPECT_EQ(memcmp(d.bytes.data(), wav.data() + 44, d.bytes.size()), 0);
    ASSERT_EQ(system(("mpg123 -q --no-gapless -s '" + mp3 + "' > '" + dir + "/ref.raw'").c_str()),
              0);
    size_t reference = ReadFile(dir + "/ref.raw").size();
    // One frame more: the decaying tail after the last frame.
    EXPECT_EQ(d.bytes.size(), reference + 4608);
}

// The MP3 files people have: as lame writes them (an Info or Xing frame with a LAME tag in
// front, ID3 tags with cover art), or with what other software puts around the frames.
// Where the LAME tag gives the encoder's delay and padding, the tool's output is the
// source's length exactly, as mpg123's is; without one it is within a frame of mpg123's.
TEST_F(Mpadec, DecodesTheFilesPeopleHaveLikeMpg123) {
    if (!HaveProgram("lame") || !HaveProgram("mpg123")) GTEST_SKIP() << "lame or mpg123 missing";
    const int sourceFrames = 2 * 44100;
    WriteTestWave(dir + "/in.wav", 44100, 2, 2.0);
    WriteFile(dir + "/cover.jpg", CoverArt(30000, 7));
    auto lame = [&](const std::string& options) {
        std::string mp3 = dir + "/lame.mp3";
        EXPECT_EQ(mpegtest::Run("lame --quiet " + options + " '" + dir + "/in.wav' '" + mp3 + "'"),
                  0);
        return ReadFile(mp3);
    };
    auto join = [](std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    std::vector<uint8_t> cbr = lame("-b 128");
    const std::vector<uint8_t> utf16 = {1, 0xFF, 0xFE, 'L', 0, 0xFC, 0, 0, 0};
    const std::vector<uint8_t> utf8 = {3, 'L', 0xC3, 0xBC, 0};
    std::vector<uint8_t> picture = join({0, 'J', 'P', 'G', 3, 0}, CoverArt(30000, 8));
    std::vector<uint8_t> apic =
        join({3, 'i', 'm', 'a', 'g', 'e', '/', 'j', 'p', 'e', 'g', 0, 3, 0}, CoverArt(30000, 9));
    auto v24 = [&](bool footer) {
        return Id3v2Tag(4, join(Id3v2Frame(4, "TIT2", utf8), Id3v2Frame(4, "APIC", apic)), footer);
    };
    std::vector<uint8_t> junk(700, 0x41);
    std::vector<uint8_t> header = {0xFF, 0xFB, 0x90, 0x44}; // a frame header of this stream
    std::copy(header.begin(), header.end(), junk.begin() + 300);
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        bool gapless;
    } cases[] = {
        {"ID3v2.2, cover art, UTF-16 text",
         join(Id3v2Tag(2, join(Id3v2Frame(2, "TT2", utf16), Id3v2Frame(2, "PIC", picture))), cbr),
         true},
        {"ID3v2.3 by lame, cover art, UTF-16 text",
         lame("-b 128 --id3v2-only --id3v2-utf16 --tt Prismatel --ti '" + dir + "/cover.jpg'"),
         true},
        {"ID3v2.4, cover art, UTF-8 text", join(v24(false), cbr), true},
        {"ID3v2.4 with a footer", join(v24(true), cbr), true},
        {"junk before the first frame", join(junk, cbr), true},
        {"ID3v1 after", lame("-b 128 --id3v1-only --tt Prismatel"), true},
        {"CBR with an Info frame", cbr, true},
        {"VBR with a Xing frame", lame("-V 2"), true},
        {"MPEG-2 VBR with a Xing frame", lame("-V 5 --resample 22.05"), true},
        {"no info frame", lame("-b 128 -t"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string mp3 = dir + "/case.mp3", ours = dir + "/ours.wav", ref = dir + "/ref.wav";
        WriteFile(mp3, c.file);
        Result r = Run("'" + mp3 + "' '" + ours + "'");
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(mpegtest::Run("mpg123 -q -w '" + ref + "' '" + mp3 + "'"), 0);
        int ourChannels = 0, refChannels = 0;
        std::vector<int16_t> a = ReadWaveSamples(ours, &ourChannels);
        std::vector<int16_t> b = ReadWaveSamples(ref, &refChannels);
        ASSERT_EQ(ourChannels, 2);
        ASSERT_EQ(refChannels, 2);
        Agreement agreement = Compare(a, b, 2, 4);
        EXPECT_EQ(agreement.lag, 0);
        EXPECT_GE(agreement.snr, 55.0) << "max difference " << agreement.maxDifference;
        RecordProperty(c.name, std::to_string(agreement.snr));
        long frames = long(a.size() / 2), reference = long(b.size() / 2);
        if (c.gapless) {
            EXPECT_EQ(frames, reference);
            if (Le(ReadFile(ours), 24, 4) == 44100) {
                EXPECT_EQ(frames, sourceFrames);
            }
        } else {
            EXPECT_LE(labs(frames - reference), 1152L);
        }
    }
}

} // namespace
