// sMpegStream: a readable stream of PCM decoded from MPEG audio (Layers I, II and III of
// MPEG-1, MPEG-2 and MPEG-2.5) read from another stream.
//
// The class is split over several files by concern:
//   mpegstream.cpp  Open, FrameDecode, RawRead/RawPeek/RawSeek, the PCM cache, Control
//   bitstream.cpp   the input buffer, the bit reader, sync search, headers
//   framing.cpp     ScanStream: tags, junk before the first frame, the info frame
//   layer12.cpp     Layer I and Layer II decoding and their tables
//   layer3.cpp      Layer III decoding (state in layer3.h)
//   synth.cpp       the polyphase synthesis filter and the channel configuration
//
// Layer III contract (the members marked "layer3.cpp" below are implemented there):
//   - Layer3BuildTables() runs at every Open, before the first frame: it clears the state
//     and computes the tables the first time only (they are the same every time).
//   - Layer3FirstFrame(bitrate) runs on the first frame after the first header was
//     accepted: with bitrate != 0 it sets slotSize = 1, frameQuotient/frameRemainder =
//     144 * bitrate / sampleRate and prerollFrames; always it builds the reorder tables,
//     clears overlap and reservoir and switches the line gains off.
//   - Layer3DecodeFrame() is called with the current header parsed (header.bitrateIndex 0
//     means no further frame was found: produce the overlap tail). It reads side information
//     from the input buffer with GetBits/GetBit (bitSource == input), then points the bit
//     source at its reservoir (SetBitSource) to read main data, and must leave the bit source
//     pointing at the input buffer with inputBitPos at the end of the frame when it returns.
//     For MPEG-2/2.5 it calls FindHeader(0) itself for the second frame of the output frame.
//     It fills subband[ch][granule * 576 + slot * 32 + sb] for both granules and for the
//     channels the stream has (channel 1 of a single-channel stream is not read).
//   - Layer3RefillReservoir(missing) is RawSeek's reservoir pre-fill.
//   - Layer3SetLineGains(gains576) handles control 4099 (gains == null or all 1.0: off);
//     Layer3LineGainsOff() switches them off (control 4098).
//   - Layer III may use downShift, header, lockedVersion, sampleRate(), FrameLength(),
//     GetBits(), GetBit(), FindHeader() and the input buffer fields directly.
#ifndef PRISMATEL_MPEGSTREAM_H
#define PRISMATEL_MPEGSTREAM_H

#include <stdint.h>

#include "framing.h"
#include "layer3.h"
#include "stream.h"

// The fields of one frame header, as parsed after the sync word.
struct sMpegHeader {
    int layer;           // 0 Layer I, 1 Layer II, 2 Layer III
    int crc;             // 1 when a 16-bit CRC follows the header
    int bitrateIndex;    // 0..15; 0 also marks "no header found"
    int sampleRateIndex; // 0..3
    int padding;
    int mode;          // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    int modeExtension; // 0..3
    int version;       // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5 (3 reserved)
};

// One Layer II quantisation class.
struct sQuantClass {
    int levels;   // 3, 5, 9 for the grouped classes, else 2^bits - 1
    int bits;     // bits per group (grouped) or per sample
    int offset;   // subtracted from the coded value
    int grouped;  // 1 when three samples share one code
    float factor; // 2 / levels
};

class sMpegStream : public sStream {
public:
    enum {
        INPUT_CAPACITY = 16384,
        INPUT_LOW_WATER = 2048,
        INPUT_PAD = 8, // zero bytes behind the buffer so GetBits never reads outside it
        FRAME_SAMPLES = 1152,
        PCM_CACHE_BYTES = FRAME_SAMPLES * 2 * 4,
        SYNTH_ROWS = 17,
        SYNTH_COLUMNS = 16,
        // Rows are stored in groups of SYNTH_LANES, the same column of a group's rows side by
        // side, so that one vector windows SYNTH_LANES outputs.
        SYNTH_LANES = 4,
        SYNTH_GROUPS = (SYNTH_ROWS + SYNTH_LANES - 1) / SYNTH_LANES,
        SYNTH_GROUP_CELLS = SYNTH_LANES * SYNTH_COLUMNS,
    };

    sMpegStream();
    ~sMpegStream() override;

    int Close() override;
    int RawRead(void* buffer, int n) override;
    int RawPeek(void* buffer, int n) override;
    int RawSeek(int position) override;
    int Control(int code, void* pointer, int value) override;

    // Opens the decoder on a readable source; returns 0 or -1.
    int Open(sStream* source, int* sampleRateOut, int* stereoOut, int bits16, int downShift,
             int outChannels);

    // Decodes one output frame into destination (or nowhere); returns 1, or 0 when none.
    int FrameDecode(uint8_t* destination);
    int FillCache();
    void SetFrameConstants();

    // ---- bitstream (bitstream.cpp) ----
    void ResetInput();
    void Refill();
    int FindHeader(int firstFrame);
    int TryHeader(int secondByte, int firstFrame);
    uint32_t GetBits(int n);
    int GetBit();
    void SkipBits(int n) { *bitPosition += n; }
    void SetBitSource(const uint8_t* bytes, uint32_t size, uint32_t* position);
    void SetInputBitSource() { SetBitSource(input, INPUT_CAPACITY, &inputBitPos); }
    int FrameLength() const;
    int SampleRate() const; // of the stream, in Hz
    // Moves the input bit position to the end of the current frame (frameStart +
    // FrameLength()), skipping ancillary data; every layer decoder ends a frame with it.
    void SkipToFrameEnd();

    // ---- the file around the frames (framing.cpp) ----
    int ScanStream(int* bitrate);
    int SourceOffset(int inputOffset) const;
    void SkipInput(int n);
    void SkipLeadingTags();
    int FirstFrameAt(int inputOffset);
    int FindFirstFrame(int limit);
    int DataEndOfSource();
    void TrimTrailingTags();
    int MeanBitrate(const sMpegFrameShape& first);
    int SamplesPerFrame() const; // of one frame of the stream, at its own rate
    // The span of the decoded samples that holds the encoded music, in sample frames at the
    // output rate counted from the first sample read: from *first to *end (-1: the end of
    // the stream). Without an info frame that is everything the decoder puts out.
    void MusicSpan(int64_t* first, int64_t* end) const;

    // ---- Layer I and II (layer12.cpp) ----
    void Layer12BuildTables();
    void Layer12FirstFrame(int bitrate);
    void DecodeLayer1();
    void DecodeLayer2();

    // ---- Layer III (layer3.cpp) ----
    void Layer3BuildTables();
    void Layer3FirstFrame(int bitrate);
    void Layer3DecodeFrame();
    void Layer3RefillReservoir(int missing);
    void Layer3SetLineGains(const float* gains);
    void Layer3LineGainsOff();

    // ---- synthesis (synth.cpp) ----
    void SynthBuildTables();
    void SynthConfigure();
    void SynthReset();
    void Synthesize(uint8_t* destination);
    void SetSubbandGains(const float* gains);

    // ---- input side ----
    sStream* source;
    const uint8_t* bitSource; // where GetBits reads: the input buffer or the reservoir
    uint32_t bitSourceSize;   // bytes readable at bitSource (zeros beyond)
    uint32_t* bitPosition;    // bit position in bitSource
    uint8_t input[INPUT_CAPACITY + INPUT_PAD];
    int inputCapacity;
    int inputLowWater;
    int inputFill;
    uint32_t inputBitPos;
    int inputBase;  // source offset of input[0]
    int frameStart; // offset in input of the current header's first byte (-1: moved out)
    sMpegHeader header;
    int firstFrame;
    int tablesBuilt; // the constant tables of all layers and the synthesis, on the first Open
    int lockedVersion, lockedLayer, lockedSampleRate, lockedModeClass;
    int notSeekable;
    int dataStart; // source offset of the first audio frame (past tags, junk, an info frame)
    int dataEnd;   // source offset where tags at the end begin; -1 until known
    sMpegInfoFrame info;

    // ---- frame size constants and length ----
    int scanBitrate;                   // bits per second, from ScanStream (0 when unknown)
    int slotSize;                      // bytes per slot
    int frameQuotient, frameRemainder; // slots per output frame, and the remainder
    int prerollFrames;
    int frameCount; // estimated output frames, 0 when the source cannot seek

    // ---- PCM cache and front ----
    uint8_t cache[PCM_CACHE_BYTES];
    int pcmFrameBytes;
    int currentFrame; // 1-based number of the frame in the cache
    int cacheOffset;  // read offset into the cache; pcmFrameBytes when used up
    int cacheFrame;   // the frame the cache holds, 0 for none
    int endFlag;

    // ---- output options ----
    int bytesPerSample;
    int downShift;
    int requestedChannels;
    float volume;
    float matrix[9];
    int matrixOn;
    float subbandGains[32];
    int subbandGainsOn;

    // ---- decoded frame: channel * 1152 + slot * 32 + subband ----
    float subband[2][FRAME_SAMPLES];

    // ---- Layer I and II ----
    float scaleFactors[64];
    float layer1Factors[16];
    sQuantClass quantClasses[17];
    int allocation[2][32];
    int scaleSelect[2][32];
    float partFactor[2][3][32];

    // ---- Layer III ----
    sLayer3State layer3;

    // ---- synthesis ----
    int streamChannels;
    int outputChannels;
    int downmix, duplicate, synthChannels;
    int ring;
    float synthBuffer[2][2][SYNTH_GROUPS * SYNTH_GROUP_CELLS];
    float window[1024];
    float windowHalf[512];
    float windowQuarter[256];
    // The same taps per group of output rows and ring phase, signs applied, laid out like the
    // rows: [group][phase][direct, mirror][column][lane]
    float windowTaps[5 * 8 * 2 * 64];
    float windowTapsHalf[3 * 8 * 2 * 64];
    float windowTapsQuarter[2 * 8 * 2 * 64];
    float dctFactors[32];
};

#endif
