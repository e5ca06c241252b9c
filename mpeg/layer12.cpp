// Layer I and Layer II decoding: allocation, scale factors, grouping and requantisation into
// the subband samples of one output frame.
#include <math.h>
#include <string.h>

#include "mpegstream.h"
#include "tables.h"

void sMpegStream::Layer12BuildTables() {
    for (int i = 0; i < 63; i++) scaleFactors[i] = (float)pow(2.0, (3 - i) / 3.0);
    scaleFactors[63] = 0.0f;
    for (int i = 0; i < 16; i++) layer1Factors[i] = (float)(2.0 / (pow(2.0, i + 1) - 1.0));

    static const int groupedLevels[3] = {3, 5, 9};
    static const int groupedBits[3] = {5, 7, 10};
    static const int groupedOffset[3] = {1, 2, 4};
    for (int i = 0; i < 17; i++) {
        sQuantClass& q = quantClasses[i];
        if (i < 3) {
            q.levels = groupedLevels[i];
            q.bits = groupedBits[i];
            q.offset = groupedOffset[i];
            q.grouped = 1;
        } else {
            q.levels = (1 << i) - 1;
            q.bits = i;
            q.offset = (1 << (i - 1)) - 1;
            q.grouped = 0;
        }
        q.factor = (float)(2.0 / q.levels);
    }
}

void sMpegStream::Layer12FirstFrame(int bitrate) {
    if (bitrate == 0) return;
    int rate = SampleRate();
    int perFrame = header.layer == 0 ? 36 : 144;
    slotSize = header.layer == 0 ? 4 : 1;
    frameQuotient = (int)((int64_t)perFrame * bitrate / rate);
    frameRemainder = (int)((int64_t)perFrame * bitrate % rate);
    prerollFrames = 1;
}

// The intensity bound: joint stereo codes the subbands from 4 * (extension + 1) up as one
// set of samples. It never exceeds the subbands the frame codes.
static int StereoBound(const sMpegHeader& h, int subbands) {
    int bound = subbands;
    if (h.mode == 1) bound = 4 * (h.modeExtension + 1);
    if (h.mode == 3) bound = 0;
    return bound < subbands ? bound : subbands;
}

// ---- Layer I ----

static void ClearSlots(float (*subband)[sMpegStream::FRAME_SAMPLES], int firstSlot, int slots) {
    for (int ch = 0; ch < 2; ch++)
        memset(&subband[ch][firstSlot * 32], 0, sizeof(float) * 32 * slots);
}

static void DecodeLayer1Frame(sMpegStream* s, int frame) {
    int channels = s->header.mode == 3 ? 1 : 2;
    int bound = StereoBound(s->header, 32);
    int(*alloc)[32] = s->allocation;
    for (int sb = 0; sb < 32; sb++) {
        if (sb < bound) {
            for (int ch = 0; ch < channels; ch++) alloc[ch][sb] = (int)s->GetBits(4);
        } else {
            alloc[0][sb] = alloc[1][sb] = (int)s->GetBits(4);
        }
    }
    float factor[2][32];
    for (int sb = 0; sb < 32; sb++) {
        for (int ch = 0; ch < channels; ch++) {
            int a = alloc[ch][sb];
            factor[ch][sb] = a ? s->scaleFactors[s->GetBits(6)] * s->layer1Factors[a] : 0.0f;
        }
    }
    for (int slot = 0; slot < 12; slot++) {
        int base = (12 * frame + slot) * 32;
        for (int sb = 0; sb < 32; sb++) {
            int shared = sb >= bound;
            for (int ch = 0; ch < channels; ch++) {
                int a = alloc[ch][sb];
                float value = 0.0f;
                if (a) {
                    int v = (int)s->GetBits(a + 1);
                    value = (float)(v - (1 << a) + 1);
                }
                if (shared) {
                    for (int c = 0; c < channels; c++)
                        s->subband[c][base + sb] = value * factor[c][sb];
                    break;
                }
                s->subband[ch][base + sb] = value * factor[ch][sb];
            }
        }
    }
}

void sMpegStream::DecodeLayer1() {
    for (int frame = 0; frame < 3; frame++) {
        if (frame > 0 && header.bitrateIndex != 0) FindHeader(0);
        if (header.bitrateIndex == 0) {
            ClearSlots(subband, 12 * frame, 12);
            continue;
        }
        DecodeLayer1Frame(this, frame);
        SkipToFrameEnd();
    }
}

// ---- Layer II ----

int Layer2AllocTableFor(int version, int sampleRateIndex, int bitrateIndex, int mode) {
    if (version != 0) return L2_TABLE_LSF;
    int channels = mode == 3 ? 1 : 2;
    int perChannel = mpegBitrateKbps[1][bitrateIndex] / channels;
    bool rate48 = sampleRateIndex == 1, rate32 = sampleRateIndex == 2;
    if ((rate48 && perChannel > 55) || (perChannel > 55 && perChannel <= 80)) return L2_TABLE_27;
    if (rate48 || perChannel < 96) return (rate32 || perChannel > 48) ? L2_TABLE_12 : L2_TABLE_8;
    return L2_TABLE_30;
}

static void ReadLayer2Factors(sMpegStream* s, int channels, int subbands) {
    for (int sb = 0; sb < subbands; sb++)
        for (int ch = 0; ch < channels; ch++)
            s->scaleSelect[ch][sb] = s->allocation[ch][sb] ? (int)s->GetBits(2) : 0;
    for (int sb = 0; sb < subbands; sb++) {
        for (int ch = 0; ch < channels; ch++) {
            int q = s->allocation[ch][sb];
            if (!q) continue;
            int sf[3];
            switch (s->scaleSelect[ch][sb]) {
            case 0:
                sf[0] = (int)s->GetBits(6), sf[1] = (int)s->GetBits(6), sf[2] = (int)s->GetBits(6);
                break;
            case 1: sf[0] = sf[1] = (int)s->GetBits(6), sf[2] = (int)s->GetBits(6); break;
            case 2: sf[0] = sf[1] = sf[2] = (int)s->GetBits(6); break;
            default: sf[0] = (int)s->GetBits(6), sf[1] = sf[2] = (int)s->GetBits(6); break;
            }
            float classFactor = s->quantClasses[q - 1].factor;
            for (int part = 0; part < 3; part++)
                s->partFactor[ch][part][sb] = s->scaleFactors[sf[part]] * classFactor;
        }
    }
}

// Reads the three coded values of one subband triple.
static void ReadTriple(sMpegStream* s, const sQuantClass& q, int* v) {
    if (q.grouped) {
        int code = (int)s->GetBits(q.bits);
        v[0] = code % q.levels;
        code /= q.levels;
        v[1] = code % q.levels;
        v[2] = (code / q.levels) % q.levels;
    } else {
        v[0] = (int)s->GetBits(q.bits);
        v[1] = (int)s->GetBits(q.bits);
        v[2] = (int)s->GetBits(q.bits);
    }
}

static void DecodeLayer2Granule(sMpegStream* s, int granule, int channels, int bound,
                                int subbands) {
    int part = granule / 4;
    for (int sb = 0; sb < subbands; sb++) {
        int shared = sb >= bound;
        for (int ch = 0; ch < channels; ch++) {
            int q = s->allocation[ch][sb];
            int v[3] = {0, 0, 0};
            const sQuantClass* cls = q ? &s->quantClasses[q - 1] : nullptr;
            if (cls) ReadTriple(s, *cls, v);
            int first = shared ? 0 : ch, end = shared ? channels : ch + 1;
            for (int c = first; c < end; c++) {
                float f = cls ? s->partFactor[c][part][sb] : 0.0f;
                for (int i = 0; i < 3; i++) {
                    float value = cls ? (float)(v[i] - cls->offset) * f : 0.0f;
                    s->subband[c][(3 * granule + i) * 32 + sb] = value;
                }
            }
            if (shared) break;
        }
    }
    for (int sb = subbands; sb < 32; sb++)
        for (int c = 0; c < 2; c++)
            for (int i = 0; i < 3; i++) s->subband[c][(3 * granule + i) * 32 + sb] = 0.0f;
}

void sMpegStream::DecodeLayer2() {
    if (header.bitrateIndex == 0) {
        ClearSlots(subband, 0, 36);
        return;
    }
    const sLayer2AllocTable& table = layer2AllocTables[Layer2AllocTableFor(
        header.version, header.sampleRateIndex, header.bitrateIndex, header.mode)];
    int subbands = table.subbands;
    int channels = header.mode == 3 ? 1 : 2;
    int bound = StereoBound(header, subbands);
    // Allocations are stored as class + 1 (0: none), straight from the table's list.
    for (int sb = 0; sb < subbands; sb++) {
        int width = table.widths[sb];
        if (sb < bound) {
            for (int ch = 0; ch < channels; ch++)
                allocation[ch][sb] = table.classes[sb][GetBits(width)] + 1;
        } else {
            allocation[0][sb] = allocation[1][sb] = table.classes[sb][GetBits(width)] + 1;
        }
    }
    ReadLayer2Factors(this, channels, subbands);
    for (int granule = 0; granule < 12; granule++)
        DecodeLayer2Granule(this, granule, channels, bound, subbands);
    SkipToFrameEnd();
}
