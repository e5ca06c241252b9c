// Layer III decoding state and its stages. The stages are plain functions over arrays so that
// each can be checked on its own; sMpegStream (layer3.cpp) drives them frame by frame.
#ifndef PRISMATEL_LAYER3_H
#define PRISMATEL_LAYER3_H

#include <stdint.h>

#include "huffman.h"

enum {
    L3_LINES = 576,
    L3_SUBBANDS = 32,
    L3_SLOTS = 18,
    L3_RESERVOIR_CAPACITY = 4096,
    L3_RESERVOIR_PAD = 8, // zero bytes behind the reservoir for the bit readers
    L3_SCALEFACTORS = 39,
    L3_POW43_ENTRIES = 8207, // 15 + 8191, the largest escaped value, plus one
    L3_LONG_BANDS = 22,
    L3_SHORT_BANDS = 13,
    L3_RATES = 9, // 44.1, 48, 32 kHz; their halves; their quarters
    L3_NOT_INTENSITY = 7,
};

// Block kinds, which also pick the reorder table.
enum { L3_REORDER_LONG = 0, L3_REORDER_SHORT = 1, L3_REORDER_MIXED = 2 };

// Side information of one granule and channel.
struct sLayer3Side {
    int granule, channel;
    int blockType; // 0 normal, 1 start, 2 short, 3 stop
    int mixed;
    uint32_t part2Start; // bit position in the reservoir
    int tableSelect[3];
    int count1Table; // 32 or 33
    int region1Start, region2Start;
    int bigValueLines; // 2 * big_values
    int regionEnd;     // 576
    uint32_t part23End;
    int subblockGain[3]; // each times 4
    int preflag;
    int scalefacScale;
    int globalGain;
    int scalefacCompress;
    int scfsi[4];
    int intensityScale; // 0 or 1; 2 when not applicable
    // The scale factors' layout as read: bits of each group, and where each group ends in
    // the scale-factor order. The lower rates' intensity stereo takes a group's largest
    // value as the mark of a band without intensity coding.
    int scalefacBits[4];
    int groupEnd[4];
};

// Tables computed at every Open, in double precision, stored as floats.
struct sLayer3Tables {
    float pow43[L3_POW43_ENTRIES];
    float globalGain[256];
    float scaleFactor[65];
    float intensity1[32][2];    // MPEG-1: kL, kR by position
    float intensity2[2][32][2]; // MPEG-2: by intensity-scale bit, then position
    float aliasCs[8], aliasCa[8];
    float midSide;
    // The 36-point IMDCT is an 18-point DCT-IV, computed as a scaled 18-point DCT-II whose
    // neighbouring outputs are summed; the DCT-II splits into two 9-point products over the
    // sums and the differences of mirrored inputs (rows padded to whole vectors).
    float imdctPre[18];     // 0.5 / cos((2k + 1) pi / 72)
    float imdctEven[9][12]; // cos((2k + 1) p pi / 18)
    float imdctOdd[9][12];  // cos((2k + 1) (2p + 1) pi / 36)
    float longWindow[4][36];
    // The 12-point IMDCT with the short window folded in.
    float shortKernel[12][6];
    huffman::sHuffLookup huffLookup;
};

// The band layout of one sample rate.
struct sLayer3Bands {
    int longStart[L3_LONG_BANDS + 1];   // in lines
    int shortStart[L3_SHORT_BANDS + 1]; // in lines of the three windows: times 3
};

struct sLayer3State {
    uint8_t reservoir[L3_RESERVOIR_CAPACITY + L3_RESERVOIR_PAD];
    int reservoirFill;
    uint32_t reservoirBitPos;

    sLayer3Side side[2][2]; // [granule][channel]
    uint8_t scalefac[2][L3_SCALEFACTORS];

    float lines[2][L3_LINES];
    int16_t reorder[3][L3_LINES];
    int8_t intensityPos[L3_LINES];
    float overlap[2][L3_LINES];

    float lineGains[L3_LINES];         // per line (halved or quartered at reduced rate)
    float lineGainMeans[L3_LINES / 3]; // means of three, for short blocks
    int lineGainsOn;

    int rate; // 0..8, row of the band tables
    sLayer3Tables tables;
};

// ---- constant tables (layer3_tables.cpp) ----
extern const sLayer3Bands layer3Bands[L3_RATES];
extern const uint8_t layer3Pretab[L3_LONG_BANDS];
extern const uint8_t layer3Slen[2][16];
extern const uint8_t layer3Partitions[7][3][4]; // running sums, by row and block kind

// The lower sampling frequencies' scalefac_compress: three ranges for the normal channels and
// three for the right channel of an intensity-coded frame (which codes it shifted right by
// one). Past a range's first value the offset spells the four slen values as digits, slen[3]
// lowest, in the radices given for slen[1..3]; slen[0] takes what is left.
struct sLayer3SlenRange {
    int first;
    uint8_t partitionRow;
    uint8_t preflag;
    uint8_t radix[3];
};
extern const sLayer3SlenRange layer3SlenRanges[2][3]; // [intensity right channel][range]
extern const double layer3AliasCi[8];

void Layer3ComputeTables(sLayer3Tables* tables);
void Layer3BuildReorder(const sLayer3Bands& bands, int16_t reorder[3][L3_LINES]);

// ---- bit reading over the reservoir (huffman decoding) ----
struct sLayer3Bits {
    const uint8_t* bytes;
    uint32_t size; // bytes readable; zeros beyond
    uint32_t position;
};

// ---- stages (layer3_stages.cpp, layer3_huffman.cpp) ----

// Huffman decodes one granule and channel into lines (zeroing the rest) through the reorder
// table; returns the count of lines decoded (the rest are zero).
int Layer3DecodeSpectrum(sLayer3Bits* bits, const sLayer3Side& side, const int16_t* reorder,
                         const sLayer3Tables& tables, float* lines);

// Requantises in place with the scale factors of the granule and channel.
void Layer3Requantise(const sLayer3Side& side, const uint8_t* scalefac, int mpeg1,
                      const sLayer3Bands& bands, const sLayer3Tables& tables, float* lines);

// Mid/side over count lines.
void Layer3MidSide(float* left, float* right, int count, float factor);

// Intensity stereo (with mid/side on the lines it leaves, when msOn): the right channel's zero
// part decides where intensity coding starts, its scale factors give the positions.
void Layer3Intensity(const sLayer3Side& right, const uint8_t* scalefac, int mpeg1, int msOn,
                     const sLayer3Bands& bands, const sLayer3Tables& tables, int lineLimit,
                     float* left, float* rightLines);

// Alias reduction across the boundaries of the first subbands long-coded subbands.
void Layer3Alias(float* lines, int subbands, const sLayer3Tables& tables);

// IMDCT, windowing and overlap-add of one subband: 18 lines in, 18 samples out into out[
// slot * stride], the second half kept in overlap.
void Layer3ImdctLong(const float* in, int blockType, const sLayer3Tables& tables, float* overlap,
                     float* out, int stride);
// The same for L3_IMDCT_LANES neighbouring subbands at once, none of whose lines are all
// zero: in and overlap hold them one after another, out[slot * stride + j] is subband j's.
enum { L3_IMDCT_LANES = 4 };
void Layer3ImdctLongLanes(const float* in, int blockType, const sLayer3Tables& tables,
                          float* overlap, float* out, int stride);
void Layer3ImdctShort(const float* in, const sLayer3Tables& tables, float* overlap, float* out,
                      int stride);

#endif
