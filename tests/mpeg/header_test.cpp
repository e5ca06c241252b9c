// Frame headers: sync search, acceptance against the first frame, frame lengths and the scan
// of the stream's first frames.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "mpeg_test_util.h"

using namespace mpegtest;

namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

// A decoder reading from a memory stream, ready for FindHeader.
struct Reader {
    std::unique_ptr<MemoryStream> source;
    std::unique_ptr<sMpegStream> s = std::make_unique<sMpegStream>();
    Reader(Bytes bytes, bool seekable = true) {
        source = std::make_unique<MemoryStream>(std::move(bytes), seekable);
        s->source = source.get();
        s->notSeekable = !seekable;
        s->ResetInput();
    }
    // Finds headers one after another, each frame skipped by its length.
    std::vector<sMpegHeader> All() {
        std::vector<sMpegHeader> found;
        for (int first = 1; s->FindHeader(first); first = 0) {
            found.push_back(s->header);
            s->SkipToFrameEnd();
        }
        return found;
    }
};

HeaderFields Fields(int version, int layer, int bitrate, int rate = 0, int mode = 0) {
    HeaderFields h;
    h.version = version, h.layer = layer, h.bitrateIndex = bitrate, h.sampleRateIndex = rate;
    h.mode = mode;
    return h;
}

// A frame whose payload is full of acceptable-looking headers with bitrate index 1: a decoder
// that gets the frame's length wrong lands on one of them and reports bitrate index 1.
Bytes BaitedFrame(const HeaderFields& h) {
    Bytes frame = HeaderBytes(h);
    HeaderFields bait = h;
    bait.bitrateIndex = 1;
    bait.padding = 0;
    Bytes fake = HeaderBytes(bait);
    size_t length = (size_t)ExpectedFrameLength(h);
    while (frame.size() < length) frame.push_back(fake[(frame.size() - 4) % 4]);
    frame.resize(length);
    return frame;
}

TEST(FrameLength, EveryLayerVersionRateAndPadding) {
    sMpegStream* s = new sMpegStream;
    for (int version = 0; version < 3; version++)
        for (int layer = 0; layer < 3; layer++)
            for (int rate = 0; rate < 3; rate++)
                for (int bitrate = 1; bitrate < 15; bitrate++)
                    for (int padding = 0; padding < 2; padding++) {
                        HeaderFields h = Fields(version, layer, bitrate, rate);
                        h.padding = padding;
                        s->header.version = version, s->header.layer = layer;
                        s->header.sampleRateIndex = rate, s->header.bitrateIndex = bitrate;
                        s->header.padding = padding;
                        ASSERT_EQ(s->FrameLength(), ExpectedFrameLength(h))
                            << version << " " << layer << " " << rate << " " << bitrate;
                    }
    delete s;
}

TEST(FrameLength, KnownSizes) {
    // 128 kbit/s 44.1 kHz Layer III: 417 bytes, 418 padded; Layer I 32 kHz 448 kbit/s:
    // 672 bytes; Layer II 32 kHz 384 kbit/s padded: 1729, the largest frame;
    // MPEG-2 Layer III 22.05 kHz 64 kbit/s: 208.
    HeaderFields l3 = Fields(0, 2, 9, 0);
    EXPECT_EQ(ExpectedFrameLength(l3), 417);
    Reader r(SilentFrame(l3));
    ASSERT_TRUE(r.s->FindHeader(1));
    EXPECT_EQ(r.s->FrameLength(), 417);
    r.s->header.padding = 1;
    EXPECT_EQ(r.s->FrameLength(), 418);
    r.s->header = {0, 0, 14, 2, 0, 0, 0, 0};
    EXPECT_EQ(r.s->FrameLength(), 672);
    r.s->header = {1, 0, 14, 2, 1, 0, 0, 0};
    EXPECT_EQ(r.s->FrameLength(), 1729);
    r.s->header = {2, 0, 8, 0, 0, 0, 0, 1};
    EXPECT_EQ(r.s->FrameLength(), 208);
}

TEST(FrameBoundaries, EachFrameEndsWhereTheNextBegins) {
    struct Case {
        int version, layer, rate;
    } cases[] = {{0, 0, 0}, {0, 1, 1}, {0, 2, 0}, {0, 2, 2}, {1, 0, 0},
                 {1, 1, 2}, {1, 2, 0}, {2, 2, 0}, {2, 2, 2}};
    for (const Case& c : cases) {
        Bytes stream;
        std::vector<int> bitrates;
        for (int i = 0; i < 40; i++) {
            HeaderFields h = Fields(c.version, c.layer, 2 + i % 13, c.rate, i % 2);
            h.padding = (i / 3) % 2;
            Append(stream, BaitedFrame(h));
            bitrates.push_back(h.bitrateIndex);
        }
        Reader r(stream);
        std::vector<sMpegHeader> found = r.All();
        std::string seen;
        for (auto& f : found) seen += std::to_string(f.bitrateIndex) + " ";
        ASSERT_EQ(found.size(), bitrates.size()) << c.version << " " << c.layer << ": " << seen;
        for (size_t i = 0; i < found.size(); i++)
            EXPECT_EQ(found[i].bitrateIndex, bitrates[i]) << c.version << " " << c.layer << " " << i;
    }
}

TEST(HeaderSearch, RunOfFFBeforeAHeaderTakesTheLastOne) {
    Bytes stream(37, 0xFF);
    HeaderFields h = Fields(0, 1, 11, 1);
    Append(stream, BaitedFrame(h));
    Append(stream, BaitedFrame(Fields(0, 1, 12, 1)));
    Reader r(stream);
    std::vector<sMpegHeader> found = r.All();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].bitrateIndex, 11);
    EXPECT_EQ(found[0].layer, 1);
    EXPECT_EQ(found[0].sampleRateIndex, 1);
    // The first frame's length counted from its real start: the second is found exactly.
    EXPECT_EQ(found[1].bitrateIndex, 12);
}

TEST(HeaderSearch, StereoAndJointStereoMixButOtherChannelModesAreSkipped) {
    Bytes stream;
    int modes[] = {0, 1, 3, 0, 2, 1, 1, 3, 0};
    for (int i = 0; i < 9; i++) Append(stream, SilentFrame(Fields(0, 2, 3 + i, 0, modes[i])));
    Reader r(stream);
    std::vector<sMpegHeader> found = r.All();
    std::vector<int> rates;
    for (auto& h : found) rates.push_back(h.bitrateIndex);
    EXPECT_EQ(rates, (std::vector<int>{3, 4, 6, 8, 9, 11}));
}

TEST(HeaderSearch, MonoStreamSkipsStereoFrames) {
    Bytes stream;
    int modes[] = {3, 0, 3, 1, 3};
    for (int i = 0; i < 5; i++) Append(stream, SilentFrame(Fields(0, 1, 3 + i, 0, modes[i])));
    Reader r(stream);
    EXPECT_EQ(r.All().size(), 3u);
}

TEST(HeaderSearch, FramesOfAnotherFormatAreFalseSyncs) {
    Bytes stream;
    Append(stream, SilentFrame(Fields(0, 1, 5, 0)));
    Append(stream, SilentFrame(Fields(0, 2, 5, 0))); // other layer
    Append(stream, SilentFrame(Fields(1, 1, 5, 0))); // other version
    Append(stream, SilentFrame(Fields(0, 1, 5, 1))); // other sample rate
    Append(stream, SilentFrame(Fields(0, 1, 6, 0)));
    Reader r(stream);
    std::vector<sMpegHeader> found = r.All();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[1].bitrateIndex, 6);
}

TEST(HeaderSearch, FreeFormatAndBitrate15AreNeverAccepted) {
    Bytes stream;
    Append(stream, HeaderBytes(Fields(0, 1, 0, 0)));
    stream.resize(300, 0);
    Append(stream, HeaderBytes(Fields(0, 1, 15, 0)));
    stream.resize(600, 0);
    Reader r(stream);
    EXPECT_FALSE(r.s->FindHeader(1));
    EXPECT_EQ(r.s->header.bitrateIndex, 0);
}

TEST(HeaderSearch, ReservedFieldsAreRejectedEvenOnTheFirstFrame) {
    Bytes stream = {0xFF, 0xEB, 0x90, 0x00}; // version bits 01: reserved
    stream.resize(500, 0);
    Append(stream, {0xFF, 0xF9, 0x90, 0x00}); // layer bits 00: reserved
    stream.resize(1000, 0);
    Append(stream, {0xFF, 0xFD, 0x9C, 0x00}); // sample-rate index 3
    stream.resize(1500, 0);
    Reader r(stream);
    EXPECT_FALSE(r.s->FindHeader(1));
}

TEST(HeaderSearch, CrcIsSkipped) {
    HeaderFields h = Fields(0, 1, 9, 0);
    h.crc = 1;
    Bytes stream = SilentFrame(h);
    stream[4] = 0xAB, stream[5] = 0xCD, stream[6] = 0x5A;
    Reader r(stream);
    ASSERT_TRUE(r.s->FindHeader(1));
    EXPECT_EQ(r.s->header.crc, 1);
    EXPECT_EQ(r.s->GetBits(8), 0x5Au);
}

TEST(HeaderSearch, TinyAndHopelessInputsGiveNoHeader) {
    HeaderFields h = Fields(0, 1, 9, 0);
    Bytes header = HeaderBytes(h);
    std::vector<Bytes> inputs = {
        {},
        {0xFF},
        {0xFF, 0xFB, 0x90},       // under four bytes
        Bytes(20000, 0xFF),       // all sync bits, no bitrate
        {0x00, 0x11, 0xFF, 0xFB}, // a header cut after its second byte
        Bytes(5000, 0x00),
    };
    Bytes atEnd(3000, 0x55);
    atEnd.push_back(0xFF);
    atEnd.push_back(0xFB);
    inputs.push_back(atEnd);
    for (size_t i = 0; i < inputs.size(); i++) {
        for (bool seekable : {true, false}) {
            Reader r(inputs[i], seekable);
            EXPECT_FALSE(r.s->FindHeader(1)) << i;
            EXPECT_EQ(r.s->header.bitrateIndex, 0);
        }
    }
}

TEST(HeaderSearch, RandomBytesEndCleanly) {
    std::mt19937 rng(99);
    for (int round = 0; round < 20; round++) {
        Bytes noise(1 + rng() % 40000);
        for (auto& b : noise) b = (uint8_t)rng();
        Reader r(noise, round % 2 == 0);
        int count = 0;
        for (int first = 1; r.s->FindHeader(first) && count < 100000; first = 0) {
            ASSERT_NE(r.s->header.bitrateIndex, 0);
            ASSERT_NE(r.s->header.bitrateIndex, 15);
            r.s->SkipToFrameEnd();
            count++;
        }
        EXPECT_LT(count, 100000);
    }
}

TEST(HeaderSearch, LongStreamsCrossManyRefills) {
    Bytes stream;
    int frames = 0;
    while (stream.size() < 200000) {
        HeaderFields h = Fields(0, 2, 1 + frames % 14, 0, 1);
        h.padding = frames % 2;
        Append(stream, BaitedFrame(h));
        frames++;
    }
    for (bool seekable : {true, false}) {
        Reader r(stream, seekable);
        std::vector<sMpegHeader> found = r.All();
        ASSERT_EQ((int)found.size(), frames);
        for (int i = 0; i < frames; i++) ASSERT_EQ(found[(size_t)i].bitrateIndex, 1 + i % 14);
    }
}

// ---- ScanStream ----

Bytes Id3Tag(size_t payload) {
    Bytes tag = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    // A tag's contents may hold 0xFF bytes, just not followed by 0xE0 or more.
    for (size_t i = 0; i < payload; i++) tag.push_back(i % 7 == 0 ? 0xFF : (uint8_t)(i & 0x7F));
    return tag;
}

int Scan(const Bytes& bytes, bool seekable, int* bitrate, int* dataStart = nullptr) {
    Reader r(bytes, seekable);
    int ok = r.s->ScanStream(bitrate);
    if (dataStart) *dataStart = r.s->dataStart;
    return ok;
}

TEST(ScanStream, MeanBitrateOfTheFirstEightLayerIIIFrames) {
    Bytes stream;
    int indexes[] = {9, 5, 14, 1, 11, 3, 7, 10, 14, 14, 14};
    for (int i : indexes) Append(stream, SilentFrame(Fields(0, 2, i, 0)));
    int bitrate = 0;
    ASSERT_TRUE(Scan(stream, true, &bitrate));
    EXPECT_EQ(bitrate, (128 + 64 + 320 + 32 + 192 + 48 + 96 + 160) * 1000 / 8);
    // Not seekable: the first frame's bitrate.
    ASSERT_TRUE(Scan(stream, false, &bitrate));
    EXPECT_EQ(bitrate, 128000);
}

TEST(ScanStream, LayersIAndIIUseTheFirstFrame) {
    Bytes stream;
    Append(stream, SilentFrame(Fields(0, 1, 4, 0)));
    Append(stream, SilentFrame(Fields(0, 1, 12, 0)));
    int bitrate = 0;
    ASSERT_TRUE(Scan(stream, true, &bitrate));
    EXPECT_EQ(bitrate, 64000);
}

TEST(ScanStream, SkipsAnId3v23TagToTheFirstFrame) {
    Bytes stream = Id3Tag(3000);
    size_t tagSize = stream.size();
    for (int i = 0; i < 10; i++) Append(stream, SilentFrame(Fields(0, 2, 9, 0, 1)));
    int bitrate = 0, start = -1;
    ASSERT_TRUE(Scan(stream, true, &bitrate, &start));
    EXPECT_EQ(bitrate, 128000);
    EXPECT_EQ(start, (int)tagSize);
    // The tag's other versions are not skipped: the stream does not begin with a frame.
    stream[3] = 4;
    EXPECT_FALSE(Scan(stream, true, &bitrate));
}

TEST(ScanStream, RejectsWhatIsNotAStream) {
    int bitrate = 0;
    EXPECT_FALSE(Scan({}, true, &bitrate));
    EXPECT_FALSE(Scan({0x00, 0xFF, 0xFB, 0x90, 0x00}, true, &bitrate));
    EXPECT_FALSE(Scan({0xFF, 0xFB}, true, &bitrate)); // fewer than three bytes after 0xFF
    EXPECT_FALSE(Scan(SilentFrame(Fields(0, 1, 0, 0)), true, &bitrate));      // free format
    EXPECT_FALSE(Scan({0xFF, 0xE4, 0x90, 0x00, 0, 0, 0, 0}, true, &bitrate)); // 2.5 Layer II
    EXPECT_FALSE(Scan({0xFF, 0xFB, 0x9C, 0x00, 0, 0, 0, 0}, true, &bitrate)); // rate index 3
    Bytes tagOnly = Id3Tag(100);
    EXPECT_FALSE(Scan(tagOnly, true, &bitrate));
}

TEST(ScanStream, ShortLayerIIIStreamAveragesTheFramesItHas) {
    Bytes stream;
    Append(stream, SilentFrame(Fields(0, 2, 9, 0)));
    Append(stream, SilentFrame(Fields(0, 2, 5, 0)));
    int bitrate = 0;
    ASSERT_TRUE(Scan(stream, true, &bitrate));
    EXPECT_EQ(bitrate, (128000 + 64000) / 2);
}

} // namespace
