// Layer III decoding in sMpegStream: side information, the main-data reservoir, scale
// factors, and the order in which the stages of layer3_stages.cpp run.
#include <stddef.h>
#include <string.h>

#include "huffman.h"
#include "mpegstream.h"

namespace {

enum { NO_INTENSITY_SCALE = 2 };

int IsMpeg1(const sMpegStream& m) {
    return m.lockedVersion == 0;
}
int ChannelCount(const sMpegStream& m) {
    return m.lockedModeClass == 3 ? 1 : 2;
}
const sLayer3Bands& Bands(const sMpegStream& m) {
    return layer3Bands[m.layer3.rate];
}

int SideInfoBytes(int mpeg1, int channels) {
    if (mpeg1) return channels == 1 ? 17 : 32;
    return channels == 1 ? 9 : 17;
}

int MinInt(int a, int b) {
    return a < b ? a : b;
}

// ---- side information ----

void ReadRegions(sMpegStream& m, sLayer3Side& s) {
    const sLayer3Bands& bands = Bands(m);
    if (m.GetBit()) {
        s.blockType = int(m.GetBits(2));
        // Start and stop blocks may be mixed too: their two lowest subbands then take the
        // normal window.
        s.mixed = int(m.GetBit());
        s.tableSelect[0] = int(m.GetBits(5));
        s.tableSelect[1] = int(m.GetBits(5));
        s.tableSelect[2] = 0;
        for (int w = 0; w < 3; w++) s.subblockGain[w] = int(m.GetBits(3)) * 4;
        s.region1Start = s.blockType == 2 ? bands.shortStart[3] : bands.longStart[8];
        s.region2Start = L3_LINES;
        return;
    }
    s.blockType = 0;
    s.mixed = 0;
    for (int r = 0; r < 3; r++) s.tableSelect[r] = int(m.GetBits(5));
    for (int w = 0; w < 3; w++) s.subblockGain[w] = 0;
    int region0 = int(m.GetBits(4));
    int region1 = int(m.GetBits(3));
    // Damaged counts may point past the last band: stop at the band table's end.
    s.region1Start = bands.longStart[MinInt(region0 + 1, L3_LONG_BANDS)];
    s.region2Start = bands.longStart[MinInt(region0 + region1 + 2, L3_LONG_BANDS)];
}

void ReadGranuleSide(sMpegStream& m, sLayer3Side& s, int granule, int channel, uint32_t* part2) {
    int mpeg1 = IsMpeg1(m);
    s.granule = granule;
    s.channel = channel;
    int part23Length = int(m.GetBits(12));
    // big_values beyond 288 pairs would run past the 576 lines.
    s.bigValueLines = MinInt(2 * int(m.GetBits(9)), L3_LINES);
    s.globalGain = int(m.GetBits(8));
    s.scalefacCompress = int(m.GetBits(mpeg1 ? 4 : 9));
    s.intensityScale = NO_INTENSITY_SCALE;
    ReadRegions(m, s);
    s.region1Start = MinInt(s.region1Start, s.bigValueLines);
    s.region2Start = MinInt(s.region2Start, s.bigValueLines);
    s.regionEnd = L3_LINES;
    s.preflag = mpeg1 ? int(m.GetBit()) : 0;
    s.scalefacScale = int(m.GetBit());
    s.count1Table = 32 + int(m.GetBit());
    s.part2Start = *part2;
    s.part23End = *part2 + uint32_t(part23Length);
    *part2 = s.part23End;
}

// Reads the side information of the current frame into granules first..first + count - 1;
// returns main_data_begin.
int ReadSideInfo(sMpegStream& m, int first, int count) {
    int mpeg1 = IsMpeg1(m), channels = ChannelCount(m);
    int mainDataBegin = int(m.GetBits(mpeg1 ? 9 : 8));
    if (mpeg1)
        m.GetBits(channels == 1 ? 5 : 3);
    else
        m.GetBits(channels == 1 ? 1 : 2);
    for (int ch = 0; ch < channels; ch++) {
        memset(m.layer3.side[0][ch].scfsi, 0, sizeof m.layer3.side[0][ch].scfsi);
        for (int g = 0; g < 4; g++) m.layer3.side[1][ch].scfsi[g] = mpeg1 ? int(m.GetBit()) : 0;
    }
    uint32_t part2 = 0;
    for (int gr = first; gr < first + count; gr++) {
        for (int ch = 0; ch < channels; ch++)
            ReadGranuleSide(m, m.layer3.side[gr][ch], gr, ch, &part2);
    }
    return mainDataBegin;
}

// ---- reservoir ----

// Keeps the last mainDataBegin bytes and appends the frame's main data from the input buffer.
void AppendMainData(sMpegStream& m, int mainDataBegin) {
    sLayer3State& s = m.layer3;
    int channels = ChannelCount(m);
    int start =
        int(m.frameStart) + 4 + (m.header.crc ? 2 : 0) + SideInfoBytes(IsMpeg1(m), channels);
    int length = m.FrameLength() - (start - int(m.frameStart));
    // Bound the copy by the input buffer and the reservoir, whatever the header claims.
    length = MinInt(length, sMpegStream::INPUT_CAPACITY - start);
    length = MinInt(length, L3_RESERVOIR_CAPACITY - mainDataBegin);
    if (length < 0 || start < 0) length = 0;
    if (s.reservoirFill < mainDataBegin) s.reservoirFill = mainDataBegin; // stale bytes stand in
    memmove(s.reservoir, s.reservoir + s.reservoirFill - mainDataBegin, size_t(mainDataBegin));
    if (length > 0) memcpy(s.reservoir + mainDataBegin, m.input + start, size_t(length));
    s.reservoirFill = mainDataBegin + length;
    s.reservoirBitPos = 0;
}

// ---- scale factors ----

// Reads four groups of scale factors (group g ends at sums[g]) of slen[g] bits each; groups
// whose keep flag is set retain their values. Three zeros follow the last band.
void ReadScalefactorGroups(sMpegStream& m, sLayer3Side& s, uint8_t* sf, const uint8_t sums[4],
                           const int slen[4], const int* keep) {
    int i = 0;
    for (int g = 0; g < 4; g++) {
        s.scalefacBits[g] = slen[g];
        s.groupEnd[g] = sums[g];
        int end = sums[g];
        if (keep && keep[g]) {
            i = end;
            continue;
        }
        for (; i < end; i++) {
            sf[i] = uint8_t(slen[g] ? m.GetBits(slen[g]) : 0);
        }
    }
    sf[i] = sf[i + 1] = sf[i + 2] = 0;
}

int BlockKind(const sLayer3Side& s) {
    if (s.blockType != 2) return 0;
    return s.mixed ? 2 : 1;
}

void ReadScalefactorsMpeg1(sMpegStream& m, sLayer3Side& s, uint8_t* sf) {
    int slen1 = layer3Slen[0][s.scalefacCompress & 15],
        slen2 = layer3Slen[1][s.scalefacCompress & 15];
    int slen[4] = {slen1, slen1, slen2, slen2};
    int kind = BlockKind(s);
    // The selection information holds for every block type but short blocks: start and stop
    // blocks of granule 1 reuse granule 0's groups like normal blocks do.
    ReadScalefactorGroups(m, s, sf, layer3Partitions[6][kind], slen,
                          kind == 0 && s.granule == 1 ? s.scfsi : nullptr);
}

// The lower sampling frequencies code four slen values, a partition row and the preflag in
// scalefac_compress, differently for the right channel of an intensity-coded frame.
void ReadScalefactorsMpeg2(sMpegStream& m, sLayer3Side& s, uint8_t* sf, int intensityRight) {
    int c = s.scalefacCompress;
    if (intensityRight) {
        s.intensityScale = c & 1;
        c >>= 1;
    }
    const sLayer3SlenRange* range = layer3SlenRanges[intensityRight];
    for (int r = 1; r < 3 && c >= layer3SlenRanges[intensityRight][r].first; r++)
        range = &layer3SlenRanges[intensityRight][r];
    c -= range->first;
    int slen[4];
    for (int i = 3; i >= 1; i--) {
        slen[i] = c % range->radix[i - 1];
        c /= range->radix[i - 1];
    }
    slen[0] = c;
    s.preflag = range->preflag;
    ReadScalefactorGroups(m, s, sf, layer3Partitions[range->partitionRow][BlockKind(s)], slen,
                          nullptr);
}

// ---- one granule ----

int JointMode(const sMpegStream& m) {
    return m.header.mode == 1 && ChannelCount(m) == 2;
}
int IntensityOn(const sMpegStream& m) {
    return JointMode(m) && (m.header.modeExtension & 1);
}
int MidSideOn(const sMpegStream& m) {
    return JointMode(m) && (m.header.modeExtension & 2);
}

void DecodeChannelLines(sMpegStream& m, int gr, int ch) {
    sLayer3State& s = m.layer3;
    sLayer3Side& side = s.side[gr][ch];
    s.reservoirBitPos = side.part2Start;
    m.SetBitSource(s.reservoir, L3_RESERVOIR_CAPACITY, &s.reservoirBitPos);
    if (IsMpeg1(m))
        ReadScalefactorsMpeg1(m, side, s.scalefac[ch]);
    else
        ReadScalefactorsMpeg2(m, side, s.scalefac[ch], ch == 1 && IntensityOn(m));
    sLayer3Bits bits = {s.reservoir, L3_RESERVOIR_CAPACITY, s.reservoirBitPos};
    int kind = side.blockType != 2 ? L3_REORDER_LONG
               : side.mixed        ? L3_REORDER_MIXED
                                   : L3_REORDER_SHORT;
    Layer3DecodeSpectrum(&bits, side, s.reorder[kind], s.tables, s.lines[ch]);
    Layer3Requantise(side, s.scalefac[ch], IsMpeg1(m), Bands(m), s.tables, s.lines[ch]);
}

void ApplyStereo(sMpegStream& m, int gr) {
    sLayer3State& s = m.layer3;
    int lineLimit = L3_LINES >> m.downShift;
    if (IntensityOn(m))
        Layer3Intensity(s.side[gr][1], s.scalefac[1], IsMpeg1(m), MidSideOn(m), Bands(m), s.tables,
                        lineLimit, s.lines[0], s.lines[1]);
    else if (MidSideOn(m))
        Layer3MidSide(s.lines[0], s.lines[1], lineLimit, s.tables.midSide);
}

void ApplyLineGains(sLayer3State& s, float* lines, int longSubbands, int subbands) {
    int longEnd = 18 * MinInt(longSubbands, subbands), end = 18 * subbands;
    for (int i = 0; i < longEnd; i++) lines[i] *= s.lineGains[i];
    // Short blocks interleave the windows: three neighbouring lines share one frequency.
    for (int i = longEnd; i < end; i++) lines[i] *= s.lineGainMeans[i / 3];
}

// The lanes of Layer3ImdctLongLanes: a group of subbands with one long window whose lines are
// not all zero (a subband without lines only lets its stored half out, to the bit).
bool AllLongAndNonZero(const sLayer3Side& side, int first, int longSubbands, const float* lines) {
    if (side.mixed && first < 2) return false;
    if (side.blockType == 2 && first + L3_IMDCT_LANES > longSubbands) return false;
    for (int sb = first; sb < first + L3_IMDCT_LANES; sb++) {
        const float* in = lines + 18 * sb;
        bool zero = true;
        for (int k = 0; k < 18; k++) zero = zero && in[k] == 0;
        if (zero) return false;
    }
    return true;
}

void ImdctSubband(sLayer3State& s, const sLayer3Side& side, int sb, int longSubbands, int ch,
                  float* out) {
    const float* in = s.lines[ch] + 18 * sb;
    float* overlap = s.overlap[ch] + 18 * sb;
    if (side.blockType == 2 && sb >= longSubbands)
        Layer3ImdctShort(in, s.tables, overlap, out + sb, 32);
    else
        Layer3ImdctLong(in, side.mixed && sb < 2 ? 0 : side.blockType, s.tables, overlap, out + sb,
                        32);
}

// Alias reduction, line gains, IMDCT and overlap, frequency inversion of one channel.
void HybridSynthesis(sMpegStream& m, int gr, int ch) {
    sLayer3State& s = m.layer3;
    const sLayer3Side& side = s.side[gr][ch];
    int subbands = L3_SUBBANDS >> m.downShift;
    int longSubbands = side.blockType != 2 ? L3_SUBBANDS : side.mixed ? 2 : 0;
    float* lines = s.lines[ch];
    // Only the boundaries between subbands the synthesis uses: at a reduced rate the one
    // above the last of them would fold a dropped subband into a kept one, which decoders
    // that reduce the rate by dropping subbands leave out too.
    Layer3Alias(lines, MinInt(longSubbands, subbands), s.tables);
    if (s.lineGainsOn) ApplyLineGains(s, lines, longSubbands, subbands);
    float* out = m.subband[ch] + gr * L3_LINES;
    for (int sb = 0; sb < subbands; sb += L3_IMDCT_LANES) {
        int count = MinInt(L3_IMDCT_LANES, subbands - sb);
        if (count == L3_IMDCT_LANES && AllLongAndNonZero(side, sb, longSubbands, lines))
            Layer3ImdctLongLanes(lines + 18 * sb, side.blockType, s.tables, s.overlap[ch] + 18 * sb,
                                 out + sb, 32);
        else
            for (int i = sb; i < sb + count; i++) ImdctSubband(s, side, i, longSubbands, ch, out);
    }
    // Frequency inversion: odd slots of odd subbands.
    for (int t = 1; t < 18; t += 2)
        for (int sb = 1; sb < subbands; sb += 2) out[t * 32 + sb] = -out[t * 32 + sb];
}

void DecodeGranule(sMpegStream& m, int gr) {
    int channels = ChannelCount(m);
    for (int ch = 0; ch < channels; ch++) DecodeChannelLines(m, gr, ch);
    m.SetInputBitSource();
    ApplyStereo(m, gr);
    for (int ch = 0; ch < channels; ch++) HybridSynthesis(m, gr, ch);
}

// A granule from the overlap alone: the tail of the last frame, then silence.
void OverlapTail(sMpegStream& m, int gr) {
    sLayer3State& s = m.layer3;
    for (int ch = 0; ch < ChannelCount(m); ch++) {
        float* out = m.subband[ch] + gr * L3_LINES;
        for (int sb = 0; sb < L3_SUBBANDS; sb++) {
            for (int t = 0; t < 18; t++) {
                float v = s.overlap[ch][18 * sb + t];
                out[t * 32 + sb] = (sb & t & 1) ? -v : v;
            }
        }
        memset(s.overlap[ch], 0, sizeof s.overlap[ch]);
    }
}

// One frame holding granules first..first + count - 1.
void DecodeFrame(sMpegStream& m, int first, int count) {
    int mainDataBegin = ReadSideInfo(m, first, count);
    AppendMainData(m, mainDataBegin);
    m.SkipToFrameEnd();
    for (int gr = first; gr < first + count; gr++) DecodeGranule(m, gr);
    m.SetInputBitSource();
}

// Reads main_data_begin, passes over the rest of the side information and fills the
// reservoir from the frame.
void SkipFrameIntoReservoir(sMpegStream& m) {
    int mpeg1 = IsMpeg1(m);
    int mainDataBegin = int(m.GetBits(mpeg1 ? 9 : 8));
    AppendMainData(m, mainDataBegin);
    m.SkipToFrameEnd();
}

} // namespace

void sMpegStream::Layer3BuildTables() {
    // The tables come last in the state, so that clearing stops short of them.
    memset(&layer3, 0, offsetof(sLayer3State, tables));
    if (!tablesBuilt) Layer3ComputeTables(&layer3.tables);
}

void sMpegStream::Layer3FirstFrame(int bitrate) {
    sLayer3State& s = layer3;
    if (bitrate != 0) {
        int rate = SampleRate();
        int64_t bytes = 144 * int64_t(bitrate);
        slotSize = 1;
        frameQuotient = int(bytes / rate);
        frameRemainder = int(bytes % rate);
        // A frame quotient of 38 bytes or less would divide by zero or less: count one.
        int usable = frameQuotient - 38 > 0 ? frameQuotient - 38 : 1;
        prerollFrames = (lockedVersion == 0 ? 510 : 254) / usable + 4;
    }
    int row = lockedVersion * 3 + lockedSampleRate;
    s.rate = row >= 0 && row < L3_RATES ? row : 0;
    Layer3BuildReorder(layer3Bands[s.rate], s.reorder);
    memset(s.overlap, 0, sizeof s.overlap);
    memset(s.reservoir, 0, sizeof s.reservoir);
    s.reservoirFill = 0;
    s.reservoirBitPos = 0;
    s.lineGainsOn = 0;
}

void sMpegStream::Layer3DecodeFrame() {
    if (IsMpeg1(*this)) {
        if (header.bitrateIndex == 0) {
            OverlapTail(*this, 0);
            OverlapTail(*this, 1);
            return;
        }
        DecodeFrame(*this, 0, 2);
        return;
    }
    for (int gr = 0; gr < 2; gr++) {
        if (gr == 1 && header.bitrateIndex != 0) FindHeader(0);
        if (header.bitrateIndex == 0)
            OverlapTail(*this, gr);
        else
            DecodeFrame(*this, gr, 1);
    }
}

void sMpegStream::Layer3RefillReservoir(int missing) {
    sLayer3State& s = layer3;
    // Cleared also when no frame precedes the target: a seek back to the start must not
    // carry the last decoded frame's halves into the first one.
    memset(s.overlap, 0, sizeof s.overlap);
    s.reservoirFill = 0;
    int framesPerStep = IsMpeg1(*this) ? 1 : 2;
    for (int i = 0; i < prerollFrames - 1 - missing; i++) {
        for (int f = 0; f < framesPerStep; f++) {
            if (!FindHeader(0)) return;
            SkipFrameIntoReservoir(*this);
        }
    }
}

void sMpegStream::Layer3SetLineGains(const float* gains) {
    sLayer3State& s = layer3;
    int identity = 1;
    for (int i = 0; gains && i < L3_LINES; i++) identity &= gains[i] == 1.0f;
    if (!gains || identity) {
        s.lineGainsOn = 0;
        return;
    }
    int group = 1 << downShift, count = L3_LINES >> downShift;
    for (int i = 0; i < count; i++) {
        float sum = 0;
        for (int j = 0; j < group; j++) sum += gains[i * group + j];
        s.lineGains[i] = sum / float(group);
    }
    for (int i = 0; i < count / 3; i++)
        s.lineGainMeans[i] =
            (s.lineGains[3 * i] + s.lineGains[3 * i + 1] + s.lineGains[3 * i + 2]) / 3.0f;
    s.lineGainsOn = 1;
}

void sMpegStream::Layer3LineGainsOff() {
    layer3.lineGainsOn = 0;
}
