// The scan of a file's start and end for sMpegStream: tags, junk, the info frame, and the
// bitrate of the first frames. Every shape the decoder accepts around its frames is read
// here, so that a file is found to be music, or refused, in one place.
#include "framing.h"

#include <string.h>

#include "mpegstream.h"
#include "tables.h"

// ---- byte shapes ----

namespace {

uint32_t BigEndian(const uint8_t* b, int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; i++) v = v << 8 | b[i];
    return v;
}

uint32_t LittleEndian32(const uint8_t* b) {
    return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
}

int FrameLengthOf(int layer, int version, int bitrate, int rate, int padding) {
    if (layer == 0) return (12 * bitrate / rate + padding) * 4;
    if (layer == 2 && version) return 72 * bitrate / rate + padding;
    return 144 * bitrate / rate + padding;
}

// Bytes of side information between the header (and its CRC) and a Layer III frame's main
// data: where an encoder writes the info frame's tag instead.
int SideInfoBytes(int version, int mono) {
    if (version == 0) return mono ? 17 : 32;
    return mono ? 9 : 17;
}

} // namespace

int ParseFrameShape(const uint8_t* b, sMpegFrameShape* s) {
    if (b[0] != 0xFF || b[1] < 0xE0) return 0;
    int version = mpegVersionByBits[(b[1] >> 3) & 3];
    int layer = 3 - ((b[1] >> 1) & 3);
    int rateIndex = (b[2] >> 2) & 3;
    if (version == 3 || layer == 3 || rateIndex == 3 || (version == 2 && layer != 2)) return 0;
    int kbps = mpegBitrateKbps[layer + (version ? 3 : 0)][b[2] >> 4];
    if (kbps == 0) return 0; // free format, or index 15
    int rate = mpegBaseSampleRate[rateIndex] >> version;
    s->version = version;
    s->layer = layer;
    s->rateIndex = rateIndex;
    s->mode = b[3] >> 6;
    s->modeClass = s->mode == 1 ? 0 : s->mode;
    s->crc = (b[1] & 1) == 0;
    s->bitrate = kbps * 1000;
    s->length = FrameLengthOf(layer, version, s->bitrate, rate, (b[2] >> 1) & 1);
    return 1;
}

int SameStream(const sMpegFrameShape& a, const sMpegFrameShape& b) {
    return a.version == b.version && a.layer == b.layer && a.rateIndex == b.rateIndex &&
           a.modeClass == b.modeClass;
}

int Id3v2TagBytes(const uint8_t* h) {
    if (memcmp(h, "ID3", 3) != 0 || h[3] < 2 || h[3] > 4 || h[4] == 0xFF) return 0;
    // The size is synchsafe: seven bits a byte, so that it never reads as a frame sync.
    for (int i = 6; i < 10; i++)
        if (h[i] & 0x80) return 0;
    int body = h[6] << 21 | h[7] << 14 | h[8] << 7 | h[9];
    int footer = h[3] == 4 && (h[5] & 0x10) ? ID3V2_HEADER_BYTES : 0;
    return ID3V2_HEADER_BYTES + body + footer;
}

int TrailingTagBytes(const uint8_t* tail, int count) {
    int strip = 0;
    if (count >= 128 && memcmp(tail + count - 128, "TAG", 3) == 0) strip = 128;
    // An APEv2 tag ends in a 32-byte footer whose size counts the items and the footer; a
    // header of another 32 bytes may stand in front.
    const uint8_t* footer = tail + count - strip - 32;
    if (count - strip >= 32 && memcmp(footer, "APETAGEX", 8) == 0) {
        uint32_t size = LittleEndian32(footer + 12);
        uint32_t flags = LittleEndian32(footer + 20);
        uint32_t total = size + (flags & 0x80000000u ? 32 : 0);
        if (size >= 32 && total < 0x40000000u) strip += (int)total;
    }
    return strip;
}

namespace {

// "Xing" or "Info" with its optional fields, then perhaps an encoder's extension holding
// the delay and padding (LAME's layout, which other encoders copy).
int ParseXing(const uint8_t* tag, const uint8_t* end, sMpegInfoFrame* info) {
    const uint8_t* p = tag + 8;
    if (p > end) return 0;
    uint32_t flags = BigEndian(tag + 4, 4);
    const int fieldBytes[4] = {4, 4, 100, 4}; // frames, bytes, seek table, quality
    for (int field = 0; field < 4; field++) {
        if (!(flags & (1u << field))) continue;
        if (p + fieldBytes[field] > end) return 0;
        if (field == 0) {
            uint32_t frames = BigEndian(p, 4);
            info->frames = frames < 0x1000000u ? (int)frames : 0; // more is a damaged count
        }
        p += fieldBytes[field];
    }
    // A zero byte where the extension's encoder name would begin means there is none.
    const int delayAt = 21;
    if (p + delayAt + 3 <= end && p[0] != 0) {
        const uint8_t* d = p + delayAt;
        info->encoderDelay = d[0] << 4 | d[1] >> 4;
        info->encoderPadding = (d[1] & 15) << 8 | d[2];
        info->gapless = 1;
    }
    return 1;
}

// Fraunhofer's layout: always 32 bytes after the header.
int ParseVbri(const uint8_t* tag, const uint8_t* end, sMpegInfoFrame* info) {
    if (tag + 18 > end || BigEndian(tag + 4, 2) != 1) return 0;
    uint32_t frames = BigEndian(tag + 14, 4);
    info->frames = frames < 0x1000000u ? (int)frames : 0;
    return 1;
}

} // namespace

int ParseInfoFrame(const uint8_t* frame, int length, sMpegInfoFrame* info) {
    memset(info, 0, sizeof *info);
    sMpegFrameShape s;
    if (length < FRAME_HEADER_BYTES || !ParseFrameShape(frame, &s) || s.layer != 2) return 0;
    const uint8_t* end = frame + (length < s.length ? length : s.length);
    int side = FRAME_HEADER_BYTES + SideInfoBytes(s.version, s.mode == 3);
    // Encoders differ on whether a CRC moves the tag: look in both places.
    for (int crcBytes = s.crc ? 2 : 0; crcBytes >= 0; crcBytes -= 2) {
        const uint8_t* tag = frame + side + crcBytes;
        if (tag + 4 > end) continue;
        if ((!memcmp(tag, "Xing", 4) || !memcmp(tag, "Info", 4)) && ParseXing(tag, end, info))
            return info->present = 1;
    }
    const uint8_t* vbri = frame + FRAME_HEADER_BYTES + 32;
    if (vbri + 4 <= end && !memcmp(vbri, "VBRI", 4) && ParseVbri(vbri, end, info))
        return info->present = 1;
    memset(info, 0, sizeof *info);
    return 0;
}

// ---- the scan of a source ----

// Bytes of the source before `offset` in the input buffer.
int sMpegStream::SourceOffset(int offset) const {
    return inputBase + offset;
}

// Skips n bytes of input, reading through whatever does not lie in the buffer (a tag with
// cover art can be megabytes long).
void sMpegStream::SkipInput(int n) {
    while (n > 0) {
        Refill();
        int at = (int)(inputBitPos >> 3);
        int step = inputFill - at < n ? inputFill - at : n;
        if (step <= 0) return; // the data ended inside
        inputBitPos += (uint32_t)step * 8;
        n -= step;
    }
}

// Tags in front, by their size fields: cover art is full of byte pairs that look like
// frame syncs, so a search for the first sync would stop inside it.
void sMpegStream::SkipLeadingTags() {
    for (int tags = 0; tags < 8; tags++) {
        Refill();
        int at = (int)(inputBitPos >> 3);
        if (inputFill - at < ID3V2_HEADER_BYTES) return;
        int size = Id3v2TagBytes(input + at);
        if (!size) return;
        SkipInput(size);
    }
}

// A header at `at` starts the stream when a header of the same stream follows at its
// length, or when its frame ends exactly where the data does (a stream of one frame).
int sMpegStream::FirstFrameAt(int at) {
    sMpegFrameShape first, next;
    if (inputFill - at < FRAME_HEADER_BYTES || !ParseFrameShape(input + at, &first)) return 0;
    int following = at + first.length;
    if (following + FRAME_HEADER_BYTES <= inputFill)
        return ParseFrameShape(input + following, &next) && SameStream(first, next);
    // Refill keeps INPUT_LOW_WATER bytes ahead while the source lasts: less means its end.
    return following == inputFill && inputFill - at < INPUT_LOW_WATER;
}

// Finds the first frame before `limit` (a source offset); leaves it at the bit position.
int sMpegStream::FindFirstFrame(int limit) {
    for (;;) {
        Refill();
        int p = (int)(inputBitPos >> 3), last = inputFill - 1;
        if (inputFill - p < FRAME_HEADER_BYTES) return 0;
        while (p < last && !(input[p] == 0xFF && input[p + 1] >= 0xE0)) p++;
        if (SourceOffset(p) >= limit) return 0;
        inputBitPos = (uint32_t)p * 8;
        if (p >= last) continue; // keep the last byte, which may begin a sync, and read on
        Refill();                // the candidate and the header after it in the buffer
        p = (int)(inputBitPos >> 3);
        if (FirstFrameAt(p)) return 1;
        inputBitPos += 8;
    }
}

// The data's end before any tags there, for a source that can seek.
int sMpegStream::DataEndOfSource() {
    int size = source->Control(SC_SIZE, nullptr, 0);
    int count = size < TRAILING_TAG_PROBE_BYTES ? size : TRAILING_TAG_PROBE_BYTES;
    uint8_t tail[TRAILING_TAG_PROBE_BYTES];
    source->Seek(size - count);
    count = source->Read(tail, count);
    int end = size - TrailingTagBytes(tail, count > 0 ? count : 0);
    return end > 0 ? end : 0;
}

// A source that cannot seek shows its end only when it is reached: the tags there are cut
// from what the buffer still holds.
void sMpegStream::TrimTrailingTags() {
    int at = (int)(inputBitPos >> 3);
    int unread = inputFill - at;
    if (unread <= 0) return;
    int strip = TrailingTagBytes(input + at, unread);
    inputFill -= strip < unread ? strip : unread;
}

// The mean bitrate of the first eight Layer III frames from dataStart, read from the
// source directly (the other layers, and streams that cannot seek, use the first frame's).
int sMpegStream::MeanBitrate(const sMpegFrameShape& first) {
    if (notSeekable || first.layer != 2) return first.bitrate;
    int sum = 0, frames = 0;
    source->Seek(dataStart);
    while (frames < 8) {
        uint8_t b[FRAME_HEADER_BYTES] = {0, 0, 0, 0};
        sMpegFrameShape s;
        if (source->Peek(b, FRAME_HEADER_BYTES) < FRAME_HEADER_BYTES || !ParseFrameShape(b, &s))
            break; // a short or damaged stream: the mean of the frames seen
        sum += s.bitrate;
        frames++;
        source->Skip(s.length);
    }
    return frames ? sum / frames : first.bitrate;
}

int sMpegStream::ScanStream(int* bitrate) {
    memset(&info, 0, sizeof info);
    dataEnd = -1;
    if (!notSeekable) {
        dataEnd = DataEndOfSource();
        source->Seek(0);
    }
    ResetInput();
    SkipLeadingTags();
    int junkLimit = SourceOffset((int)(inputBitPos >> 3)) + MAX_JUNK_BYTES;
    if (!FindFirstFrame(junkLimit)) return 0;
    int at = (int)(inputBitPos >> 3);
    sMpegFrameShape first;
    ParseFrameShape(input + at, &first);
    // An info frame is not music: decoding starts after it, and seeking counts from there.
    if (ParseInfoFrame(input + at, inputFill - at, &info)) at += first.length;
    dataStart = SourceOffset(at);
    if (at + FRAME_HEADER_BYTES <= inputFill) ParseFrameShape(input + at, &first);
    *bitrate = MeanBitrate(first);
    if (notSeekable) {
        // The bytes cannot be read again: the frame search goes on in the buffer.
        inputBitPos = (uint32_t)at * 8;
    } else {
        source->Seek(dataStart);
        ResetInput();
    }
    return 1;
}

int sMpegStream::SamplesPerFrame() const {
    if (header.layer == 0) return 384;
    if (header.layer == 2 && header.version) return 576;
    return FRAME_SAMPLES;
}

void sMpegStream::MusicSpan(int64_t* first, int64_t* end) const {
    *first = 0;
    *end = -1;
    int64_t decoderDelay = info.gapless ? DECODER_DELAY_SAMPLES : 0;
    if (info.gapless) *first = (info.encoderDelay + decoderDelay) >> downShift;
    if (info.frames > 0) {
        int64_t length = (int64_t)info.frames * SamplesPerFrame();
        int64_t tail = info.gapless ? info.encoderPadding - decoderDelay : 0;
        *end = (tail < length ? length - tail : length) >> downShift;
    }
}
