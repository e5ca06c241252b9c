// Layer III stages after the Huffman decoding: requantisation, stereo, alias reduction and
// the IMDCT with windowing and overlap-add.
#include <string.h>

#include "layer3.h"
#include "vec4.h"

static inline int ClampIndex(int i, int last) {
    return i > last ? last : i;
}

// ---- requantisation ----

static void ScaleLongBands(const sLayer3Side& side, const uint8_t* scalefac, int count,
                           const sLayer3Bands& bands, const sLayer3Tables& t, float gain,
                           float* lines) {
    for (int b = 0; b < count; b++) {
        int sf = scalefac[b] + (side.preflag ? layer3Pretab[b] : 0);
        float factor = gain * t.scaleFactor[ClampIndex(sf << side.scalefacScale, 64)];
        for (int i = bands.longStart[b]; i < bands.longStart[b + 1]; i++) lines[i] *= factor;
    }
}

static void ScaleShortBands(const sLayer3Side& side, const uint8_t* scalefac, int firstBand,
                            const sLayer3Bands& bands, const sLayer3Tables& t, float gain,
                            float* lines) {
    for (int b = firstBand; b < L3_SHORT_BANDS; b++) {
        const uint8_t* sf = scalefac + 3 * (b - firstBand);
        for (int w = 0; w < 3; w++) {
            float factor = gain * t.scaleFactor[ClampIndex(side.subblockGain[w], 64)] *
                           t.scaleFactor[ClampIndex(sf[w] << side.scalefacScale, 64)];
            for (int i = bands.shortStart[b] + w; i < bands.shortStart[b + 1]; i += 3)
                lines[i] *= factor;
        }
    }
}

// Long bands in front of the short ones: all for long blocks, the first 36 lines (8 bands of
// MPEG-1, 6 of the lower rates) for mixed blocks, none for short blocks.
static int LongBandCount(const sLayer3Side& side, int mpeg1) {
    if (side.blockType != 2) return L3_LONG_BANDS;
    if (!side.mixed) return 0;
    return mpeg1 ? 8 : 6;
}

void Layer3Requantise(const sLayer3Side& side, const uint8_t* scalefac, int mpeg1,
                      const sLayer3Bands& bands, const sLayer3Tables& t, float* lines) {
    float gain = t.globalGain[side.globalGain & 255];
    int longBands = LongBandCount(side, mpeg1);
    ScaleLongBands(side, scalefac, longBands, bands, t, gain, lines);
    if (side.blockType == 2)
        ScaleShortBands(side, scalefac + longBands, side.mixed ? 3 : 0, bands, t, gain, lines);
}

// ---- stereo ----

void Layer3MidSide(float* left, float* right, int count, float factor) {
    for (int i = 0; i < count; i++) {
        float m = left[i], s = right[i];
        left[i] = (m + s) * factor;
        right[i] = (m - s) * factor;
    }
}

namespace {

struct IntensityContext {
    const sLayer3Tables* t;
    const sLayer3Side* side;
    const uint8_t* scalefac;
    int mpeg1;
    int msOn;
    int lineLimit;
    float* left;
    float* right;

    // The position that marks a band without intensity coding. MPEG-1 has ratios for 0..6
    // only, so 7 and up mean none; the lower rates mark it with the largest value the band's
    // scale-factor width can hold.
    bool Coded(int index, int pos) const {
        if (mpeg1) return pos < L3_NOT_INTENSITY;
        int g = 0;
        while (g < 3 && index >= side->groupEnd[g]) g++;
        return pos != (1 << side->scalefacBits[g]) - 1;
    }

    // Lines first, first + step, ... below end: intensity with the position held by scale
    // factor `index`, or mid/side.
    void Apply(int first, int end, int step, int index) const {
        if (end > lineLimit) end = lineLimit;
        int pos = scalefac[index];
        if (!Coded(index, pos)) {
            if (msOn) MidSide(first, end, step);
            return;
        }
        const float* k = mpeg1 ? t->intensity1[pos] : t->intensity2[side->intensityScale & 1][pos];
        for (int i = first; i < end; i += step) {
            float v = left[i];
            left[i] = v * k[0];
            right[i] = v * k[1];
        }
    }

    void MidSide(int first, int end, int step) const {
        if (end > lineLimit) end = lineLimit;
        for (int i = first; i < end; i += step) {
            float m = left[i], s = right[i];
            left[i] = (m + s) * t->midSide;
            right[i] = (m - s) * t->midSide;
        }
    }
};

// The first long band lying wholly above the right channel's last non-zero line below end.
int FirstZeroLongBand(const float* right, const sLayer3Bands& bands, int bandCount) {
    int end = bands.longStart[bandCount];
    int top = end - 1;
    while (top >= 0 && right[top] == 0) top--;
    int b = 0;
    while (b < bandCount && bands.longStart[b] <= top) b++;
    return b;
}

// The same per window w for the short bands from firstBand; -1 when the window is all zero.
int FirstZeroShortBand(const float* right, const sLayer3Bands& bands, int firstBand, int w) {
    for (int b = L3_SHORT_BANDS - 1; b >= firstBand; b--) {
        for (int i = bands.shortStart[b] + w; i < bands.shortStart[b + 1]; i += 3)
            if (right[i] != 0) return b + 1;
    }
    return -1;
}

void IntensityLong(const IntensityContext& c, const sLayer3Bands& bands, int bandCount,
                   int lastCoded) {
    int first = FirstZeroLongBand(c.right, bands, bandCount);
    for (int b = 0; b < bandCount; b++) {
        int start = bands.longStart[b], end = bands.longStart[b + 1];
        if (b < first) {
            if (c.msOn) c.MidSide(start, end, 1);
            continue;
        }
        c.Apply(start, end, 1, ClampIndex(b, lastCoded)); // the last band repeats the one below
    }
}

// Short bands from firstBand, whose scale factors start at firstIndex; returns 1 when a
// window has non-zero right lines there.
int IntensityShort(const IntensityContext& c, const sLayer3Bands& bands, int firstBand,
                   int firstIndex) {
    int anyNonZero = 0;
    for (int w = 0; w < 3; w++) {
        int first = FirstZeroShortBand(c.right, bands, firstBand, w);
        if (first < 0)
            first = firstBand;
        else
            anyNonZero = 1;
        for (int b = firstBand; b < L3_SHORT_BANDS; b++) {
            int start = bands.shortStart[b] + w, end = bands.shortStart[b + 1];
            if (b < first) {
                if (c.msOn) c.MidSide(start, end, 3);
                continue;
            }
            c.Apply(start, end, 3,
                    firstIndex + 3 * (ClampIndex(b, L3_SHORT_BANDS - 2) - firstBand) + w);
        }
    }
    return anyNonZero;
}

} // namespace

void Layer3Intensity(const sLayer3Side& right, const uint8_t* scalefac, int mpeg1, int msOn,
                     const sLayer3Bands& bands, const sLayer3Tables& t, int lineLimit,
                     float* leftLines, float* rightLines) {
    IntensityContext c = {&t, &right, scalefac, mpeg1, msOn, lineLimit, leftLines, rightLines};
    if (right.blockType != 2) {
        IntensityLong(c, bands, L3_LONG_BANDS, L3_LONG_BANDS - 2);
        return;
    }
    if (!right.mixed) {
        IntensityShort(c, bands, 0, 0);
        return;
    }
    int longBands = mpeg1 ? 8 : 6;
    int shortNonZero = IntensityShort(c, bands, 3, longBands);
    if (shortNonZero) {
        if (msOn) c.MidSide(0, bands.longStart[longBands], 1);
    } else {
        IntensityLong(c, bands, longBands, longBands - 1);
    }
}

// ---- alias reduction ----

void Layer3Alias(float* lines, int subbands, const sLayer3Tables& t) {
    for (int sb = 1; sb < subbands; sb++) {
        float* up = lines + 18 * sb - 1;
        float* down = lines + 18 * sb;
        for (int i = 0; i < 8; i++) {
            float u = up[-i], d = down[i];
            up[-i] = u * t.aliasCs[i] - d * t.aliasCa[i];
            down[i] = d * t.aliasCs[i] + u * t.aliasCa[i];
        }
    }
}

// ---- IMDCT ----

static bool AllZero(const float* in) {
    for (int k = 0; k < 18; k++)
        if (in[k] != 0) return false;
    return true;
}

// A subband without lines only lets its stored half out.
static void OverlapOnly(float* overlap, float* out, int stride) {
    for (int s = 0; s < 18; s++) {
        out[s * stride] = overlap[s];
        overlap[s] = 0;
    }
}

// y[m] = sum of in[k] cos((2m + 1)(2k + 1) pi / 72): with x[k] = in[k] / (2 cos((2k + 1) pi
// / 72)) it is d[m] + d[m + 1], d the DCT-II of x (d[18] = 0), whose even outputs are a
// 9-point DCT-II of x[k] + x[17 - k] and odd outputs a 9-point DCT-IV of x[k] - x[17 - k].
static void Dct4(const float* in, const sLayer3Tables& t, float* y) {
    float sum[9], difference[9];
    for (int k = 0; k < 9; k++) {
        float a = in[k] * t.imdctPre[k], b = in[17 - k] * t.imdctPre[17 - k];
        sum[k] = a + b;
        difference[k] = a - b;
    }
    float even[12] = {}, odd[12] = {};
    for (int k = 0; k < 9; k++) {
        for (int p = 0; p < 12; p++) {
            even[p] += t.imdctEven[k][p] * sum[k];
            odd[p] += t.imdctOdd[k][p] * difference[k];
        }
    }
    float d[19];
    for (int p = 0; p < 9; p++) {
        d[2 * p] = even[p];
        d[2 * p + 1] = odd[p];
    }
    d[18] = 0;
    for (int m = 0; m < 18; m++) y[m] = d[m] + d[m + 1];
}

void Layer3ImdctLong(const float* in, int blockType, const sLayer3Tables& t, float* overlap,
                     float* out, int stride) {
    if (AllZero(in)) {
        OverlapOnly(overlap, out, stride);
        return;
    }
    float y[18];
    Dct4(in, t, y);
    // Output i of the IMDCT is y[i + 9] for i < 9, and by symmetry x[17 - i] = -x[i],
    // x[18 + j] = -y[8 - j] and x[35 - j] = x[18 + j].
    float z[36];
    for (int j = 0; j < 9; j++) {
        z[j] = y[9 + j];
        z[17 - j] = -y[9 + j];
        z[18 + j] = -y[8 - j];
        z[35 - j] = -y[8 - j];
    }
    const float* w = t.longWindow[blockType & 3];
    for (int s = 0; s < 18; s++) {
        out[s * stride] = z[s] * w[s] + overlap[s];
        overlap[s] = z[18 + s] * w[18 + s];
    }
}

void Layer3ImdctShort(const float* in, const sLayer3Tables& t, float* overlap, float* out,
                      int stride) {
    if (AllZero(in)) {
        OverlapOnly(overlap, out, stride);
        return;
    }
    float z[36];
    memset(z, 0, sizeof z);
    for (int w = 0; w < 3; w++) {
        float x[6];
        for (int k = 0; k < 6; k++) x[k] = in[w + 3 * k];
        for (int i = 0; i < 12; i++) {
            float sum = 0;
            for (int k = 0; k < 6; k++) sum += t.shortKernel[i][k] * x[k];
            z[6 + 6 * w + i] += sum;
        }
    }
    for (int s = 0; s < 18; s++) {
        out[s * stride] = z[s] + overlap[s];
        overlap[s] = z[18 + s];
    }
}

// ---- IMDCT of four subbands side by side ----

// Lane j of every vector below is subband first + j, and each lane does exactly the
// operations of Layer3ImdctLong in the same order, so the results are the same to the bit.
namespace {

void Dct4Lanes(const float* in, const sLayer3Tables& t, Vec4* y) {
    Vec4 x[18];
    for (int k = 0; k < 18; k++) {
        float column[L3_IMDCT_LANES];
        for (int j = 0; j < L3_IMDCT_LANES; j++) column[j] = in[18 * j + k];
        x[k] = Load4(column) * Splat4(t.imdctPre[k]);
    }
    Vec4 sum[9], difference[9];
    for (int k = 0; k < 9; k++) {
        sum[k] = x[k] + x[17 - k];
        difference[k] = x[k] - x[17 - k];
    }
    // Each output sums over k upwards from zero, as the one-subband form does.
    Vec4 d[19];
    for (int p = 0; p < 9; p++) {
        Vec4 even = Splat4(0), odd = Splat4(0);
#pragma GCC unroll 9
        for (int k = 0; k < 9; k++) {
            even += Splat4(t.imdctEven[k][p]) * sum[k];
            odd += Splat4(t.imdctOdd[k][p]) * difference[k];
        }
        d[2 * p] = even;
        d[2 * p + 1] = odd;
    }
    d[18] = Splat4(0);
    for (int m = 0; m < 18; m++) y[m] = d[m] + d[m + 1];
}

} // namespace

void Layer3ImdctLongLanes(const float* in, int blockType, const sLayer3Tables& t, float* overlap,
                          float* out, int stride) {
    Vec4 y[18];
    Dct4Lanes(in, t, y);
    Vec4 z[36];
    for (int i = 0; i < 9; i++) {
        z[i] = y[9 + i];
        z[17 - i] = -y[9 + i];
        z[18 + i] = -y[8 - i];
        z[35 - i] = -y[8 - i];
    }
    const float* w = t.longWindow[blockType & 3];
    for (int s = 0; s < 18; s++) {
        float previous[L3_IMDCT_LANES], next[L3_IMDCT_LANES];
        for (int j = 0; j < L3_IMDCT_LANES; j++) previous[j] = overlap[18 * j + s];
        Store4(out + s * stride, z[s] * Splat4(w[s]) + Load4(previous));
        Store4(next, z[18 + s] * Splat4(w[18 + s]));
        for (int j = 0; j < L3_IMDCT_LANES; j++) overlap[18 * j + s] = next[j];
    }
}
