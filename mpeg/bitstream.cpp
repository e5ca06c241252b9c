// The input side of sMpegStream: the input buffer, the bit reader, the sync search, frame
// headers and the scan of the stream's first frames.
#include <string.h>

#include "mpegstream.h"
#include "tables.h"

void sMpegStream::ResetInput() {
    inputCapacity = INPUT_CAPACITY;
    inputLowWater = notSeekable ? INPUT_CAPACITY : INPUT_LOW_WATER;
    inputFill = 0;
    inputBitPos = 0;
    inputBase = source ? source->Control(SC_POSITION, nullptr, 0) : 0;
    frameStart = 0;
    memset(input, 0, sizeof(input));
    SetInputBitSource();
}

void sMpegStream::SetBitSource(const uint8_t* bytes, uint32_t byteCount, uint32_t* position) {
    bitSource = bytes;
    bitSourceSize = byteCount;
    bitPosition = position;
}

void sMpegStream::Refill() {
    uint32_t fillBits = (uint32_t)inputFill * 8;
    if (inputBitPos > fillBits) inputBitPos = fillBits;
    int start = (int)(inputBitPos >> 3);
    int unread = inputFill - start;
    if (unread > inputLowWater) return;

    // Keep the byte that holds the bit position (its bit offset is preserved).
    memmove(input, input + start, (size_t)unread);
    inputFill = unread;
    inputBitPos -= (uint32_t)start * 8;
    inputBase += start;
    // The header's first byte may have been dropped: the offset then goes negative.
    frameStart -= start;

    while (inputFill < INPUT_LOW_WATER && inputFill < inputCapacity) {
        // Tags at the end are not music: reading stops where they begin.
        int room = inputCapacity - inputFill;
        if (dataEnd >= 0 && dataEnd - (inputBase + inputFill) < room)
            room = dataEnd - (inputBase + inputFill);
        int got = room > 0 ? source->Read(input + inputFill, room) : 0;
        if (got > 0) inputFill += got;
        if (got <= 0 || source->Control(SC_END_OF_INPUT, nullptr, 0)) {
            if (dataEnd < 0) {
                TrimTrailingTags();
                dataEnd = inputBase + inputFill;
            }
            break;
        }
    }
    // Bits read past the end of the data are zeros.
    memset(input + inputFill, 0, sizeof(input) - (size_t)inputFill);
}

uint32_t sMpegStream::GetBits(int n) {
    if (n <= 0) return 0;
    if (n > 25) {
        // Only used to skip: the value of the high part is not needed exactly.
        uint32_t high = GetBits(n - 16);
        return (high << 16) | GetBits(16);
    }
    uint32_t position = *bitPosition;
    uint32_t byte = position >> 3;
    uint32_t word;
    if (byte + 4 <= bitSourceSize) {
        const uint8_t* p = bitSource + byte;
        word = (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
    } else {
        // Near or past the end of the source: missing bytes read as zeros.
        word = 0;
        for (uint32_t i = 0; i < 4; i++) {
            uint32_t b = byte + i;
            word = word << 8 | (b < bitSourceSize ? bitSource[b] : 0);
        }
    }
    *bitPosition = position + (uint32_t)n;
    return (word << (position & 7)) >> (32 - n);
}

int sMpegStream::GetBit() {
    return (int)GetBits(1);
}

int sMpegStream::SampleRate() const {
    return mpegBaseSampleRate[header.sampleRateIndex] >> header.version;
}

int sMpegStream::FrameLength() const {
    int row = header.layer + (header.version ? 3 : 0);
    int bitrate = mpegBitrateKbps[row][header.bitrateIndex] * 1000;
    int rate = SampleRate();
    if (rate <= 0) return 0;
    if (header.layer == 0) return (12 * bitrate / rate + header.padding) * 4;
    if (header.layer == 2 && header.version) return 72 * bitrate / rate + header.padding;
    return 144 * bitrate / rate + header.padding;
}

void sMpegStream::SkipToFrameEnd() {
    SetInputBitSource();
    int end = frameStart + FrameLength();
    inputBitPos = end > 0 ? (uint32_t)end * 8 : 0;
}

namespace {

bool IsSync(const uint8_t* p) {
    return p[0] == 0xFF && p[1] >= 0xE0;
}

} // namespace

// Parses the 21 header bits that follow the 11-bit sync word.
static void ParseHeader(sMpegStream* s, sMpegHeader* h) {
    h->version = mpegVersionByBits[s->GetBits(2)];
    h->layer = 3 - (int)s->GetBits(2);
    h->crc = s->GetBit() == 0;
    h->bitrateIndex = (int)s->GetBits(4);
    h->sampleRateIndex = (int)s->GetBits(2);
    h->padding = s->GetBit();
    s->GetBit(); // private bit
    h->mode = (int)s->GetBits(2);
    h->modeExtension = (int)s->GetBits(2);
    s->GetBits(4); // copyright, original, emphasis
}

static int ModeClass(int mode) {
    return mode == 1 ? 0 : mode;
}

// Reserved values would index past the tables (and a zero sample rate divides by zero), so a
// header carrying one is a false sync even on the first frame.
static bool Reserved(const sMpegHeader& h) {
    return h.version > 2 || h.layer > 2 || h.sampleRateIndex > 2;
}

// Parses the header whose sync word ends in byte `second` and accepts it or not.
int sMpegStream::TryHeader(int second, int first) {
    inputBitPos = (uint32_t)second * 8 + 3;
    frameStart = second - 1;
    sMpegHeader h;
    ParseHeader(this, &h);
    if (first && !Reserved(h)) {
        lockedVersion = h.version;
        lockedLayer = h.layer;
        lockedSampleRate = h.sampleRateIndex;
        lockedModeClass = ModeClass(h.mode);
    }
    bool accepted = !Reserved(h) && h.version == lockedVersion && h.layer == lockedLayer &&
                    h.sampleRateIndex == lockedSampleRate && h.bitrateIndex != 0 &&
                    h.bitrateIndex != 15 && ModeClass(h.mode) == lockedModeClass;
    if (!accepted) return 0;
    header = h;
    if (h.crc) GetBits(16);
    return 1;
}

int sMpegStream::FindHeader(int first) {
    SetInputBitSource();
    for (;;) {
        inputBitPos = (inputBitPos + 7) & ~7u;
        Refill();
        if (inputFill < 4) break;
        int p = (int)(inputBitPos >> 3);
        int last = inputFill - 1;
        while (p < last && !IsSync(input + p)) p++;
        if (p >= last) {
            // Nothing here; keep the last byte, which may begin a sync word, and read on.
            inputBitPos = (uint32_t)last * 8;
            continue;
        }
        // Make sure the frame is buffered, keeping the sync word's first byte.
        inputBitPos = (uint32_t)p * 8;
        Refill();
        p = (int)(inputBitPos >> 3);
        last = inputFill - 1;
        int firstSecond = p + 1;
        while (p < last && IsSync(input + p)) p++;
        // In a run of 0xFF bytes the header follows the last one. A header's own second
        // byte can be 0xFF too (MPEG-1 Layer I without CRC) with a third byte of 0xE0 or
        // more (448 kbit/s): then the run's first sync word is the header's.
        if (TryHeader(p, first)) return 1;
        if (p != firstSecond && TryHeader(firstSecond, first)) return 1;
        // The search resumes after the rejected header's second byte.
        inputBitPos = (uint32_t)p * 8 + 4;
    }
    header.bitrateIndex = 0;
    return 0;
}
