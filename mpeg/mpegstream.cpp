// The front of sMpegStream: Open, FrameDecode, the PCM cache behind RawRead and RawPeek,
// seeking with pre-roll, and the decoder's controls.
#include <math.h>
#include <string.h>

#include "mpegstream.h"
#include "tables.h"

enum {
    MC_VOLUME = 4096,
    MC_MATRIX = 4097,
    MC_SUBBAND_GAINS = 4098,
    MC_LINE_GAINS = 4099,
};

sMpegStream::sMpegStream()
    : source(nullptr), bitSource(nullptr), bitSourceSize(0), bitPosition(nullptr),
      inputCapacity(INPUT_CAPACITY), inputLowWater(INPUT_LOW_WATER), inputFill(0), inputBitPos(0),
      inputBase(0), frameStart(0), header(), firstFrame(0), tablesBuilt(0), lockedVersion(0),
      lockedLayer(0), lockedSampleRate(0), lockedModeClass(0), notSeekable(0), dataStart(0),
      dataEnd(-1), info(), scanBitrate(0), slotSize(1), frameQuotient(0), frameRemainder(0),
      prerollFrames(1), frameCount(0), pcmFrameBytes(0), currentFrame(0), cacheOffset(0),
      cacheFrame(0), endFlag(0), bytesPerSample(2), downShift(0), requestedChannels(0),
      volume(1.0f), matrix(), matrixOn(0), subbandGains(), subbandGainsOn(0), streamChannels(2),
      outputChannels(2), downmix(0), duplicate(0), synthChannels(2), ring(0) {
    SetInputBitSource();
}

sMpegStream::~sMpegStream() {}

int sMpegStream::Close() {
    CloseFlush();
    return 0;
}

static void ClearDecoderState(sMpegStream* s) {
    memset(s->subband, 0, sizeof(s->subband));
    memset(s->cache, 0, sizeof(s->cache));
    memset(s->allocation, 0, sizeof(s->allocation));
    memset(s->scaleSelect, 0, sizeof(s->scaleSelect));
    memset(s->partFactor, 0, sizeof(s->partFactor));
    memset(&s->header, 0, sizeof(s->header));
}

int sMpegStream::Open(sStream* from, int* sampleRateOut, int* stereoOut, int bits16, int shift,
                      int outChannels) {
    if (GetFlags() & SF_OPEN) Shutdown();
    if (!from) return -1;
    ClearDecoderState(this);
    // The tables depend on nothing the stream says: an object builds them once.
    if (!tablesBuilt) {
        Layer12BuildTables();
        SynthBuildTables();
    }
    Layer3BuildTables();
    tablesBuilt = 1;

    source = from;
    notSeekable = (from->GetFlags() & SF_SEEK) == 0;
    dataStart = 0;
    dataEnd = -1;
    ResetInput();

    requestedChannels = outChannels;
    downShift = shift < 0 ? 0 : shift > 2 ? 2 : shift;
    bytesPerSample = bits16 ? 2 : 4;
    slotSize = 1;
    frameQuotient = frameRemainder = 0;
    prerollFrames = 1;
    frameCount = 0;
    cacheFrame = 0;

    firstFrame = 1;
    int decoded = FrameDecode(cache);
    firstFrame = 0;
    if (!decoded) return -1;
    cacheFrame = 1;

    if (sampleRateOut) *sampleRateOut = SampleRate() >> downShift;
    if (stereoOut) *stereoOut = outputChannels == 2;
    Begin(SF_READ | (notSeekable ? 0 : SF_SEEK), 0, frameCount * pcmFrameBytes);
    return 0;
}

// The frame-size constants from the scan's bitrate, then the length estimate.
void sMpegStream::SetFrameConstants() {
    if (header.layer == 2)
        Layer3FirstFrame(scanBitrate);
    else
        Layer12FirstFrame(scanBitrate);
    frameCount = 0;
    if (scanBitrate == 0 || frameQuotient <= 0) return;
    double rate = SampleRate();
    double bytes = dataEnd - dataStart;
    double frames =
        (bytes + slotSize) * rate / ((frameQuotient * rate + frameRemainder) * slotSize);
    double count = floor(frames + 0.5);
    // An info frame counts the frames: exact where the bitrate's estimate is not (VBR).
    if (info.frames > 0) count = ceil((double)info.frames * SamplesPerFrame() / FRAME_SAMPLES);
    // The size is a 32-bit byte count of PCM.
    double limit = (double)0x7FFFFFFF / (bytesPerSample * FRAME_SAMPLES * 2 >> downShift);
    frameCount = count < 0 ? 0 : count > limit ? (int)limit : (int)count;
}

int sMpegStream::FrameDecode(uint8_t* destination) {
    if (firstFrame) {
        int bitrate = 0;
        if (!ScanStream(&bitrate)) return 0;
        scanBitrate = notSeekable ? 0 : bitrate;
        endFlag = 0;
    }
    if (endFlag) return 0;
    if (!FindHeader(firstFrame)) {
        if (firstFrame) return 0;
        endFlag = 1;
    }
    if (firstFrame) SetFrameConstants();

    switch (header.layer) {
    case 0: DecodeLayer1(); break;
    case 1: DecodeLayer2(); break;
    default: Layer3DecodeFrame(); break;
    }

    if (firstFrame) {
        streamChannels = header.mode == 3 ? 1 : 2;
        SynthConfigure();
        pcmFrameBytes = (bytesPerSample * FRAME_SAMPLES * outputChannels) >> downShift;
        currentFrame = 1;
        cacheOffset = 0;
    }
    Synthesize(destination);
    return 1;
}

// Decodes the next frame into the cache; returns 0 at the end.
int sMpegStream::FillCache() {
    if (!FrameDecode(cache)) return 0;
    currentFrame++;
    cacheFrame = currentFrame;
    cacheOffset = 0;
    return 1;
}

int sMpegStream::RawRead(void* buffer, int n) {
    uint8_t* out = (uint8_t*)buffer;
    int delivered = 0;
    while (delivered < n) {
        if (cacheOffset >= pcmFrameBytes) {
            if (n - delivered >= pcmFrameBytes) {
                // A whole frame fits: decode it straight into the caller's memory.
                if (!FrameDecode(out + delivered)) break;
                currentFrame++;
                delivered += pcmFrameBytes;
                continue;
            }
            if (!FillCache()) break;
        }
        int count = pcmFrameBytes - cacheOffset;
        if (count > n - delivered) count = n - delivered;
        memcpy(out + delivered, cache + cacheOffset, (size_t)count);
        cacheOffset += count;
        delivered += count;
    }
    return delivered;
}

int sMpegStream::RawPeek(void* buffer, int n) {
    if (n <= 0) return 0;
    if (cacheOffset >= pcmFrameBytes && !FillCache()) return 0;
    int count = pcmFrameBytes - cacheOffset;
    if (count > n) count = n;
    memcpy(buffer, cache + cacheOffset, (size_t)count);
    return count;
}

int sMpegStream::RawSeek(int target) {
    if (notSeekable || pcmFrameBytes <= 0) return 0;
    int64_t total = (int64_t)frameCount * pcmFrameBytes;
    int64_t position = target < 0 ? 0 : target > total ? total : target;
    int frame = (int)(position / pcmFrameBytes);
    int offset = (int)(position % pcmFrameBytes);
    if (cacheFrame == frame + 1 && cacheFrame == currentFrame) {
        cacheOffset = offset;
        return (int)position;
    }
    currentFrame = frame;
    int start = frame - prerollFrames;
    int missing = start < 0 ? -start : 0;
    int64_t k = start < 0 ? 0 : start;
    int64_t rate = SampleRate();
    int64_t byte = (k * frameQuotient + k * frameRemainder / rate) * slotSize;
    // The offset is exact only for streams padded as the bitrate asks; starting half a
    // frame early finds the intended frame's header also when padding was left out.
    int framesPerOutput = header.layer == 0 ? 3 : (header.layer == 2 && header.version) ? 2 : 1;
    int64_t back = (int64_t)frameQuotient * slotSize / (2 * framesPerOutput);
    byte = byte > back ? byte - back : 0;
    source->Seek((int)(byte + dataStart));
    ResetInput();
    // Cleared also when no frame precedes the target: the filters must not carry the
    // frames decoded before the seek into the first frame of the stream.
    SynthReset();
    // The ring turns by 36 slots a frame; starting it where a straight decode would stand
    // keeps the windowing's summation order, so the samples come out bit-identical.
    int firstSynthesized = missing != prerollFrames ? frame - 1 : frame;
    ring = (-4 * firstSynthesized) & 15;
    endFlag = 0;
    if (header.layer == 2) Layer3RefillReservoir(missing);
    if (missing != prerollFrames) FrameDecode(nullptr);
    cacheFrame = 0;
    cacheOffset = pcmFrameBytes;
    if (offset != 0 && FillCache()) cacheOffset = offset;
    // Where the next read starts: the cache's frame and offset (a used-up cache is the end
    // of frame currentFrame).
    return (currentFrame - 1) * pcmFrameBytes + cacheOffset;
}

static bool IsIdentityMatrix(const float* m) {
    static const float identity[9] = {1, 0, 1, 0, 1, 1, 0.5f, 0.5f, 1};
    for (int i = 0; i < 9; i++)
        if (m[i] != identity[i]) return false;
    return true;
}

// Line gains reduced to 32 subband gains, each the mean of 18 lines.
static void SubbandGainsFromLines(const float* lines, float* gains) {
    for (int sb = 0; sb < 32; sb++) {
        float sum = 0.0f;
        for (int i = 0; i < 18; i++) sum += lines[sb * 18 + i];
        gains[sb] = sum / 18.0f;
    }
}

int sMpegStream::Control(int code, void* pointer, int value) {
    switch (code) {
    case SC_AT_END: return cacheOffset >= pcmFrameBytes && endFlag ? 1 : 0;
    case MC_VOLUME: volume = pointer ? *(const float*)pointer : 1.0f; return 0;
    case MC_MATRIX:
        matrixOn = 0;
        if (pointer && !IsIdentityMatrix((const float*)pointer)) {
            memcpy(matrix, pointer, sizeof(matrix));
            matrixOn = 1;
        }
        return 0;
    case MC_SUBBAND_GAINS:
        if (header.layer == 2) Layer3LineGainsOff();
        SetSubbandGains((const float*)pointer);
        return 0;
    case MC_LINE_GAINS:
        if (header.layer == 2) {
            Layer3SetLineGains((const float*)pointer);
        } else if (pointer) {
            float gains[32];
            SubbandGainsFromLines((const float*)pointer, gains);
            SetSubbandGains(gains);
        } else {
            SetSubbandGains(nullptr);
        }
        return 0;
    default: return sStream::Control(code, pointer, value);
    }
}
