// Layer III stages on hand-made data: Huffman decoding of big values and count-1 quadruples,
// reorder tables, requantisation of long, short and mixed blocks, and stereo processing.
#include <gtest/gtest.h>

#include <math.h>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "huffman.h"
#include "layer3.h"

namespace {

const sLayer3Tables& Tables() {
    static sLayer3Tables* t = [] {
        auto* p = new sLayer3Tables;
        Layer3ComputeTables(p);
        return p;
    }();
    return *t;
}

// Codes of a tree by leaf value, collected by walking it.
void CollectCodes(const int32_t* tree, int i, const std::string& code,
                  std::map<int, std::string>& out) {
    if (tree[i] >= 0) {
        out[tree[i]] = code;
        return;
    }
    CollectCodes(tree, i + 1, code + "0", out);
    CollectCodes(tree, i + 1 - tree[i], code + "1", out);
}

std::string CodeOf(int table, int value) {
    std::map<int, std::string> codes;
    CollectCodes(huffman::tables[table].tree, 0, "", codes);
    return codes.at(value);
}

std::string Bits(uint32_t value, int n) {
    std::string s;
    for (int i = n - 1; i >= 0; i--) s += (value >> i) & 1 ? '1' : '0';
    return s;
}

// A pair (x, y) of a big-value table with its escape and sign bits; negative values set the
// sign bit.
std::string PairBits(int table, int x, int y) {
    int linbits = huffman::tables[table].linbits;
    int ax = abs(x), ay = abs(y);
    int cx = linbits && ax >= 15 ? 15 : ax, cy = linbits && ay >= 15 ? 15 : ay;
    std::string s = CodeOf(table, cx * 16 + cy);
    if (cx) s += (linbits && cx == 15 ? Bits(ax - 15, linbits) : "") + (x < 0 ? "1" : "0");
    if (cy) s += (linbits && cy == 15 ? Bits(ay - 15, linbits) : "") + (y < 0 ? "1" : "0");
    return s;
}

std::string QuadBits(int table, int v, int w, int x, int y) {
    int bits = (v != 0) << 3 | (w != 0) << 2 | (x != 0) << 1 | (y != 0);
    std::string s = CodeOf(table, bits);
    for (int q : {v, w, x, y})
        if (q) s += q < 0 ? "1" : "0";
    return s;
}

std::vector<uint8_t> Pack(const std::string& bits) {
    std::vector<uint8_t> bytes((bits.size() + 7) / 8 + 8, 0);
    for (size_t i = 0; i < bits.size(); i++)
        if (bits[i] == '1') bytes[i / 8] |= uint8_t(0x80 >> (i % 8));
    return bytes;
}

sLayer3Side LongSide(int bigValueLines, uint32_t part23End) {
    sLayer3Side s = {};
    s.bigValueLines = bigValueLines;
    s.region1Start = bigValueLines;
    s.region2Start = bigValueLines;
    s.regionEnd = L3_LINES;
    s.tableSelect[0] = s.tableSelect[1] = s.tableSelect[2] = 1;
    s.count1Table = 32;
    s.part23End = part23End;
    s.intensityScale = 2;
    return s;
}

struct Decoded {
    std::vector<float> lines = std::vector<float>(L3_LINES + 8, 12345.0f); // guard behind
    int count = 0;
    uint32_t position = 0;
};

Decoded Decode(const std::string& bits, const sLayer3Side& side, int reorderKind = 0,
               int rate = 0) {
    static int16_t reorder[L3_RATES][3][L3_LINES];
    Layer3BuildReorder(layer3Bands[rate], reorder[rate]);
    std::vector<uint8_t> bytes = Pack(bits);
    sLayer3Bits in = {bytes.data(), uint32_t(bytes.size()), 0};
    Decoded d;
    d.count = Layer3DecodeSpectrum(&in, side, reorder[rate][reorderKind], Tables(), d.lines.data());
    d.position = in.position;
    for (int i = L3_LINES; i < L3_LINES + 8; i++) EXPECT_EQ(d.lines[i], 12345.0f) << "overrun";
    return d;
}

float P43(int v) {
    return float(pow(double(abs(v)), 4.0 / 3.0)) * (v < 0 ? -1.0f : 1.0f);
}

} // namespace

TEST(Layer3Huffman, BigValuesZeroLeavesCountOneDataOnly) {
    std::string bits =
        QuadBits(32, 1, 0, -1, 1) + QuadBits(32, 0, 0, 0, 0) + QuadBits(32, -1, -1, -1, -1);
    Decoded d = Decode(bits, LongSide(0, uint32_t(bits.size())));
    EXPECT_EQ(d.count, 12);
    const float expect[12] = {1, 0, -1, 1, 0, 0, 0, 0, -1, -1, -1, -1};
    for (int i = 0; i < 12; i++) EXPECT_EQ(d.lines[i], expect[i]) << i;
    for (int i = 12; i < L3_LINES; i++) ASSERT_EQ(d.lines[i], 0.0f) << i;
    EXPECT_EQ(d.position, bits.size());
}

TEST(Layer3Huffman, CountOneTableBIsFixedLength) {
    std::string bits = QuadBits(33, 0, 1, 0, -1);
    EXPECT_EQ(bits.size(), 6u);
    sLayer3Side side = LongSide(0, 6);
    side.count1Table = 33;
    Decoded d = Decode(bits, side);
    EXPECT_EQ(d.count, 4);
    EXPECT_EQ(d.lines[1], 1.0f);
    EXPECT_EQ(d.lines[3], -1.0f);
}

TEST(Layer3Huffman, QuadrupleOverrunningThePartEndIsDropped) {
    std::string first = QuadBits(32, 1, 1, 0, 0), second = QuadBits(32, 0, 1, 1, 1);
    std::string bits = first + second;
    // The granule ends inside the second quadruple.
    Decoded d = Decode(bits, LongSide(0, uint32_t(first.size() + 2)));
    EXPECT_EQ(d.count, 4);
    EXPECT_EQ(d.lines[0], 1.0f);
    EXPECT_EQ(d.lines[1], 1.0f);
    for (int i = 4; i < 8; i++) EXPECT_EQ(d.lines[i], 0.0f) << i;
}

TEST(Layer3Huffman, EscapeWithThirteenLinbitsReachesTheLastPowerEntry) {
    for (int table : {23, 31}) {
        SCOPED_TRACE(table);
        std::string bits = PairBits(table, -8206, 8206) + PairBits(table, 15, 0);
        sLayer3Side side = LongSide(4, uint32_t(bits.size()));
        side.tableSelect[0] = side.tableSelect[1] = side.tableSelect[2] = table;
        Decoded d = Decode(bits, side);
        EXPECT_EQ(d.lines[0], -Tables().pow43[8206]);
        EXPECT_EQ(d.lines[1], Tables().pow43[8206]);
        EXPECT_FLOAT_EQ(d.lines[0], P43(-8206));
        EXPECT_FLOAT_EQ(d.lines[2], P43(15)); // 15 with an escape of 0
        EXPECT_EQ(d.lines[3], 0.0f);
        EXPECT_EQ(d.position, bits.size());
    }
}

TEST(Layer3Huffman, EachRegionUsesItsOwnTable) {
    // Region 0: lines 0..3 with table 1; region 1: 4..7 with table 7; region 2: 8..11, 24.
    std::string bits = PairBits(1, 1, -1) + PairBits(1, 0, 1) + PairBits(7, 5, 4) +
                       PairBits(7, -3, 0) + PairBits(24, 27, -2) + PairBits(24, 0, 7);
    sLayer3Side side = LongSide(12, uint32_t(bits.size()));
    side.tableSelect[0] = 1, side.tableSelect[1] = 7, side.tableSelect[2] = 24;
    side.region1Start = 4, side.region2Start = 8;
    Decoded d = Decode(bits, side);
    const int expect[12] = {1, -1, 0, 1, 5, 4, -3, 0, 27, -2, 0, 7};
    for (int i = 0; i < 12; i++) EXPECT_FLOAT_EQ(d.lines[i], P43(expect[i]));
    EXPECT_EQ(d.count, 12);
}

TEST(Layer3Huffman, ShortBlocksLandInterleavedByWindow) {
    // 44.1 kHz short band 0 is 4 lines wide: bitstream lines 0..3 are window 0, 4..7 window 1.
    std::string bits = PairBits(15, 1, 2) + PairBits(15, 3, 4) + PairBits(15, 5, 6);
    sLayer3Side side = LongSide(6, uint32_t(bits.size()));
    side.tableSelect[0] = side.tableSelect[1] = side.tableSelect[2] = 15;
    Decoded d = Decode(bits, side, L3_REORDER_SHORT);
    // Window j line k is stored at j + 3k.
    EXPECT_FLOAT_EQ(d.lines[0], P43(1));
    EXPECT_FLOAT_EQ(d.lines[3], P43(2));
    EXPECT_FLOAT_EQ(d.lines[6], P43(3));
    EXPECT_FLOAT_EQ(d.lines[9], P43(4));
    EXPECT_FLOAT_EQ(d.lines[1], P43(5));
    EXPECT_FLOAT_EQ(d.lines[4], P43(6));
}

TEST(Layer3Huffman, CountOneStopsAtTheLastLineAndDamagedInputStaysInside) {
    // All 576 lines of big values, then ones: the count-1 loop must stop at 576.
    std::string bits;
    for (int i = 0; i < 288; i++) bits += PairBits(1, 1, 1);
    for (int i = 0; i < 10; i++) bits += QuadBits(32, 1, 1, 1, 1);
    Decoded d = Decode(bits, LongSide(576, uint32_t(bits.size())));
    EXPECT_EQ(d.count, L3_LINES);
    // Two lines short of the end the last quadruple may write only two lines.
    std::string tail;
    for (int i = 0; i < 287; i++) tail += PairBits(1, 0, 0);
    tail += QuadBits(32, 1, 1, 1, 1);
    Decoded e = Decode(tail, LongSide(574, uint32_t(tail.size())));
    EXPECT_EQ(e.lines[574], 1.0f);
    EXPECT_EQ(e.lines[575], 1.0f);
    // A part end far beyond the data: bits past the buffer read as zeros.
    std::vector<uint8_t> ones(16, 0xFF);
    sLayer3Bits in = {ones.data(), uint32_t(ones.size()), 0};
    sLayer3Side side = LongSide(576, 1u << 20);
    side.tableSelect[0] = side.tableSelect[1] = side.tableSelect[2] = 31;
    std::vector<float> lines(L3_LINES);
    int16_t reorder[3][L3_LINES];
    Layer3BuildReorder(layer3Bands[0], reorder);
    EXPECT_EQ(Layer3DecodeSpectrum(&in, side, reorder[0], Tables(), lines.data()), L3_LINES);
}

TEST(Layer3Reorder, TablesArePermutationsAndMixedBlocksKeepTheFirst36Lines) {
    for (int rate = 0; rate < L3_RATES; rate++) {
        SCOPED_TRACE(rate);
        int16_t reorder[3][L3_LINES];
        Layer3BuildReorder(layer3Bands[rate], reorder);
        for (int kind = 0; kind < 3; kind++) {
            std::vector<int> seen(L3_LINES, 0);
            for (int i = 0; i < L3_LINES; i++) seen.at(reorder[kind][i])++;
            for (int i = 0; i < L3_LINES; i++) ASSERT_EQ(seen[i], 1) << kind << " " << i;
        }
        int longPart = layer3Bands[rate].shortStart[3];
        for (int i = 0; i < longPart; i++) EXPECT_EQ(reorder[L3_REORDER_MIXED][i], i);
        for (int i = longPart; i < L3_LINES; i++)
            EXPECT_EQ(reorder[L3_REORDER_MIXED][i], reorder[L3_REORDER_SHORT][i]);
    }
    EXPECT_EQ(layer3Bands[0].shortStart[3], 36); // 44.1 kHz
    EXPECT_EQ(layer3Bands[3].shortStart[3], 36); // 22.05 kHz
    EXPECT_EQ(layer3Bands[8].shortStart[3], 72); // 8 kHz
    for (int rate = 0; rate < L3_RATES; rate++) {
        EXPECT_EQ(layer3Bands[rate].longStart[L3_LONG_BANDS], L3_LINES);
        EXPECT_EQ(layer3Bands[rate].shortStart[L3_SHORT_BANDS], L3_LINES);
    }
}

namespace {

double Factor(double exponentHalfSteps) {
    return pow(2.0, -exponentHalfSteps / 2.0);
}

} // namespace

TEST(Layer3Requantise, LongBandsUseScaleFactorsPreflagAndScale) {
    sLayer3Side side = LongSide(0, 0);
    side.globalGain = 214; // gain 2
    side.preflag = 1;
    side.scalefacScale = 1;
    uint8_t sf[L3_SCALEFACTORS] = {};
    sf[0] = 1;
    sf[17] = 2; // pretab 3 there
    std::vector<float> lines(L3_LINES, 1.0f);
    Layer3Requantise(side, sf, 1, layer3Bands[0], Tables(), lines.data());
    EXPECT_FLOAT_EQ(lines[0], float(2 * Factor(2 * 1)));
    EXPECT_FLOAT_EQ(lines[4], 2.0f);
    int b17 = layer3Bands[0].longStart[17];
    EXPECT_FLOAT_EQ(lines[b17], float(2 * Factor(2 * (2 + 3))));
    EXPECT_FLOAT_EQ(lines[575], 2.0f); // band 21 has no scale factor
}

TEST(Layer3Requantise, MixedBlocksAreLongBelow36LinesAt44And22kHz) {
    for (int rate : {0, 3}) {
        SCOPED_TRACE(rate);
        int mpeg1 = rate < 3;
        int longBands = mpeg1 ? 8 : 6;
        const sLayer3Bands& bands = layer3Bands[rate];
        EXPECT_EQ(bands.longStart[longBands], 36);
        sLayer3Side side = LongSide(0, 0);
        side.blockType = 2;
        side.mixed = 1;
        side.globalGain = 210;
        side.subblockGain[0] = 0, side.subblockGain[1] = 4, side.subblockGain[2] = 8;
        uint8_t sf[L3_SCALEFACTORS] = {};
        for (int b = 0; b < longBands; b++) sf[b] = uint8_t(b % 3);
        // Short band 3, windows 0..2 follow the long ones.
        sf[longBands + 0] = 1, sf[longBands + 1] = 2, sf[longBands + 2] = 3;
        std::vector<float> lines(L3_LINES, 1.0f);
        Layer3Requantise(side, sf, mpeg1, bands, Tables(), lines.data());
        for (int b = 0; b < longBands; b++)
            for (int i = bands.longStart[b]; i < bands.longStart[b + 1]; i++)
                EXPECT_FLOAT_EQ(lines[i], float(Factor(b % 3))) << i;
        // Lines from 36 interleave windows; window w has subblock gain w (4w half steps).
        for (int w = 0; w < 3; w++)
            for (int i = 36 + w; i < bands.shortStart[4]; i += 3)
                EXPECT_FLOAT_EQ(lines[i], float(Factor(4 * w + (1 + w)))) << i;
    }
}

TEST(Layer3Requantise, ShortBlocksScaleEachWindow) {
    sLayer3Side side = LongSide(0, 0);
    side.blockType = 2;
    side.globalGain = 210;
    side.subblockGain[2] = 4;
    uint8_t sf[L3_SCALEFACTORS] = {};
    sf[3 * 5 + 1] = 4; // band 5, window 1
    std::vector<float> lines(L3_LINES, 1.0f);
    Layer3Requantise(side, sf, 1, layer3Bands[0], Tables(), lines.data());
    const sLayer3Bands& bands = layer3Bands[0];
    EXPECT_FLOAT_EQ(lines[bands.shortStart[5] + 1], float(Factor(4)));
    EXPECT_FLOAT_EQ(lines[bands.shortStart[5]], 1.0f);
    EXPECT_FLOAT_EQ(lines[bands.shortStart[5] + 2], float(Factor(4)));
    EXPECT_FLOAT_EQ(lines[2], float(Factor(4)));
    EXPECT_FLOAT_EQ(lines[575], float(Factor(4))); // band 12, window 2
}

TEST(Layer3Stereo, MidSideOnlyBelowTheLineLimit) {
    std::vector<float> l(L3_LINES, 3.0f), r(L3_LINES, 1.0f);
    Layer3MidSide(l.data(), r.data(), 288, float(sqrt(0.5)));
    EXPECT_FLOAT_EQ(l[0], float(4 * sqrt(0.5)));
    EXPECT_FLOAT_EQ(r[287], float(2 * sqrt(0.5)));
    EXPECT_EQ(l[288], 3.0f);
}

TEST(Layer3Stereo, IntensityStartsAboveTheRightChannelsLastLine) {
    const sLayer3Bands& bands = layer3Bands[0];
    sLayer3Side right = LongSide(0, 0);
    uint8_t sf[L3_SCALEFACTORS] = {};
    for (int b = 0; b < 21; b++) sf[b] = 3; // equal split
    sf[12] = 7;                             // not coded: left as is (no mid/side)
    sf[20] = 0;                             // all to the right, and band 21 repeats it
    std::vector<float> l(L3_LINES, 2.0f), r(L3_LINES, 0.0f);
    int top = bands.longStart[10] - 1; // last non-zero right line inside band 9
    for (int i = 0; i <= top; i++) r[i] = 1.0f;
    Layer3Intensity(right, sf, 1, 0, bands, Tables(), L3_LINES, l.data(), r.data());
    EXPECT_EQ(l[top], 2.0f); // below: untouched
    EXPECT_EQ(r[top], 1.0f);
    int b10 = bands.longStart[10];
    EXPECT_FLOAT_EQ(l[b10], 1.0f);
    EXPECT_FLOAT_EQ(r[b10], 1.0f);
    EXPECT_EQ(l[bands.longStart[12]], 2.0f);
    EXPECT_EQ(r[bands.longStart[12]], 0.0f);
    EXPECT_FLOAT_EQ(l[575], 0.0f);
    EXPECT_FLOAT_EQ(r[575], 2.0f);
}

// The lower rates mark a band without intensity coding by the largest value its scale factor
// can hold: 7 in a 3-bit group, 15 in a 4-bit one, 31 in a 5-bit one, 0 in a group of no
// bits. Other values are positions, whose ratios the intensity-scale bit picks.
TEST(Layer3Stereo, Mpeg2IntensityMarksUncodedBandsByTheGroupsLargestValue) {
    const sLayer3Bands& bands = layer3Bands[3];
    sLayer3Side right = LongSide(0, 0);
    // Groups of long bands 0-6, 7-13, 14-17 and 18-20 with 3, 4, 5 and no bits.
    const int bits[4] = {3, 4, 5, 0}, ends[4] = {7, 14, 18, 21};
    for (int g = 0; g < 4; g++) right.scalefacBits[g] = bits[g], right.groupEnd[g] = ends[g];
    struct Case {
        int band, position;
        bool coded;
    } cases[] = {
        {0, 7, false},  {1, 2, true},    {2, 1, true},   // 3 bits
        {7, 7, true},   {8, 15, false},  {9, 14, true},  // 4 bits
        {14, 15, true}, {15, 31, false}, {16, 30, true}, // 5 bits
        {18, 0, false},                                  // no bits
    };
    for (int scaleBit : {0, 1}) {
        right.intensityScale = scaleBit;
        uint8_t sf[L3_SCALEFACTORS] = {};
        for (const Case& c : cases) sf[c.band] = uint8_t(c.position);
        std::vector<float> l(L3_LINES, 4.0f), r(L3_LINES, 0.0f);
        for (int msOn : {0, 1}) {
            std::fill(l.begin(), l.end(), 4.0f);
            std::fill(r.begin(), r.end(), 0.0f);
            Layer3Intensity(right, sf, 0, msOn, bands, Tables(), L3_LINES, l.data(), r.data());
            double io = pow(2.0, scaleBit ? -0.5 : -0.25);
            for (const Case& c : cases) {
                SCOPED_TRACE("band " + std::to_string(c.band) + " position " +
                             std::to_string(c.position) + " scale bit " + std::to_string(scaleBit) +
                             " mid/side " + std::to_string(msOn));
                int line = bands.longStart[c.band];
                double kl = 1, kr = 1;
                if (c.position & 1)
                    kl = pow(io, (c.position + 1) / 2);
                else
                    kr = pow(io, c.position / 2);
                float left = c.coded ? float(4 * kl) : msOn ? float(4 * sqrt(0.5)) : 4.0f;
                float rightValue = c.coded ? float(4 * kr) : msOn ? float(4 * sqrt(0.5)) : 0.0f;
                EXPECT_FLOAT_EQ(l[line], left);
                EXPECT_FLOAT_EQ(r[line], rightValue);
            }
        }
    }
}

TEST(Layer3Stereo, Mpeg2MixedBlockIntensityReadsSixLongThenShortScaleFactors) {
    const sLayer3Bands& bands = layer3Bands[3]; // 22.05 kHz: 6 long bands cover 36 lines
    sLayer3Side right = LongSide(0, 0);
    right.blockType = 2;
    right.mixed = 1;
    right.intensityScale = 0; // io = 2^-1/4
    for (int g = 0; g < 4; g++) right.scalefacBits[g] = 3, right.groupEnd[g] = 33;
    uint8_t sf[L3_SCALEFACTORS] = {};
    for (int i = 0; i < L3_SCALEFACTORS; i++) sf[i] = 7; // nothing coded unless set below
    sf[2] = 2;                                           // long band 2: right scaled by io
    sf[6 + 3 * 0 + 1] = 1;                               // short band 3, window 1: left by io
    sf[6 + 3 * 8 + 2] = 4;                               // band 11 window 2, and band 12
    std::vector<float> l(L3_LINES, 8.0f), r(L3_LINES, 0.0f);
    r[5] = 1.0f; // the right channel ends inside long band 0
    Layer3Intensity(right, sf, 0, 0, bands, Tables(), L3_LINES, l.data(), r.data());
    const float io = float(pow(2.0, -0.25));
    EXPECT_EQ(l[5], 8.0f); // band 0 lies below: untouched
    EXPECT_EQ(r[5], 1.0f);
    EXPECT_FLOAT_EQ(l[bands.longStart[2]], 8.0f);
    EXPECT_FLOAT_EQ(r[bands.longStart[2]], 8 * io);
    EXPECT_EQ(r[bands.longStart[3]], 0.0f); // position 7: not coded
    int s3 = bands.shortStart[3];
    EXPECT_EQ(s3, 36);
    EXPECT_FLOAT_EQ(l[s3 + 1], 8 * io);
    EXPECT_FLOAT_EQ(r[s3 + 1], 8.0f);
    EXPECT_EQ(r[s3], 0.0f); // window 0 of band 3 has position 7
    int s11 = bands.shortStart[11], s12 = bands.shortStart[12];
    EXPECT_FLOAT_EQ(r[s11 + 2], 8 * io * io);
    EXPECT_FLOAT_EQ(r[s12 + 2], 8 * io * io);
    EXPECT_FLOAT_EQ(r[575], 8 * io * io); // 575 = window 2 of band 12
    EXPECT_EQ(r[s12], 0.0f);
}
