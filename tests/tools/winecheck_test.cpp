// The comparisons behind make wine: screenshots in XWD form, frames matched in order, sound
// aligned at each start of the music, and debug lines with their expected differences.
#include <gtest/gtest.h>

#include "debuglines.h"
#include "framematch.h"
#include "soundmatch.h"
#include "xwdimage.h"

#include <string.h>

namespace {

// ---- XWD -------------------------------------------------------------------------------

struct XwdLayout {
    uint32_t bitsPerPixel;
    bool msbFirst;
    uint32_t colors; // colour records between header and pixels
};

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back((uint8_t)(v >> shift));
}

// A width x height dump whose pixel (x, y) is red x * 10, green y * 20, blue 200.
std::vector<uint8_t> MakeXwd(const XwdLayout& l, int width, int height) {
    const char name[] = "shot";
    uint32_t headerSize = 100 + sizeof(name);
    int bytes = (int)l.bitsPerPixel / 8;
    uint32_t pitch = (uint32_t)(width * bytes + 3) & ~3u;
    uint32_t fields[25] = {headerSize,
                           7,
                           2,
                           24,
                           (uint32_t)width,
                           (uint32_t)height,
                           0,
                           l.msbFirst ? 1u : 0u,
                           32,
                           0,
                           32,
                           l.bitsPerPixel,
                           pitch,
                           4,
                           0xFF0000,
                           0xFF00,
                           0xFF,
                           8,
                           256,
                           l.colors};
    std::vector<uint8_t> out;
    for (uint32_t f : fields) Put32(out, f);
    out.insert(out.end(), name, name + sizeof(name));
    out.resize(out.size() + l.colors * 12, 0xAA);
    for (int y = 0; y < height; y++) {
        size_t rowStart = out.size();
        for (int x = 0; x < width; x++) {
            uint32_t v = (uint32_t)(x * 10) << 16 | (uint32_t)(y * 20) << 8 | 200;
            for (int i = 0; i < bytes; i++)
                out.push_back((uint8_t)(v >> (8 * (l.msbFirst ? bytes - 1 - i : i))));
        }
        out.resize(rowStart + pitch, 0);
    }
    return out;
}

TEST(Xwd, DecodesTrueColourDumpsInEitherByteOrder) {
    const XwdLayout layouts[] = {{32, false, 0}, {32, true, 0}, {24, false, 3}, {24, true, 1}};
    for (const XwdLayout& l : layouts) {
        SCOPED_TRACE(testing::Message() << l.bitsPerPixel << " bits, msb " << l.msbFirst);
        pngio::Image image;
        std::string error;
        ASSERT_TRUE(xwdimage::Decode(MakeXwd(l, 5, 3), image, error)) << error;
        ASSERT_EQ(image.width, 5);
        ASSERT_EQ(image.height, 3);
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 5; x++) {
                pngio::Rgba c = image.ColorAt(x, y);
                EXPECT_EQ(c.r, x * 10);
                EXPECT_EQ(c.g, y * 20);
                EXPECT_EQ(c.b, 200);
            }
    }
}

TEST(Xwd, RefusesWhatItCannotReadWithoutReadingPastTheFile) {
    std::vector<uint8_t> good = MakeXwd({32, false, 0}, 4, 4);
    auto with = [&](int field, uint32_t value) {
        std::vector<uint8_t> f = good;
        for (int i = 0; i < 4; i++) f.at(field * 4 + i) = (uint8_t)(value >> (24 - 8 * i));
        return f;
    };
    const struct {
        const char* what;
        std::vector<uint8_t> file;
    } cases[] = {
        {"empty", {}},
        {"half a header", std::vector<uint8_t>(good.begin(), good.begin() + 50)},
        {"version 6", with(1, 6)},
        {"XYPixmap", with(2, 1)},
        {"palette visual", with(13, 3)},
        {"16 bits per pixel", with(11, 16)},
        {"rows shorter than the pixels", with(12, 8)},
        {"header longer than the file", with(0, 0x7FFFFFFF)},
        {"colour records past the end", with(19, 0x10000000)},
        {"last row cut", std::vector<uint8_t>(good.begin(), good.end() - 1)},
    };
    for (const auto& c : cases) {
        pngio::Image image;
        std::string error;
        EXPECT_FALSE(xwdimage::Decode(c.file, image, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
}

// ---- frames ------------------------------------------------------------------------------

framematch::Thumb Flat(uint8_t level) {
    framematch::Thumb t;
    t.width = t.height = 2;
    t.rgb.assign(12, level);
    return t;
}

TEST(FrameMatch, ShrinksByAveragingBlocksAndMasksRows) {
    pngio::Image image;
    image.width = 5; // the fifth column is cut off
    image.height = 4;
    image.layout = pngio::Layout::Grey;
    image.samples = {0,  10, 100, 110, 255, //
                     20, 30, 120, 130, 255, //
                     1,  1,  2,   2,   255, //
                     1,  2,  3,   4,   255};
    framematch::Thumb t = framematch::Shrink(image, 2);
    ASSERT_EQ(t.width, 2);
    ASSERT_EQ(t.height, 2);
    const uint8_t expected[4] = {15, 115, 1, 3}; // rounded means of each 2 x 2 block
    for (int i = 0; i < 4; i++)
        for (int c = 0; c < 3; c++) EXPECT_EQ(t.rgb[i * 3 + c], expected[i]) << i;
    // Image row 3 lies in the second thumbnail row: that one is blacked out, not the first.
    framematch::MaskRows(t, 2, 3, 3);
    const uint8_t masked[4] = {15, 115, 0, 0};
    for (int i = 0; i < 4; i++) EXPECT_EQ(t.rgb[i * 3], masked[i]) << i;
    framematch::MaskRows(t, 2, 2, 100); // past the end is cut off
}

TEST(FrameMatch, MeanAbsoluteDifferenceIsPerChannelAndSizesMustAgree) {
    framematch::Thumb a = Flat(10), b = Flat(10);
    b.rgb[0] = 22; // one channel of one pixel off by 12: 12 / 12 samples
    EXPECT_DOUBLE_EQ(framematch::MeanAbsDifference(a, b), 1.0);
    EXPECT_DOUBLE_EQ(framematch::MeanAbsDifference(b, a), 1.0);
    framematch::Thumb small = Flat(10);
    small.width = 1;
    small.rgb.resize(6);
    EXPECT_GT(framematch::MeanAbsDifference(a, small), 1e6);
}

TEST(FrameMatch, KeepsTheShotsInFrameOrder) {
    // The show runs 0..5 and restarts: the same pictures come again later.
    std::vector<framematch::Thumb> frames;
    for (uint8_t level : {0, 40, 80, 120, 160, 200, 0, 40, 80}) frames.push_back(Flat(level));
    const struct {
        std::vector<uint8_t> shots;
        std::vector<int> frames;
    } cases[] = {
        {{41, 159}, {1, 4}},     // nearest, already in order
        {{160, 41}, {4, 7}},     // after the restart: the later copy
        {{0, 0, 40}, {0, 6, 7}}, // equal pictures still take distinct frames
        {{199, 1, 39, 81}, {5, 6, 7, 8}},
    };
    for (const auto& c : cases) {
        std::vector<framematch::Thumb> shots;
        for (uint8_t level : c.shots) shots.push_back(Flat(level));
        std::vector<framematch::Match> m = framematch::MatchInOrder(shots, frames);
        ASSERT_EQ(m.size(), c.frames.size());
        for (size_t i = 0; i < m.size(); i++) {
            EXPECT_EQ(m[i].frame, c.frames[i]) << "shot " << i;
            EXPECT_DOUBLE_EQ(m[i].distance,
                             framematch::MeanAbsDifference(shots[i], frames[m[i].frame]));
        }
    }
    // The nearest frame regardless of order is reported beside it.
    std::vector<framematch::Match> m = framematch::MatchInOrder({Flat(160), Flat(41)}, frames);
    EXPECT_EQ(m[1].nearest, 1);
    EXPECT_EQ(framematch::MatchInOrder({Flat(1), Flat(2)}, {Flat(1)}).size(), 0u);
}

// ---- sound -------------------------------------------------------------------------------

std::vector<int16_t> Music(size_t samples) {
    std::vector<int16_t> m(samples);
    for (size_t i = 0; i < samples; i++) m[i] = (int16_t)((i * 7919 + 13) % 20001 - 10000);
    return m;
}

soundmatch::Pcm Concat(std::initializer_list<std::vector<int16_t>> parts) {
    soundmatch::Pcm p;
    for (const auto& part : parts) p.samples.insert(p.samples.end(), part.begin(), part.end());
    return p;
}

std::vector<int16_t> Silence(size_t samples) {
    return std::vector<int16_t>(samples, 0);
}

std::vector<int16_t> Head(const std::vector<int16_t>& v, size_t n) {
    return std::vector<int16_t>(v.begin(), v.begin() + n);
}

TEST(SoundMatch, AlignsEachStartOfTheMusic) {
    std::vector<int16_t> music = Music(4000);
    // The stand-in: music, restarted after 1000 samples, then silence on its clock.
    soundmatch::Pcm reference = Concat({Silence(10), Head(music, 1000), music, Silence(50)});
    // Wine: another start-up delay, and it ran ahead before the restart.
    soundmatch::Pcm played = Concat({Silence(300), Head(music, 3000), Head(music, 3500)});
    soundmatch::Result r = soundmatch::Compare(reference, played, 100);
    EXPECT_EQ(r.referenceStarts, 2u);
    EXPECT_EQ(r.playedStarts, 2u);
    ASSERT_EQ(r.segments.size(), 2u);
    EXPECT_EQ(r.segments[0].referenceAt, 10u);
    EXPECT_EQ(r.segments[0].playedAt, 300u);
    EXPECT_EQ(r.segments[0].compared, 1000u);
    EXPECT_EQ(r.segments[1].compared, 3500u);
    EXPECT_EQ(r.segments[0].differing + r.segments[1].differing, 0u);

    played.samples[300 + 3000 + 1234] ^= 1;
    r = soundmatch::Compare(reference, played, 100);
    ASSERT_EQ(r.segments.size(), 2u);
    EXPECT_EQ(r.segments[1].differing, 1u);
    EXPECT_EQ(r.segments[1].firstDifference, 1234u);
}

TEST(SoundMatch, MissingStartsAndSilenceAreReportedNotMatched) {
    std::vector<int16_t> music = Music(2000);
    soundmatch::Pcm reference = Concat({music, music});
    soundmatch::Result r = soundmatch::Compare(reference, Concat({Silence(5000)}), 100);
    EXPECT_EQ(r.referenceStarts, 2u);
    EXPECT_EQ(r.playedStarts, 0u);
    EXPECT_TRUE(r.segments.empty());
    r = soundmatch::Compare(Concat({Silence(500)}), reference, 100);
    EXPECT_EQ(r.referenceStarts, 0u);
    EXPECT_TRUE(r.segments.empty());
}

std::vector<uint8_t> Wav(uint16_t format, uint16_t bits, std::vector<int16_t> samples) {
    std::vector<uint8_t> w;
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; i++) w.push_back((uint8_t)(v >> (8 * i)));
    };
    w.insert(w.end(), {'R', 'I', 'F', 'F'});
    put(36 + 8 + (uint32_t)samples.size() * 2, 4);
    w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4);
    put(format, 2);
    put(2, 2);
    put(44100, 4);
    put(176400, 4);
    put(4, 2);
    put(bits, 2);
    w.insert(w.end(), {'L', 'I', 'S', 'T'}); // a chunk to step over
    put(2, 4);
    put(0, 2);
    w.insert(w.end(), {'d', 'a', 't', 'a'});
    put((uint32_t)samples.size() * 2, 4);
    for (int16_t s : samples) put((uint16_t)s, 2);
    return w;
}

TEST(SoundMatch, ReadsSixteenBitWaveFilesOnly) {
    soundmatch::Pcm p;
    std::string error;
    ASSERT_TRUE(soundmatch::ParseWav(Wav(1, 16, {1, -2, 300, -32768}), p, error)) << error;
    EXPECT_EQ(p.channels, 2);
    EXPECT_EQ(p.rate, 44100);
    EXPECT_EQ(p.samples, (std::vector<int16_t>{1, -2, 300, -32768}));
    std::vector<uint8_t> cut = Wav(1, 16, {1, 2, 3, 4});
    cut.resize(cut.size() - 3); // the data chunk claims more than is there
    ASSERT_TRUE(soundmatch::ParseWav(cut, p, error));
    EXPECT_EQ(p.samples.size(), 2u);
    std::vector<uint8_t> empty = Wav(1, 16, {});
    const struct {
        const char* what;
        std::vector<uint8_t> file;
    } bad[] = {{"float", Wav(3, 32, {1, 2})},
               {"8-bit", Wav(1, 8, {1, 2})},
               {"not RIFF", std::vector<uint8_t>(40, 'x')},
               {"header only", std::vector<uint8_t>(empty.begin(), empty.begin() + 20)}};
    for (const auto& b : bad) EXPECT_FALSE(soundmatch::ParseWav(b.file, p, error)) << b.what;
    soundmatch::Pcm raw = soundmatch::FromRaw({0x01, 0x00, 0xFF, 0xFF, 0x7F}, 2, 44100);
    EXPECT_EQ(raw.samples, (std::vector<int16_t>{1, -1}));
}

// ---- debug lines -------------------------------------------------------------------------

TEST(DebugLines, UnescapesWhatWineQuoted) {
    const struct {
        const char* quoted;
        const char* text;
    } cases[] = {
        {"Mode 0640\\n", "Mode 0640\n"}, {"a\\tb\\\\c\\\"d", "a\tb\\c\"d"}, {"\\x41\\x4a!", "AJ!"},
        {"\\101\\0612", "A12"},          {"ends in \\", "ends in \\"},      {"\\xg", "xg"},
    };
    for (const auto& c : cases) EXPECT_EQ(debuglines::Unescape(c.quoted), c.text) << c.quoted;
}

TEST(DebugLines, JoinsWinesDebugStringsIntoLines) {
    const std::string log =
        "0024:fixme:imm:ImeSetActiveContext stub\n"
        "1047.49:0100:warn:debugstr:OutputDebugStringA \"d3d selected <Direct3D HAL>\\n\"\n"
        "1047.49:0100:warn:debugstr:OutputDebugStringA \"Texture formats found:\"\n"
        "1047.49:0100:warn:debugstr:OutputDebugStringA \"0\"\n"
        "1047.50:0100:err:d3d:something \"not ours\\n\"\n"
        "1047.50:0100:warn:debugstr:OutputDebugStringA \"1\"\n"
        "1047.50:0100:warn:debugstr:OutputDebugStringA \"\\nWindow 00010052\\ndd1 \\\"x\\\"\\n\"\n";
    EXPECT_EQ(debuglines::FromWineLog(log),
              (std::vector<std::string>{"d3d selected <Direct3D HAL>", "Texture formats found:01",
                                        "Window 00010052", "dd1 \"x\""}));
}

TEST(DebugLines, TakesOutExpectedDifferencesAndFindsTheRest) {
    std::vector<debuglines::Expected> expected;
    std::string error;
    ASSERT_TRUE(debuglines::ParseExpected("# why each\n"
                                          "*\t^Window [0-9A-F]{8}$\thandles\n"
                                          "vd\t^dderr \tWine only\n"
                                          "spin\t^Texture\tnot for vd\n",
                                          expected, error))
        << error;
    ASSERT_EQ(expected.size(), 3u);
    std::vector<std::string> wine = {"Window 00010052", "dderr 80070057 87", "Mode 08",
                                     "Texture formats found:0"};
    std::vector<std::string> standIn = {"Window 00010010", "Mode 08", "Texture formats found:1"};
    std::vector<debuglines::Difference> d = debuglines::Compare(wine, standIn, "vd", expected, 10);
    ASSERT_EQ(d.size(), 1u); // only the texture line, which no vd entry excuses
    EXPECT_EQ(d[0].wine, "Texture formats found:0");
    EXPECT_EQ(d[0].standIn, "Texture formats found:1");
    EXPECT_EQ(expected[0].used, 2);
    EXPECT_EQ(expected[1].used, 1);
    EXPECT_EQ(expected[2].used, 0);

    // For spin the dderr line is not excused, and everything after it is out of step.
    EXPECT_EQ(debuglines::Compare(wine, standIn, "spin", expected, 10).size(), 2u);
    EXPECT_EQ(debuglines::Compare({"a", "b"}, {"a"}, "vd", expected, 10).size(), 1u);
    EXPECT_EQ(debuglines::Compare({"a", "b", "c"}, {}, "vd", expected, 2).size(), 2u);

    const char* malformed[] = {"*\tno reason\n", "\t^x\treason\n", "*\t(\treason\n",
                               "*\t\treason\n"};
    for (const char* m : malformed) {
        std::vector<debuglines::Expected> out;
        EXPECT_FALSE(debuglines::ParseExpected(m, out, error)) << m;
    }
}

} // namespace
