// Fuzz target: sMpegStream over arbitrary bytes. The first byte picks the output options
// (16-bit or float, rate, channels, seekable source, read size, a seek); the rest is the
// stream. Every path must end without touching memory outside the decoder's buffers.
#include <stdint.h>
#include <string.h>

#include "mpegstream.h"

namespace {

class BytesStream : public sStream {
public:
    void Reset(const uint8_t* bytes, size_t count, bool seekable) {
        Shutdown();
        data = bytes;
        size = count;
        offset = 0;
        Begin(SF_READ | (seekable ? SF_SEEK : 0), 0, (int)count);
    }
    int RawRead(void* buffer, int n) override {
        int got = RawPeek(buffer, n);
        offset += (size_t)got;
        return got;
    }
    int RawPeek(void* buffer, int n) override {
        size_t left = offset < size ? size - offset : 0;
        size_t count = (size_t)n < left ? (size_t)n : left;
        if (count) memcpy(buffer, data + offset, count);
        return (int)count;
    }
    int RawSeek(int position) override {
        offset = (size_t)position;
        return position;
    }
    int Control(int code, void* pointer, int value) override {
        if (code == SC_AT_END && !(GetFlags() & SF_SEEK)) return offset >= size;
        return sStream::Control(code, pointer, value);
    }

private:
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t offset = 0;
};

BytesStream source;
sMpegStream decoder;
uint8_t output[3 * 9216 + 17];

// What one input may decode: two output frames (of at most 1152 float stereo samples) per
// 48 input bytes, about the smallest frame that carries data, and never more than 8
// frames. Every path of the decoder is reached within a few frames; decoding on past that
// only repeats them and costs executions.
enum { OUTPUT_FRAME_BYTES = 1152 * 2 * 4, BYTES_PER_FRAME = 48, MAX_OUTPUT_FRAMES = 8 };

int OutputLimit(size_t inputBytes) {
    size_t frames = 2 * (inputBytes / BYTES_PER_FRAME + 1);
    if (frames > MAX_OUTPUT_FRAMES) frames = MAX_OUTPUT_FRAMES;
    return int(frames) * OUTPUT_FRAME_BYTES;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    uint8_t options = data[0];
    static const int channelChoices[4] = {0, 1, 2, -2};
    int bits16 = options & 1;
    int shift = (options >> 1) & 3; // 3 is clamped to 2
    int channels = channelChoices[(options >> 3) & 3];
    bool seekable = (options & 0x20) == 0;
    static const int readSizes[4] = {4608, 1000, 9216 * 3, 7};
    int readSize = readSizes[(options >> 6) & 3];

    source.Reset(data + 1, size - 1, seekable);
    int rate = 0, stereo = 0;
    if (decoder.Open(&source, &rate, &stereo, bits16, shift, channels) == 0) {
        if (options & 0x10) {
            float gains[576];
            for (int i = 0; i < 576; i++) gains[i] = 0.5f + (float)(i % 7) * 0.1f;
            decoder.Control(4099, gains, 0);
            float volume = 0.7f;
            decoder.Control(4096, &volume, 0);
        }
        int total = 0, limit = OutputLimit(size);
        for (int reads = 0; reads < 4000 && total < limit; reads++) {
            int got = decoder.Read(output, readSize);
            if (got <= 0) break;
            total += got;
            if (reads == 3 && seekable) decoder.Seek(total / 3);
        }
        decoder.Control(49, nullptr, 0);
    }
    decoder.Shutdown();
    return 0;
}
