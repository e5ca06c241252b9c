// Layer I and II decoding of hand-built frames: the allocation-table choice, requantisation
// against the standard's formulas, intensity-coded subbands and the end of a stream.
#include <gtest/gtest.h>

#include <math.h>

#include <memory>

#include "mpeg_test_util.h"
#include "tables.h"

using namespace mpegtest;

namespace {

// The standard's scale factor for index s, and the requantised value of code v of a class
// with the given number of levels (ISO/IEC 11172-3, 2.4.3.3).
double ScaleFactor(int s) {
    return 2.0 * pow(2.0, -s / 3.0);
}
double Requantise(int v, int levels) {
    int bits = 0;
    while ((1 << bits) < levels) bits++;
    double fraction = (double)v / (1 << (bits - 1)) - 1.0; // MSB inverted
    double c = (double)(1 << bits) / levels, d = 1.0 / (1 << (bits - 1));
    if (levels == 3) c = 4.0 / 3, d = 0.5;
    if (levels == 5) c = 8.0 / 5, d = 0.5;
    if (levels == 9) c = 16.0 / 9, d = 0.5;
    return c * (fraction + d);
}

// Decodes one hand-built frame (plus a following frame so the header search has company).
struct OneFrame {
    std::unique_ptr<MemoryStream> source;
    std::unique_ptr<sMpegStream> s = std::make_unique<sMpegStream>();
    explicit OneFrame(std::vector<uint8_t> bytes) {
        source = std::make_unique<MemoryStream>(std::move(bytes), true);
        s->source = source.get();
        s->ResetInput();
        s->Layer12BuildTables();
    }
};

TEST(Layer2Tables, ChoiceByRateAndBitratePerChannel) {
    struct Case {
        int rateIndex, bitrateIndex, mode, table;
    } cases[] = {
        {2, 3, 0, L2_TABLE_12},  // 32 kHz, 48 kbit/s stereo: 24 per channel
        {0, 3, 0, L2_TABLE_8},   // 44.1 kHz, the same bitrate
        {1, 3, 0, L2_TABLE_8},   // 48 kHz, the same bitrate
        {1, 4, 3, L2_TABLE_27},  // 48 kHz, 64 kbit/s mono
        {0, 4, 3, L2_TABLE_27},  // 44.1 kHz, 64 kbit/s mono
        {0, 5, 3, L2_TABLE_27},  // 80 kbit/s mono
        {0, 6, 3, L2_TABLE_30},  // 44.1 kHz, 96 kbit/s mono
        {1, 6, 3, L2_TABLE_27},  // 48 kHz, 96 kbit/s mono
        {0, 11, 0, L2_TABLE_30}, // 44.1 kHz, 192 kbit/s stereo
        {1, 11, 0, L2_TABLE_27}, // 48 kHz, 192 kbit/s stereo
        {2, 11, 0, L2_TABLE_30}, // 32 kHz, 192 kbit/s stereo
        {2, 1, 3, L2_TABLE_12},  // 32 kHz, 32 kbit/s mono
        {0, 1, 3, L2_TABLE_8},   // 44.1 kHz, 32 kbit/s mono
    };
    for (const Case& c : cases)
        EXPECT_EQ(Layer2AllocTableFor(0, c.rateIndex, c.bitrateIndex, c.mode), c.table)
            << c.rateIndex << " " << c.bitrateIndex << " " << c.mode;
    EXPECT_EQ(Layer2AllocTableFor(1, 0, 5, 0), L2_TABLE_LSF);
    EXPECT_EQ(Layer2AllocTableFor(2, 2, 1, 3), L2_TABLE_LSF);
    EXPECT_EQ(layer2AllocTables[L2_TABLE_12].subbands, 12);
    EXPECT_EQ(layer2AllocTables[L2_TABLE_8].subbands, 8);
    EXPECT_EQ(layer2AllocTables[L2_TABLE_27].subbands, 27);
    EXPECT_EQ(layer2AllocTables[L2_TABLE_30].subbands, 30);
    EXPECT_EQ(layer2AllocTables[L2_TABLE_LSF].subbands, 30);
}

TEST(Layer2Tables, EveryAllocationValueSelectsAClass) {
    for (const sLayer2AllocTable& t : layer2AllocTables)
        for (int sb = 0; sb < t.subbands; sb++) {
            ASSERT_GT(t.widths[sb], 0);
            for (int v = 1; v < (1 << t.widths[sb]); v++) {
                int c = t.classes[sb][v];
                ASSERT_GE(c, 0) << sb << " " << v;
                ASSERT_LE(c, 16);
            }
        }
}

TEST(Layer2Decode, RequantisationAndIntensitySubbandsScaledPerChannel) {
    // 44.1 kHz, 192 kbit/s, joint stereo with bound 4: the 30-subband table.
    HeaderFields h;
    h.layer = 1, h.bitrateIndex = 10, h.mode = 1, h.modeExtension = 0;
    const sLayer2AllocTable& table = layer2AllocTables[L2_TABLE_30];
    BitWriter w;
    for (uint8_t b : HeaderBytes(h)) w.Put(b, 8);
    // Allocation: subband 2 (both channels coded apart, 15 levels) and subband 5 (shared,
    // 3 levels grouped); all others none.
    for (int sb = 0; sb < table.subbands; sb++) {
        int fields = sb < 4 ? 2 : 1;
        for (int f = 0; f < fields; f++) {
            int value = (sb == 2) ? 3 : (sb == 5) ? 1 : 0;
            w.Put((uint32_t)value, table.widths[sb]);
        }
    }
    // Scale-factor selection: subband 2: ch0 "one for all", ch1 "three";
    // subband 5: ch0 "two, first for parts 0 and 1", ch1 "two, second for parts 1 and 2".
    w.Put(2, 2), w.Put(0, 2), w.Put(1, 2), w.Put(3, 2);
    const int sf2[2][3] = {{10, 10, 10}, {4, 20, 30}};
    const int sf5[2][3] = {{7, 7, 40}, {12, 33, 33}};
    w.Put(10, 6);
    w.Put(4, 6), w.Put(20, 6), w.Put(30, 6);
    w.Put(7, 6), w.Put(40, 6);
    w.Put(12, 6), w.Put(33, 6);
    int codes2[2][12][3], codes5[12][3];
    for (int g = 0; g < 12; g++) {
        for (int ch = 0; ch < 2; ch++)
            for (int i = 0; i < 3; i++) {
                codes2[ch][g][i] = (g * 5 + i * 3 + ch * 7) % 15;
                w.Put((uint32_t)codes2[ch][g][i], 4);
            }
        for (int i = 0; i < 3; i++) codes5[g][i] = (g + i) % 3;
        w.Put((uint32_t)(codes5[g][0] + 3 * codes5[g][1] + 9 * codes5[g][2]), 5);
    }
    w.PadTo((size_t)ExpectedFrameLength(h));
    std::vector<uint8_t> bytes = w.bytes;
    std::vector<uint8_t> next = SilentFrame(h);
    bytes.insert(bytes.end(), next.begin(), next.end());

    OneFrame f(bytes);
    ASSERT_TRUE(f.s->FindHeader(1));
    f.s->DecodeLayer2();
    for (int g = 0; g < 12; g++)
        for (int i = 0; i < 3; i++) {
            int slot = 3 * g + i;
            for (int ch = 0; ch < 2; ch++) {
                double e2 = Requantise(codes2[ch][g][i], 15) * ScaleFactor(sf2[ch][g / 4]);
                EXPECT_NEAR(f.s->subband[ch][slot * 32 + 2], e2, 1e-5) << g << " " << ch;
                double e5 = Requantise(codes5[g][i], 3) * ScaleFactor(sf5[ch][g / 4]);
                EXPECT_NEAR(f.s->subband[ch][slot * 32 + 5], e5, 1e-5) << g << " " << ch;
                for (int sb : {0, 1, 3, 4, 6, 20, 29, 30, 31})
                    EXPECT_EQ(f.s->subband[ch][slot * 32 + sb], 0.0f);
            }
        }
    // The next frame is found after this one.
    ASSERT_TRUE(f.s->FindHeader(0));
    EXPECT_EQ(f.s->header.bitrateIndex, 10);
}

TEST(Layer2Decode, BoundClampedToTheTablesSubbands) {
    // 44.1 kHz, 32 kbit/s joint stereo uses the 8-subband table; mode extension 3 asks for
    // a bound of 16. Every subband below 8 must be read as two fields, none beyond.
    HeaderFields h;
    h.layer = 1, h.bitrateIndex = 1, h.mode = 1, h.modeExtension = 3;
    const sLayer2AllocTable& table = layer2AllocTables[L2_TABLE_8];
    BitWriter w;
    for (uint8_t b : HeaderBytes(h)) w.Put(b, 8);
    for (int sb = 0; sb < 8; sb++)
        for (int ch = 0; ch < 2; ch++) w.Put(sb == 7 && ch == 1 ? 1 : 0, table.widths[sb]);
    w.Put(2, 2);                                              // selection for subband 7, channel 1
    w.Put(0, 6);                                              // its scale factor: 2.0
    for (int g = 0; g < 12; g++) w.Put(2 + 3 * 2 + 9 * 2, 5); // all three values: +2/3
    w.PadTo((size_t)ExpectedFrameLength(h));
    OneFrame f(w.bytes);
    ASSERT_TRUE(f.s->FindHeader(1));
    f.s->DecodeLayer2();
    for (int slot = 0; slot < 36; slot++) {
        EXPECT_EQ(f.s->subband[0][slot * 32 + 7], 0.0f);
        EXPECT_NEAR(f.s->subband[1][slot * 32 + 7], 2.0 * 2.0 / 3.0, 1e-6);
        for (int sb = 8; sb < 32; sb++) EXPECT_EQ(f.s->subband[1][slot * 32 + sb], 0.0f);
    }
}

TEST(Layer1Decode, RequantisationAndSharedSubbands) {
    // Joint stereo, bound 4: subband 1 coded per channel, subband 9 shared.
    HeaderFields h;
    h.layer = 0, h.bitrateIndex = 8, h.mode = 1, h.modeExtension = 0;
    BitWriter w;
    for (uint8_t b : HeaderBytes(h)) w.Put(b, 8);
    for (int sb = 0; sb < 32; sb++) {
        int fields = sb < 4 ? 2 : 1;
        for (int c = 0; c < fields; c++) w.Put(sb == 1 ? (c == 0 ? 3 : 5) : sb == 9 ? 2 : 0, 4);
    }
    // Scale factors: subband 1 both channels, subband 9 both channels.
    const int sf1[2] = {3, 9}, sf9[2] = {0, 21};
    w.Put(3, 6), w.Put(9, 6), w.Put(0, 6), w.Put(21, 6);
    int v1[12][2], v9[12];
    for (int slot = 0; slot < 12; slot++) {
        v1[slot][0] = (slot * 3) % 15;
        v1[slot][1] = (slot * 11 + 4) % 63;
        v9[slot] = (slot * 2 + 1) % 7;
        w.Put((uint32_t)v1[slot][0], 4), w.Put((uint32_t)v1[slot][1], 6);
        w.Put((uint32_t)v9[slot], 3);
    }
    w.PadTo((size_t)ExpectedFrameLength(h));
    OneFrame f(w.bytes);
    ASSERT_TRUE(f.s->FindHeader(1));
    // Only one of the three frames of the output frame exists: the other two are zero.
    f.s->DecodeLayer1();
    for (int slot = 0; slot < 12; slot++)
        for (int ch = 0; ch < 2; ch++) {
            int bits1 = ch == 0 ? 4 : 6;
            double e1 = Requantise(v1[slot][ch], (1 << bits1) - 1) * ScaleFactor(sf1[ch]);
            EXPECT_NEAR(f.s->subband[ch][slot * 32 + 1], e1, 1e-5);
            double e9 = Requantise(v9[slot], 7) * ScaleFactor(sf9[ch]);
            EXPECT_NEAR(f.s->subband[ch][slot * 32 + 9], e9, 1e-5);
        }
    for (int slot = 12; slot < 36; slot++)
        for (int sb = 0; sb < 32; sb++)
            for (int ch = 0; ch < 2; ch++) ASSERT_EQ(f.s->subband[ch][slot * 32 + sb], 0.0f);
}

TEST(Layer2Decode, EndOfStreamGivesASilentFrame) {
    OneFrame f(SilentFrame(HeaderFields()));
    for (int i = 0; i < sMpegStream::FRAME_SAMPLES; i++) f.s->subband[0][i] = 1.0f;
    f.s->header.bitrateIndex = 0;
    f.s->DecodeLayer2();
    for (int i = 0; i < sMpegStream::FRAME_SAMPLES; i++) ASSERT_EQ(f.s->subband[0][i], 0.0f);
}

} // namespace
