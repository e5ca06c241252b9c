// Constant tables of the MPEG audio bitstream and of Layers I and II (ISO/IEC 11172-3 and
// 13818-3), and the standard's synthesis window for the reference build.
#ifndef PRISMATEL_MPEG_TABLES_H
#define PRISMATEL_MPEG_TABLES_H

#include <stdint.h>

// Version index by the header's two version bits: 00 MPEG-2.5, 01 reserved, 10 MPEG-2, 11 MPEG-1.
extern const int mpegVersionByBits[4];

// Base sample rate by sample-rate index (MPEG-1); shifted right by the version index.
extern const int mpegBaseSampleRate[4];

// Bitrates in kbit/s: MPEG-1 Layers I, II, III, then MPEG-2/2.5 Layers I, II, III.
// Row = layer index + 3 for MPEG-2 and MPEG-2.5; entries 0 (free format) and 15 are 0.
extern const int mpegBitrateKbps[6][16];

// A Layer II bit-allocation table: subbands used, the allocation-field width per subband
// and, per subband, the quantisation class selected by each allocation value (-1: none).
struct sLayer2AllocTable {
    int subbands;
    const uint8_t* widths;        // 32 entries
    const int8_t* const* classes; // 32 rows of 16 classes (rows beyond subbands unused)
};

enum {
    L2_TABLE_27 = 0,  // MPEG-1, high rates
    L2_TABLE_30 = 1,  // MPEG-1, high rates, 44.1 and 32 kHz
    L2_TABLE_8 = 2,   // MPEG-1, low rates
    L2_TABLE_12 = 3,  // MPEG-1, low rates, 32 kHz
    L2_TABLE_LSF = 4, // MPEG-2 and MPEG-2.5
};
extern const sLayer2AllocTable layer2AllocTables[5];

// The allocation table a Layer II frame uses, from its header fields (L2_TABLE_...).
int Layer2AllocTableFor(int version, int sampleRateIndex, int bitrateIndex, int mode);

// The standard's synthesis window D[0..256] in units of 2^-16; the rest follows by
// D[512 - i] = -D[i], except at multiples of 64 where D[512 - i] = D[i].
extern const int32_t referenceWindowHalf[257];

#endif
