// Constant tables of the MPEG audio bitstream and of Layers I and II.
#include "tables.h"

const int mpegVersionByBits[4] = {2, 3, 1, 0};

const int mpegBaseSampleRate[4] = {44100, 48000, 32000, 0};

const int mpegBitrateKbps[6][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};

// Quantisation classes by the number of levels: 3, 5, 9 are the grouped classes 0..2;
// 2^i - 1 levels are class i (3..16).
namespace {

// MPEG-1 high-rate tables, subbands 0-2: 3, 7, 15 ... 65535 levels.
const int8_t classesA[16] = {-1, 0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
// Subbands 3-10: 3, 5, 7, 9, 15, 31 ... 8191, 65535.
const int8_t classesB[16] = {-1, 0, 1, 3, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16};
// Subbands 11-22: 3, 5, 7, 9, 15, 31, 65535.
const int8_t classesC[16] = {-1, 0, 1, 3, 2, 4, 5, 16, -1, -1, -1, -1, -1, -1, -1, -1};
// Subbands 23-29: 3, 5, 65535.
const int8_t classesD[16] = {-1, 0, 1, 16, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
// Low-rate tables, first subbands: 3, 5, 9, 15, 31 ... 32767.
const int8_t classesE[16] = {-1, 0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
// MPEG-2 first subbands: 3, 5, 7, 9, 15, 31 ... 16383.
const int8_t classesH[16] = {-1, 0, 1, 3, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
// Then: 3, 5, 9, 15, 31, 63, 127.
const int8_t classesF[16] = {-1, 0, 1, 2, 4, 5, 6, 7, -1, -1, -1, -1, -1, -1, -1, -1};
// MPEG-2 upper subbands: 3, 5, 9.
const int8_t classesG[16] = {-1, 0, 1, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

const uint8_t widthsHigh[32] = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3,
                                3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2, 2, 2, 0, 0};
const uint8_t widthsLow[32] = {4, 4, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 0, 0, 0, 0,
                               0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const uint8_t widthsLsf[32] = {4, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2,
                               2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 0, 0};

const int8_t* const rowsHigh[32] = {
    classesA, classesA, classesA, classesB, classesB, classesB, classesB, classesB,
    classesB, classesB, classesB, classesC, classesC, classesC, classesC, classesC,
    classesC, classesC, classesC, classesC, classesC, classesC, classesC, classesD,
    classesD, classesD, classesD, classesD, classesD, classesD, classesD, classesD};
const int8_t* const rowsLow[32] = {
    classesE, classesE, classesF, classesF, classesF, classesF, classesF, classesF,
    classesF, classesF, classesF, classesF, classesF, classesF, classesF, classesF,
    classesF, classesF, classesF, classesF, classesF, classesF, classesF, classesF,
    classesF, classesF, classesF, classesF, classesF, classesF, classesF, classesF};
const int8_t* const rowsLsf[32] = {
    classesH, classesH, classesH, classesH, classesF, classesF, classesF, classesF,
    classesF, classesF, classesF, classesG, classesG, classesG, classesG, classesG,
    classesG, classesG, classesG, classesG, classesG, classesG, classesG, classesG,
    classesG, classesG, classesG, classesG, classesG, classesG, classesG, classesG};

} // namespace

const sLayer2AllocTable layer2AllocTables[5] = {
    {27, widthsHigh, rowsHigh}, {30, widthsHigh, rowsHigh}, {8, widthsLow, rowsLow},
    {12, widthsLow, rowsLow},   {30, widthsLsf, rowsLsf},
};

const int32_t referenceWindowHalf[257] = {
    0,      -1,     -1,     -1,     -1,     -1,     -1,     -2,     -2,     -2,     -2,     -3,
    -3,     -4,     -4,     -5,     -5,     -6,     -7,     -7,     -8,     -9,     -10,    -11,
    -13,    -14,    -16,    -17,    -19,    -21,    -24,    -26,    -29,    -31,    -35,    -38,
    -41,    -45,    -49,    -53,    -58,    -63,    -68,    -73,    -79,    -85,    -91,    -97,
    -104,   -111,   -117,   -125,   -132,   -139,   -147,   -154,   -161,   -169,   -176,   -183,
    -190,   -196,   -202,   -208,   213,    218,    222,    225,    227,    228,    228,    227,
    224,    221,    215,    208,    200,    189,    177,    163,    146,    127,    106,    83,
    57,     29,     -2,     -36,    -72,    -111,   -153,   -197,   -244,   -294,   -347,   -401,
    -459,   -519,   -581,   -645,   -711,   -779,   -848,   -919,   -991,   -1064,  -1137,  -1210,
    -1283,  -1356,  -1428,  -1498,  -1567,  -1634,  -1698,  -1759,  -1817,  -1870,  -1919,  -1962,
    -2001,  -2032,  -2057,  -2075,  -2085,  -2087,  -2080,  -2063,  2037,   2000,   1952,   1893,
    1822,   1739,   1644,   1535,   1414,   1280,   1131,   970,    794,    605,    402,    185,
    -45,    -288,   -545,   -814,   -1095,  -1388,  -1692,  -2006,  -2330,  -2663,  -3004,  -3351,
    -3705,  -4063,  -4425,  -4788,  -5153,  -5517,  -5879,  -6237,  -6589,  -6935,  -7271,  -7597,
    -7910,  -8209,  -8491,  -8755,  -8998,  -9219,  -9416,  -9585,  -9727,  -9838,  -9916,  -9959,
    -9966,  -9935,  -9863,  -9750,  -9592,  -9389,  -9139,  -8840,  -8492,  -8092,  -7640,  -7134,
    6574,   5959,   5288,   4561,   3776,   2935,   2037,   1082,   70,     -998,   -2122,  -3300,
    -4533,  -5818,  -7154,  -8540,  -9975,  -11455, -12980, -14548, -16155, -17799, -19478, -21189,
    -22929, -24694, -26482, -28289, -30112, -31947, -33791, -35640, -37489, -39336, -41176, -43006,
    -44821, -46617, -48390, -50137, -51853, -53534, -55178, -56778, -58333, -59838, -61289, -62684,
    -64019, -65290, -66494, -67629, -68692, -69679, -70590, -71420, -72169, -72835, -73415, -73908,
    -74313, -74630, -74856, -74992, 75038,
};
