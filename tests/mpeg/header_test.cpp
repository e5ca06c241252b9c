// Frame headers: sync search, acceptance against the first frame, frame lengths and the scan
// of the stream's first frames.
#include <gtest/gtest.h>

#include <algorithm>
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
            EXPECT_EQ(found[i].bitrateIndex, bitrates[i])
                << c.version << " " << c.layer << " " << i;
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

struct Scanned {
    int ok = 0, bitrate = 0, dataStart = -1;
    sMpegInfoFrame info = {};
};

Scanned Scan(const Bytes& bytes, bool seekable) {
    Reader r(bytes, seekable);
    Scanned s;
    s.ok = r.s->ScanStream(&s.bitrate);
    s.dataStart = r.s->dataStart;
    s.info = r.s->info;
    return s;
}

// Layer III frames at 128 kbit/s, 44.1 kHz, joint stereo: the stream the planted headers in
// tags and junk (FF FB 90 44) would belong to.
Bytes Layer3Frames(int count) {
    Bytes out;
    for (int i = 0; i < count; i++) Append(out, SilentFrame(Fields(0, 2, 9, 0, 1)));
    return out;
}

// Bytes without any sync, with the given pieces planted at their offsets.
Bytes Junk(size_t size, const std::vector<std::pair<size_t, Bytes>>& planted = {}) {
    std::mt19937 rng{uint32_t(size)};
    Bytes junk(size);
    for (auto& b : junk) b = uint8_t(rng() & 0x7F);
    for (auto& p : planted)
        std::copy(p.second.begin(), p.second.end(), junk.begin() + long(p.first));
    return junk;
}

TEST(ScanStream, MeanBitrateOfTheFirstEightLayerIIIFrames) {
    Bytes stream;
    int indexes[] = {9, 5, 14, 1, 11, 3, 7, 10, 14, 14, 14};
    for (int i : indexes) Append(stream, SilentFrame(Fields(0, 2, i, 0)));
    Scanned s = Scan(stream, true);
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.bitrate, (128 + 64 + 320 + 32 + 192 + 48 + 96 + 160) * 1000 / 8);
    // Not seekable: the first frame's bitrate.
    s = Scan(stream, false);
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.bitrate, 128000);
    // Layers I and II use the first frame's too; a short Layer III stream the frames it has.
    Bytes layer2 = SilentFrame(Fields(0, 1, 4, 0));
    Append(layer2, SilentFrame(Fields(0, 1, 12, 0)));
    EXPECT_EQ(Scan(layer2, true).bitrate, 64000);
    Bytes two = SilentFrame(Fields(0, 2, 9, 0));
    Append(two, SilentFrame(Fields(0, 2, 5, 0)));
    EXPECT_EQ(Scan(two, true).bitrate, (128000 + 64000) / 2);
}

TEST(ScanStream, TagsInFrontAreSkippedByTheirSizeWhateverTheyHold) {
    struct Case {
        int major;
        bool footer;
        const char* text;  // frame id
        const char* image; // frame id
        uint8_t encoding;  // of the text: 0 Latin-1, 1 UTF-16, 3 UTF-8
    } cases[] = {
        {2, false, "TT2", "PIC", 1},
        {3, false, "TIT2", "APIC", 1},
        {4, false, "TIT2", "APIC", 3},
        {4, true, "TIT2", "APIC", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + (c.footer ? " with footer" : ""));
        Bytes text = {c.encoding, 0xFF, 0xFE, 'L', 0, 0xE9, 0}; // UTF-16 starts FF FE
        Bytes frames = Id3v2Frame(c.major, c.text, text);
        Append(frames, Id3v2Frame(c.major, c.image, CoverArt(40000, 3)));
        Bytes tag = Id3v2Tag(c.major, frames, c.footer);
        EXPECT_EQ(Id3v2TagBytes(tag.data()), int(tag.size()));
        Bytes stream = tag;
        Append(stream, Layer3Frames(12));
        for (bool seekable : {true, false}) {
            Scanned s = Scan(stream, seekable);
            ASSERT_TRUE(s.ok) << seekable;
            EXPECT_EQ(s.dataStart, int(tag.size())) << seekable;
            EXPECT_EQ(s.bitrate, 128000);
        }
    }
}

TEST(ScanStream, WhatIsNoId3v2HeaderIsNotSkipped) {
    Bytes good = {'I', 'D', '3', 3, 0, 0x10, 0, 0, 1, 0}; // no footer before version 4
    EXPECT_EQ(Id3v2TagBytes(good.data()), 10 + 128);
    std::vector<Bytes> bad = {
        {'I', 'D', '3', 5, 0, 0, 0, 0, 1, 0},    // unknown major version
        {'I', 'D', '3', 1, 0, 0, 0, 0, 1, 0},    // likewise
        {'I', 'D', '3', 4, 0xFF, 0, 0, 0, 1, 0}, // revision FF
        {'I', 'D', '3', 4, 0, 0, 0, 0x80, 1, 0}, // a size byte that is not synchsafe
        {'I', 'D', '2', 4, 0, 0, 0, 0, 1, 0},
    };
    for (const Bytes& b : bad) EXPECT_EQ(Id3v2TagBytes(b.data()), 0);
}

TEST(ScanStream, TheFirstFrameIsAHeaderFollowedByAnotherOfTheSameStream) {
    Bytes header = HeaderBytes(Fields(0, 2, 9, 0, 1)); // FF FB 90 44: 417-byte frames
    Bytes otherLayer = HeaderBytes(Fields(0, 1, 9, 0, 1));
    Bytes tag = Id3v2Tag(3, Id3v2Frame(3, "APIC", CoverArt(3000, 5)));
    struct Case {
        const char* name;
        Bytes front;
    } cases[] = {
        {"nothing", {}},
        {"a lone header", Junk(700, {{100, header}})},
        {"a header followed by one of another layer", Junk(900, {{10, header}, {427, otherLayer}})},
        {"a run of FF", Bytes(37, 0xFF)},
        {"junk after a tag",
         [&] {
             Bytes b = tag;
             Append(b, Junk(500, {{50, header}}));
             return b;
         }()},
        {"junk up to the limit", Junk(MAX_JUNK_BYTES - 1)},
    };
    for (const Case& c : cases) {
        Bytes stream = c.front;
        Append(stream, Layer3Frames(10));
        for (bool seekable : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (seekable ? "" : ", not seekable"));
            Scanned s = Scan(stream, seekable);
            ASSERT_TRUE(s.ok);
            EXPECT_EQ(s.dataStart, int(c.front.size()));
        }
    }
}

TEST(ScanStream, RefusesWhatHoldsNoPairOfFrames) {
    Bytes oneFrame = Layer3Frames(1);
    Bytes oneFrameThenZeros = oneFrame;
    oneFrameThenZeros.resize(oneFrame.size() + 100, 0);
    Bytes tooFar = Junk(MAX_JUNK_BYTES);
    Append(tooFar, Layer3Frames(10));
    Bytes tooFarAfterTag = Id3v2Tag(4, Id3v2Frame(4, "APIC", CoverArt(5000, 1)));
    Append(tooFarAfterTag, tooFar);
    struct Case {
        const char* name;
        Bytes bytes;
        bool accepted;
    } cases[] = {
        {"empty", {}, false},
        {"two bytes", {0xFF, 0xFB}, false},
        {"junk", Junk(5000, {{7, HeaderBytes(Fields(0, 2, 9, 0))}}), false},
        {"a tag alone", Id3v2Tag(3, Id3v2Frame(3, "APIC", CoverArt(2000, 2))), false},
        {"free format", Bytes(SilentFrame(Fields(0, 1, 0, 0))), false},
        {"MPEG-2.5 Layer II", {0xFF, 0xE4, 0x90, 0x00, 0, 0, 0, 0}, false},
        {"junk one byte beyond the limit", tooFar, false},
        {"the same after a tag", tooFarAfterTag, false},
        {"one frame with bytes after it", oneFrameThenZeros, false},
        {"one frame that ends with the data", oneFrame, true},
    };
    for (const Case& c : cases)
        for (bool seekable : {true, false})
            EXPECT_EQ(Scan(c.bytes, seekable).ok, c.accepted) << c.name << " " << seekable;
}

// ---- info frames ----

// A Layer III frame holding an info tag where the side information would start (after a
// CRC when crcBefore), the rest zero.
Bytes InfoFrame(HeaderFields h, const char* magic, uint32_t flags, uint32_t frames, int delay,
                int padding, bool crcBefore = false) {
    Bytes frame = HeaderBytes(h);
    int side = h.version == 0 ? (h.mode == 3 ? 17 : 32) : (h.mode == 3 ? 9 : 17);
    frame.resize(size_t(4 + side + (crcBefore ? 2 : 0)), 0);
    frame.insert(frame.end(), magic, magic + 4);
    BitWriter w;
    w.Put(flags, 32);
    if (flags & 1) w.Put(frames, 32);
    if (flags & 2) w.Put(123456, 32);
    if (flags & 4)
        for (int i = 0; i < 100; i++) w.Put(uint32_t(i * 2), 8);
    if (flags & 8) w.Put(78, 32);
    if (delay >= 0) {
        const char encoder[] = "LAME3.100";
        for (int i = 0; i < 9; i++) w.Put(uint8_t(encoder[i]), 8);
        w.Put(0x01, 8);                           // revision, CBR
        for (int i = 0; i < 11; i++) w.Put(0, 8); // lowpass, peak, gains, flags, bitrate
        w.Put(uint32_t(delay), 12);
        w.Put(uint32_t(padding), 12);
    }
    Append(frame, w.bytes);
    frame.resize(size_t(ExpectedFrameLength(h)), 0);
    return frame;
}

TEST(InfoFrame, XingInfoAndVbriFramesAreReadAndAudioFramesAreNot) {
    HeaderFields mpeg1 = Fields(0, 2, 9, 0, 1), mono = Fields(0, 2, 9, 0, 3);
    HeaderFields mpeg2 = Fields(1, 2, 8, 0, 0), mpeg2Mono = Fields(1, 2, 8, 0, 3);
    HeaderFields protectedFrame = mpeg1;
    protectedFrame.crc = 1;
    Bytes vbri = HeaderBytes(mpeg1);
    vbri.resize(36, 0);
    Append(vbri, {'V', 'B', 'R', 'I', 0, 1, 0x04, 0x60, 0, 75, 0, 1, 0, 0, 0, 0, 0, 200});
    vbri.resize(417, 0);
    Bytes audio = SilentFrame(mpeg1);
    for (size_t i = 4; i < audio.size(); i++) audio[i] = uint8_t(i * 7);
    Bytes layer2 = HeaderBytes(Fields(0, 1, 9, 0, 1));
    layer2.resize(36, 0);
    Append(layer2, {'X', 'i', 'n', 'g', 0, 0, 0, 1, 0, 0, 0, 9});
    layer2.resize(417, 0);
    struct Case {
        const char* name;
        Bytes frame;
        int present, frames, gapless, delay, padding;
    } cases[] = {
        {"Info, every field, LAME", InfoFrame(mpeg1, "Info", 15, 97, 576, 918), 1, 97, 1, 576, 918},
        {"Xing, frames only", InfoFrame(mpeg1, "Xing", 1, 5000, -1, 0), 1, 5000, 0, 0, 0},
        {"Xing, nothing", InfoFrame(mpeg1, "Xing", 0, 0, -1, 0), 1, 0, 0, 0, 0},
        {"Xing, no frame count, LAME", InfoFrame(mpeg1, "Xing", 2, 0, 1105, 4095), 1, 0, 1, 1105,
         4095},
        {"mono", InfoFrame(mono, "Info", 7, 12, 576, 1), 1, 12, 1, 576, 1},
        {"MPEG-2", InfoFrame(mpeg2, "Info", 5, 98, 576, 1200), 1, 98, 1, 576, 1200},
        {"MPEG-2 mono", InfoFrame(mpeg2Mono, "Xing", 1, 31, -1, 0), 1, 31, 0, 0, 0},
        {"after a CRC", InfoFrame(protectedFrame, "Info", 1, 44, 576, 600, true), 1, 44, 1, 576,
         600},
        {"VBRI", vbri, 1, 200, 0, 0, 0},
        {"audio", audio, 0, 0, 0, 0, 0},
        {"Layer II", layer2, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sMpegInfoFrame info;
        EXPECT_EQ(ParseInfoFrame(c.frame.data(), int(c.frame.size()), &info), c.present);
        EXPECT_EQ(info.present, c.present);
        EXPECT_EQ(info.frames, c.frames);
        EXPECT_EQ(info.gapless, c.gapless);
        EXPECT_EQ(info.encoderDelay, c.delay);
        EXPECT_EQ(info.encoderPadding, c.padding);
        // Cut short, the frame reads only what is there (the sanitizers watch the bounds).
        for (size_t cut : {size_t(3), size_t(40), size_t(60), size_t(170)}) {
            Bytes part(c.frame.begin(), c.frame.begin() + long(std::min(cut, c.frame.size())));
            ParseInfoFrame(part.data(), int(part.size()), &info);
            if (cut < 40) {
                EXPECT_EQ(info.present, 0);
            }
        }
    }
}

TEST(InfoFrame, ScanStartsTheMusicAfterIt) {
    HeaderFields h = Fields(0, 2, 9, 0, 1);
    Bytes tag = Id3v2Tag(4, Id3v2Frame(4, "TIT2", {3, 'x'}));
    Bytes stream = tag;
    Append(stream, InfoFrame(h, "Info", 1, 10, 576, 900));
    for (int i = 0; i < 10; i++) Append(stream, SilentFrame(Fields(0, 2, 5, 0, 1)));
    for (bool seekable : {true, false}) {
        Scanned s = Scan(stream, seekable);
        ASSERT_TRUE(s.ok);
        EXPECT_EQ(s.dataStart, int(tag.size()) + 417);
        EXPECT_EQ(s.bitrate, 64000) << "the audio frames' rate, not the info frame's";
        EXPECT_EQ(s.info.frames, 10);
        EXPECT_EQ(s.info.encoderPadding, 900);
    }
}

TEST(TrailingTags, Id3v1AndApeTagsAtTheEndAreMeasured) {
    Bytes v1 = Id3v1Tag(), ape = ApeTag(false), apeWithHeader = ApeTag(true);
    Bytes both = apeWithHeader;
    Append(both, v1);
    Bytes audio = Junk(3000);
    Bytes tagInside =
        Junk(3000, {{1000, {'T', 'A', 'G'}}, {2000, {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'}}});
    struct Case {
        const char* name;
        Bytes tail;
        int tagBytes;
    } cases[] = {
        {"none", {}, 0},
        {"ID3v1", v1, 128},
        {"APEv2 without a header", ape, int(ape.size())},
        {"APEv2 with a header, then ID3v1", both, int(both.size())},
    };
    for (const Case& c : cases) {
        Bytes data = audio;
        Append(data, c.tail);
        EXPECT_EQ(TrailingTagBytes(data.data(), int(data.size())), c.tagBytes) << c.name;
        // Given only the last bytes, an APEv2 tag is still measured whole from its footer.
        int last = std::min(int(data.size()), int(TRAILING_TAG_PROBE_BYTES));
        EXPECT_EQ(TrailingTagBytes(data.data() + data.size() - size_t(last), last), c.tagBytes)
            << c.name;
    }
    EXPECT_EQ(TrailingTagBytes(tagInside.data(), int(tagInside.size())), 0);
}

} // namespace
