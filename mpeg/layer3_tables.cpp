// Layer III tables: the standard's constants, and the ones computed at every Open.
#include <math.h>
#include <string.h>

#include "layer3.h"

// Scale-factor bands by sample rate: 44.1, 48, 32 kHz, their halves, their quarters. Short
// band boundaries are stored multiplied by 3 (lines of the three windows).
#define S3(a, b, c, d, e, f, g, h, i, j, k, l, m, n)                                               \
    {                                                                                              \
        3 * a, 3 * b, 3 * c, 3 * d, 3 * e, 3 * f, 3 * g, 3 * h, 3 * i, 3 * j, 3 * k, 3 * l, 3 * m, \
            3 * n                                                                                  \
    }

const sLayer3Bands layer3Bands[L3_RATES] = {
    {{0,  4,  8,   12,  16,  20,  24,  30,  36,  44,  52, 62,
      74, 90, 110, 134, 162, 196, 238, 288, 342, 418, 576},
     S3(0, 4, 8, 12, 16, 22, 30, 40, 52, 66, 84, 106, 136, 192)},
    {{0,  4,  8,   12,  16,  20,  24,  30,  36,  42,  50, 60,
      72, 88, 106, 128, 156, 190, 230, 276, 330, 384, 576},
     S3(0, 4, 8, 12, 16, 22, 28, 38, 50, 64, 80, 100, 126, 192)},
    {{0,  4,   8,   12,  16,  20,  24,  30,  36,  44,  54, 66,
      82, 102, 126, 156, 194, 240, 296, 364, 448, 550, 576},
     S3(0, 4, 8, 12, 16, 22, 30, 42, 58, 78, 104, 138, 180, 192)},
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     S3(0, 4, 8, 12, 18, 24, 32, 42, 56, 74, 100, 132, 174, 192)},
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      114, 136, 162, 194, 232, 278, 332, 394, 464, 540, 576},
     S3(0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 136, 180, 192)},
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     S3(0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192)},
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     S3(0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192)},
    {{0,   6,   12,  18,  24,  30,  36,  44,  54,  66,  80, 96,
      116, 140, 168, 200, 238, 284, 336, 396, 464, 522, 576},
     S3(0, 4, 8, 12, 18, 26, 36, 48, 62, 80, 104, 134, 174, 192)},
    {{0,   12,  24,  36,  48,  60,  72,  88,  108, 132, 160, 192,
      232, 280, 336, 400, 476, 566, 568, 570, 572, 574, 576},
     S3(0, 8, 16, 24, 36, 52, 72, 96, 124, 160, 162, 164, 166, 192)},
};

#undef S3

const uint8_t layer3Pretab[L3_LONG_BANDS] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                             1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};

// slen1 and slen2 of the MPEG-1 scalefac_compress.
const uint8_t layer3Slen[2][16] = {
    {0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4},
    {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3},
};

// Scale factors per group (long, short, mixed), as running sums: the six rows of the
// lower-sampling-frequency extension, then MPEG-1's (whose groups are its scfsi groups).
const uint8_t layer3Partitions[7][3][4] = {
    {{6, 11, 16, 21}, {9, 18, 27, 36}, {6, 15, 24, 33}},
    {{6, 11, 18, 21}, {9, 18, 30, 36}, {6, 15, 27, 33}},
    {{11, 21, 21, 21}, {18, 36, 36, 36}, {15, 33, 33, 33}},
    {{7, 14, 21, 21}, {12, 24, 36, 36}, {6, 21, 33, 33}},
    {{6, 12, 18, 21}, {12, 21, 30, 36}, {6, 18, 27, 33}},
    {{8, 16, 21, 21}, {15, 27, 36, 36}, {6, 24, 33, 33}},
    {{6, 11, 16, 21}, {9, 18, 24, 36}, {8, 17, 23, 35}},
};

const sLayer3SlenRange layer3SlenRanges[2][3] = {
    {{0, 0, 0, {5, 4, 4}}, {400, 1, 0, {5, 4, 1}}, {500, 2, 1, {3, 1, 1}}},
    {{0, 3, 0, {6, 6, 1}}, {180, 4, 0, {4, 4, 1}}, {244, 5, 0, {3, 1, 1}}},
};

const double layer3AliasCi[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};

static void ComputeIntensityTables(sLayer3Tables* t) {
    for (int i = 0; i < 32; i++) {
        // Positions 7 and up carry no intensity; their ratios are never used, keep them finite.
        double tn = i < 7 ? tan(i * M_PI / 12) : 0;
        t->intensity1[i][0] = float(tn / (1 + tn));
        t->intensity1[i][1] = float(1 / (1 + tn));
    }
    // Intensity-scale bit 0 gives io = 2^-1/4 and bit 1 io = 2^-1/2, as the standard does.
    const double io[2] = {pow(2.0, -0.25), pow(2.0, -0.5)};
    for (int set = 0; set < 2; set++) {
        for (int i = 0; i < 32; i++) {
            double kL = 1, kR = 1;
            if (i & 1)
                kL = pow(io[set], (i + 1) / 2);
            else
                kR = pow(io[set], i / 2);
            t->intensity2[set][i][0] = float(kL);
            t->intensity2[set][i][1] = float(kR);
        }
    }
}

// Window of the 36-sample blocks by type (0 normal, 1 start, 3 stop), at sample i.
static double LongWindow(int type, int i) {
    double normal = sin(M_PI / 36 * (i + 0.5));
    if (type == 1) {
        if (i < 18) return normal;
        if (i < 24) return 1;
        if (i < 30) return sin(M_PI / 12 * (i - 18 + 0.5));
        return 0;
    }
    if (type == 3) {
        if (i < 6) return 0;
        if (i < 12) return sin(M_PI / 12 * (i - 6 + 0.5));
        if (i < 18) return 1;
        return normal;
    }
    return normal;
}

static void ComputeImdctKernels(sLayer3Tables* t) {
    for (int k = 0; k < 18; k++) t->imdctPre[k] = float(0.5 / cos((2 * k + 1) * M_PI / 72));
    memset(t->imdctEven, 0, sizeof t->imdctEven);
    memset(t->imdctOdd, 0, sizeof t->imdctOdd);
    for (int k = 0; k < 9; k++) {
        for (int p = 0; p < 9; p++) {
            t->imdctEven[k][p] = float(cos((2 * k + 1) * p * M_PI / 18));
            t->imdctOdd[k][p] = float(cos((2 * k + 1) * (2 * p + 1) * M_PI / 36));
        }
    }
    for (int type = 0; type < 4; type++) {
        int shape = type == 2 ? 0 : type; // type 2 never uses the long windows
        for (int i = 0; i < 36; i++) t->longWindow[type][i] = float(LongWindow(shape, i));
    }
    for (int i = 0; i < 12; i++) {
        double w = sin(M_PI / 24 * (2 * i + 1));
        for (int k = 0; k < 6; k++)
            t->shortKernel[i][k] = float(w * cos(M_PI / 24 * (2 * i + 1 + 6) * (2 * k + 1)));
    }
}

void Layer3ComputeTables(sLayer3Tables* t) {
    for (int i = 0; i < L3_POW43_ENTRIES; i++) t->pow43[i] = float(pow(double(i), 4.0 / 3.0));
    for (int i = 0; i < 256; i++) t->globalGain[i] = float(pow(2.0, (i - 210) / 4.0));
    for (int i = 0; i < 65; i++) t->scaleFactor[i] = float(pow(2.0, -i / 2.0));
    ComputeIntensityTables(t);
    for (int i = 0; i < 8; i++) {
        double c = layer3AliasCi[i], root = sqrt(1 + c * c);
        t->aliasCs[i] = float(1 / root);
        t->aliasCa[i] = float(c / root);
    }
    t->midSide = float(sqrt(0.5));
    ComputeImdctKernels(t);
    huffman::BuildLookup(&t->huffLookup);
}

// Bitstream order to stored order. Short blocks interleave the three windows' lines so that
// each subband's 18 values hold window w at w, w + 3, ..., as the short IMDCT reads them.
void Layer3BuildReorder(const sLayer3Bands& bands, int16_t reorder[3][L3_LINES]) {
    for (int i = 0; i < L3_LINES; i++) reorder[0][i] = reorder[1][i] = reorder[2][i] = int16_t(i);
    for (int b = 0; b < L3_SHORT_BANDS; b++) {
        int start = bands.shortStart[b];
        int width = (bands.shortStart[b + 1] - start) / 3;
        for (int j = 0; j < 3; j++) {
            for (int k = 0; k < width; k++) {
                int from = start + width * j + k;
                int to = start + j + 3 * k;
                reorder[L3_REORDER_SHORT][from] = int16_t(to);
                if (b >= 3) reorder[L3_REORDER_MIXED][from] = int16_t(to);
            }
        }
    }
}
