// Helpers for the decoder tests: a stream over memory, frame and bit builders, external
// encoders and the reference decoder, and the signal-to-noise measure.
#ifndef PRISMATEL_TESTS_MPEG_TEST_UTIL_H
#define PRISMATEL_TESTS_MPEG_TEST_UTIL_H

#include <stdint.h>

#include <string>
#include <vector>

#include "mpegstream.h"
#include "stream.h"

namespace mpegtest {

// A readable stream over bytes in memory, seekable or not.
class MemoryStream : public sStream {
public:
    MemoryStream(std::vector<uint8_t> bytes, bool seekable);
    int RawRead(void* buffer, int n) override;
    int RawPeek(void* buffer, int n) override;
    int RawSeek(int position) override;
    int Control(int code, void* pointer, int value) override;

    std::vector<uint8_t> data;
    size_t offset = 0;
};

struct HeaderFields {
    int version = 0; // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
    int layer = 1;   // 0 Layer I, 1 Layer II, 2 Layer III
    int bitrateIndex = 9;
    int sampleRateIndex = 0;
    int padding = 0;
    int mode = 0;
    int modeExtension = 0;
    int crc = 0;
};

// The four header bytes (sync included).
std::vector<uint8_t> HeaderBytes(const HeaderFields& h);
// Frame length in bytes computed from the standards' formulas (independently of the decoder).
int ExpectedFrameLength(const HeaderFields& h);
// The same for the frame whose four header bytes start at `header`; 0 for a free-format or
// reserved header.
int FrameLengthAt(const uint8_t* header);
// A whole frame: header, then zero bytes (a frame with no allocation decodes as silence).
std::vector<uint8_t> SilentFrame(const HeaderFields& h);

// What files carry around their frames. Tag contents hold real sync-like byte pairs (FF FB
// 90 44, a whole frame header; FF E0, the start of JPEG data), so that a decoder searching
// for a sync inside them stops there.
std::vector<uint8_t> CoverArt(size_t bytes, uint32_t seed);
// One frame of an ID3v2 tag of major version 2 (three-letter ids), 3 or 4.
std::vector<uint8_t> Id3v2Frame(int major, const std::string& id,
                                const std::vector<uint8_t>& payload);
// A whole ID3v2 tag around the frames; a footer only for version 4.
std::vector<uint8_t> Id3v2Tag(int major, const std::vector<uint8_t>& frames, bool footer = false);
std::vector<uint8_t> Id3v1Tag();
std::vector<uint8_t> ApeTag(bool withHeader);

// Writes bits most significant first.
class BitWriter {
public:
    void Put(uint32_t value, int bits);
    void PadTo(size_t bytes);
    std::vector<uint8_t> bytes;
    int bitCount = 0;
};

// Decodes everything the stream yields through Read, 16-bit or float as opened.
struct Decoded {
    int status = -1;
    int rate = 0, stereo = 0;
    std::vector<uint8_t> bytes;
};
Decoded DecodeAll(sStream* source, int bits16, int shift, int channels, int chunk = 4608);
std::vector<int16_t> AsPcm16(const std::vector<uint8_t>& bytes);

// External programs.
bool HaveProgram(const char* name);
int Run(const std::string& command);
std::string TempDir(); // a fresh directory for one test
std::vector<uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
// A test signal as a 16-bit WAV file: tones and noise, different per channel.
void WriteTestWave(const std::string& path, int rate, int channels, double seconds);
// The 16-bit samples of a WAV file (data chunk), and its channel count.
std::vector<int16_t> ReadWaveSamples(const std::string& path, int* channels);
// mpg123's decode of a file as interleaved 16-bit samples (empty when it fails).
std::vector<int16_t> ReferenceDecode(const std::string& path);

// The conformance streams among `names` (NAME.bit with its reference NAME.pcm) that the
// shared test data holds; none where it is absent.
struct ConformanceStream {
    std::string name;
    std::vector<uint8_t> bits;
    std::vector<int16_t> reference;
};
std::vector<ConformanceStream> ConformanceStreams(const std::vector<std::string>& names);
std::string ConformanceDirectory();

// SNR in dB of ours against the reference after the best alignment of whole sample frames
// within +-maxLag frames, over their overlap (skipping edge frames at both ends).
struct Agreement {
    double snr = 0.0;
    int lag = 0; // ours[i] corresponds to reference[i + lag] (in sample frames)
    int maxDifference = 0;
    size_t compared = 0;
};
Agreement Compare(const std::vector<int16_t>& ours, const std::vector<int16_t>& reference,
                  int channels, int maxLag, int edge = 0);

} // namespace mpegtest

#endif
