// The polyphase synthesis filter: channel processing, the fast DCT, windowing with a
// computed window and PCM output at full, half or quarter rate.
#include <math.h>
#include <string.h>

#include "mpegstream.h"
#include "tables.h"
#include "vec4.h"

#if PRISMATEL_REFERENCE_WINDOW
// The standard's window in 16-bit units, signed like the computed one: D[x] = (-1)^(x / 64) f(x).
static double WindowFunction(int x) {
    x &= 511;
    double d;
    if (x <= 256) {
        d = referenceWindowHalf[x];
    } else {
        int i = 512 - x;
        d = (i % 64 == 0) ? referenceWindowHalf[i] : -referenceWindowHalf[i];
    }
    double sign = ((x / 64) & 1) ? -1.0 : 1.0;
    return sign * d * (32768.0 / 65536.0);
}
#else
// An eight-term cosine series that approximates 32768 * |D[x]| of the standard's window,
// with period 512.
static double WindowFunction(int x) {
    const float c7 = -0.00849729f, c6 = 0.086630754f, c5 = -0.3417122f;
    const float c[8] = {0.5f,
                        (float)-sqrt(1.0 - (double)c7 * c7),
                        (float)sqrt(1.0 - (double)c6 * c6),
                        (float)-sqrt(1.0 - (double)c5 * c5),
                        (float)sqrt(0.5),
                        c5,
                        c6,
                        c7};
    double sum = 0.0;
    for (int s = 0; s < 8; s++) sum += c[s] * cos(s * x * M_PI / 256.0);
    return 8192.0 * sum;
}
#endif

// Where column c of row r of a half-buffer lies: rows in groups of four, interleaved.
static inline int Cell(int row, int column) {
    return (row / sMpegStream::SYNTH_LANES) * sMpegStream::SYNTH_GROUP_CELLS +
           column * sMpegStream::SYNTH_LANES + row % sMpegStream::SYNTH_LANES;
}

// For each output row j (0..q) and ring phase (ring | 1 = 2 * phase + 1), the sixteen taps
// of the direct output, (-1)^i T[32j + 16 - o + i], then those of the mirrored one,
// -T[32j + o + 15 - i], laid out like the rows (rows past q stay zero).
static void BuildTaps(const float* table, int q, float* taps) {
    const int groupTaps = 8 * 2 * sMpegStream::SYNTH_GROUP_CELLS;
    memset(taps, 0, sizeof(float) * groupTaps * (q / sMpegStream::SYNTH_LANES + 1));
    for (int j = 0; j <= q; j++)
        for (int phase = 0; phase < 8; phase++) {
            int o = 2 * phase + 1;
            float* t = taps + (j / sMpegStream::SYNTH_LANES) * groupTaps +
                       phase * 2 * sMpegStream::SYNTH_GROUP_CELLS;
            float* mirror = t + sMpegStream::SYNTH_GROUP_CELLS;
            int lane = j % sMpegStream::SYNTH_LANES;
            for (int i = 0; i < 16; i++) {
                float direct = table[32 * j + 16 - o + i];
                t[Cell(lane, i)] = (i & 1) ? -direct : direct;
                mirror[Cell(lane, i)] = -table[32 * j + o + 15 - i];
            }
        }
}

void sMpegStream::SynthBuildTables() {
    for (int r = 0; r < 1024; r++) {
        int k = 32 * r + (r >> 5);
        double v = WindowFunction(k & 511);
        // The sign pattern makes the windowing below equal the standard's with D[x] =
        // (-1)^(x / 64) f(x); the opposite pattern would invert the output's polarity.
        window[r] = (float)((r & 2) ? v : -v);
    }
    for (int m = 0; m < 16; m++)
        for (int n = 0; n < 32; n++) windowHalf[32 * m + n] = window[64 * m + n];
    for (int m = 0; m < 8; m++)
        for (int n = 0; n < 32; n++) windowQuarter[32 * m + n] = window[128 * m + n];
    BuildTaps(window, 16, windowTaps);
    BuildTaps(windowHalf, 8, windowTapsHalf);
    BuildTaps(windowQuarter, 4, windowTapsQuarter);
    dctFactors[0] = 0.0f;
    for (int s = 0; s <= 4; s++)
        for (int r = 0; r < (1 << s); r++)
            dctFactors[(1 << s) + r] = (float)(0.5 / cos((2 * r + 1) * M_PI / (4.0 * (1 << s))));
}

void sMpegStream::SynthConfigure() {
    if (!tablesBuilt) SynthBuildTables(); // Open builds them; a bare configuration does not
    int channels = requestedChannels;
    downmix = duplicate = 0;
    if (channels == 0) channels = streamChannels;
    if (channels == -2) {
        channels = 2;
        duplicate = 1;
        if (streamChannels == 2) downmix = 1;
    }
    if (channels != 1) channels = 2;
    if (streamChannels == 2 && channels == 1) downmix = 1;
    if (streamChannels == 1 && channels == 2) duplicate = 1;
    outputChannels = channels;
    synthChannels = (downmix || duplicate || streamChannels == 1) ? 1 : 2;
    matrixOn = 0;
    volume = 1.0f;
    subbandGainsOn = 0;
    SynthReset();
}

void sMpegStream::SynthReset() {
    ring = 0;
    memset(synthBuffer, 0, sizeof(synthBuffer));
}

void sMpegStream::SetSubbandGains(const float* gains) {
    subbandGainsOn = 0;
    if (!gains) return;
    bool unity = true;
    for (int i = 0; i < 32; i++) unity = unity && gains[i] == 1.0f;
    if (unity) return;
    // At reduced rate the gains describe the narrower output band.
    int group = 1 << downShift;
    for (int j = 0; j < (32 >> downShift); j++) {
        float sum = 0.0f;
        for (int i = 0; i < group; i++) sum += gains[j * group + i];
        subbandGains[j] = sum / (float)group;
    }
    subbandGainsOn = 1;
}

// DCT-II by recursive halving (B. G. Lee): X[m] = sum x[k] cos(m (2k + 1) pi / 2N). The
// templates unroll completely for the three sizes. T is float or Vec4: four slots' DCTs side
// by side, each lane with the operations of one.
template <int N, typename T> static inline void Dct(const T* x, T* X, const float* factors) {
    if constexpr (N == 1) {
        X[0] = x[0];
    } else {
        const int H = N / 2;
        T even[H], odd[H], evenOut[H], oddOut[H];
        for (int k = 0; k < H; k++) {
            even[k] = x[k] + x[N - 1 - k];
            odd[k] = (x[k] - x[N - 1 - k]) * factors[H + k];
        }
        Dct<H, T>(even, evenOut, factors);
        Dct<H, T>(odd, oddOut, factors);
        for (int m = 0; m < H - 1; m++) {
            X[2 * m] = evenOut[m];
            X[2 * m + 1] = oddOut[m] + oddOut[m + 1];
        }
        X[N - 2] = evenOut[H - 1];
        X[N - 1] = oddOut[H - 1];
    }
}

// Applies the matrix, volume and subband gains to one slot's values (n subbands).
static void ProcessChannels(const sMpegStream* s, float (*x)[32], int n) {
    float* left = x[0];
    float* right = x[1];
    if (s->matrixOn) {
        const float* m = s->matrix;
        if (s->downmix) {
            for (int k = 0; k < n; k++) left[k] = m[6] * left[k] + m[7] * right[k];
        } else if (s->synthChannels == 2) {
            for (int k = 0; k < n; k++) {
                float l = left[k], r = right[k];
                left[k] = m[0] * l + m[1] * r;
                right[k] = m[3] * l + m[4] * r;
            }
        } else if (!s->duplicate) {
            for (int k = 0; k < n; k++) left[k] *= m[8];
        }
    } else if (s->downmix) {
        for (int k = 0; k < n; k++) left[k] = (left[k] + right[k]) * 0.5f;
    }
    for (int c = 0; c < s->synthChannels; c++) {
        if (s->volume != 1.0f)
            for (int k = 0; k < n; k++) x[c][k] *= s->volume;
        if (s->subbandGainsOn)
            for (int k = 0; k < n; k++) x[c][k] *= s->subbandGains[k];
    }
}

typedef float sHalves[sMpegStream::SYNTH_GROUPS * sMpegStream::SYNTH_GROUP_CELLS];

// The DCTs of channel c of four consecutive slots at once: slot i's outputs in X[i].
template <int N>
static void DctLanes(const sMpegStream* s, float (*x)[2][32], int c, float (*X)[N]) {
    const int L = sMpegStream::SYNTH_LANES;
    Vec4 in[N], result[N];
    for (int k = 0; k < N; k++) {
        float column[L];
        for (int i = 0; i < L; i++) column[i] = x[i][c][k];
        in[k] = Load4(column);
    }
    Dct<N, Vec4>(in, result, s->dctFactors);
    for (int k = 0; k < N; k++) {
        float column[L];
        Store4(column, result[k]);
        for (int i = 0; i < L; i++) X[i][k] = column[i];
    }
}

// Stores one slot's DCT outputs into the ring of half-buffers.
template <int N> static void StoreDct(const sMpegStream* s, const float* X, sHalves* halves) {
    const int q = N / 2;
    float* a = halves[s->ring & 1];
    float* b = halves[(s->ring & 1) ^ 1];
    int columnA = (s->ring + 1) & 14, columnB = s->ring | 1;
    for (int row = 0; row <= q; row++) a[Cell(row, columnA)] = X[q - row];
    for (int row = 0; row < q; row++) b[Cell(row, columnB)] = X[q + row];
}

// Four 16-term dot products side by side, each in eight independent sums added pairwise
// (the order each lane keeps, as the one-output form did).
static inline void Dot16Lanes(const float* a, const float* b, float* result) {
    Vec4 acc[8];
#pragma GCC unroll 8
    for (int k = 0; k < 8; k++) acc[k] = Load4(a + 4 * k) * Load4(b + 4 * k);
#pragma GCC unroll 8
    for (int k = 0; k < 8; k++) acc[k] += Load4(a + 4 * (k + 8)) * Load4(b + 4 * (k + 8));
    Store4(result,
           ((acc[0] + acc[4]) + (acc[1] + acc[5])) + ((acc[2] + acc[6]) + (acc[3] + acc[7])));
}

// Windows the half-buffer rows into N output samples, four rows at a time, with the taps laid
// out for the ring's phase (signs included) so that every output is one dot product.
template <int N>
static void WindowSlot(const sMpegStream* s, sHalves* halves, const float* taps, float* out) {
    const int q = N / 2, L = sMpegStream::SYNTH_LANES, cells = sMpegStream::SYNTH_GROUP_CELLS;
    const float* rows = halves[(s->ring + 1) & 1];
    int phase = (s->ring | 1) >> 1;
    for (int g = 0; g <= q / L; g++) {
        const float* t = taps + (g * 8 + phase) * 2 * cells;
        float direct[L], mirror[L];
        Dot16Lanes(t, rows + g * cells, direct);
        Dot16Lanes(t + cells, rows + g * cells, mirror);
        for (int l = 0; l < L; l++) {
            int j = g * L + l;
            if (j > q) break;
            out[j] = direct[l];
            if (j != 0 && j != q) out[2 * q - j] = mirror[l];
        }
    }
}

static inline int16_t ToPcm16(float v) {
    if (v >= 32767.0f) return 32767;
    if (v > -32768.0f) return (int16_t)(int)v;
    return -32768; // also NaN
}

template <int BYTES> static inline void PutSample(uint8_t* p, float v) {
    if (BYTES == 2) {
        int16_t w = ToPcm16(v);
        memcpy(p, &w, 2);
    } else {
        memcpy(p, &v, 4);
    }
}

template <int BYTES>
static void WriteSamples(const sMpegStream* s, float (*out)[32], int n, uint8_t* dest) {
    if (s->duplicate) {
        float ml = s->matrixOn ? s->matrix[2] : 1.0f, mr = s->matrixOn ? s->matrix[5] : 1.0f;
        for (int j = 0; j < n; j++) {
            float v = out[0][j];
            PutSample<BYTES>(dest, s->matrixOn ? v * ml : v);
            PutSample<BYTES>(dest + BYTES, s->matrixOn ? v * mr : v);
            dest += 2 * BYTES;
        }
    } else if (s->outputChannels == 2) {
        for (int j = 0; j < n; j++) {
            PutSample<BYTES>(dest, out[0][j]);
            PutSample<BYTES>(dest + BYTES, out[1][j]);
            dest += 2 * BYTES;
        }
    } else {
        for (int j = 0; j < n; j++, dest += BYTES) PutSample<BYTES>(dest, out[0][j]);
    }
}

static void WriteSlot(const sMpegStream* s, float (*out)[32], int n, uint8_t* dest) {
    if (s->bytesPerSample == 2)
        WriteSamples<2>(s, out, n, dest);
    else
        WriteSamples<4>(s, out, n, dest);
}

// The slots go four at a time through the DCT (they do not depend on each other), then one
// at a time through the ring and the window (which do).
template <int N> static void SynthesizeFrame(sMpegStream* s, const float* table, uint8_t* dest) {
    const int L = sMpegStream::SYNTH_LANES;
    int step = s->bytesPerSample * s->outputChannels * N;
    for (int first = 0; first < 36; first += L) {
        float x[L][2][32];
        for (int i = 0; i < L; i++) {
            for (int c = 0; c < s->streamChannels; c++)
                memcpy(x[i][c], &s->subband[c][(first + i) * 32], sizeof(float) * N);
            if (s->streamChannels == 1) memset(x[i][1], 0, sizeof(x[i][1]));
            ProcessChannels(s, x[i], N);
        }
        float X[2][L][N];
        for (int c = 0; c < s->synthChannels; c++) DctLanes<N>(s, x, c, X[c]);
        for (int i = 0; i < L; i++) {
            float out[2][32];
            for (int c = 0; c < s->synthChannels; c++) {
                StoreDct<N>(s, X[c][i], s->synthBuffer[c]);
                WindowSlot<N>(s, s->synthBuffer[c], table, out[c]);
            }
            s->ring = (s->ring - 1) & 15;
            if (dest) {
                WriteSlot(s, out, N, dest);
                dest += step;
            }
        }
    }
}

void sMpegStream::Synthesize(uint8_t* destination) {
    switch (downShift) {
    case 0: SynthesizeFrame<32>(this, windowTaps, destination); break;
    case 1: SynthesizeFrame<16>(this, windowTapsHalf, destination); break;
    default: SynthesizeFrame<8>(this, windowTapsQuarter, destination); break;
    }
}
