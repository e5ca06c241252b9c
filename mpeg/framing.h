// Where the music lies in an MPEG audio file. Files carry more than frames: an ID3v2 tag in
// front (text, often cover art), sometimes junk before the first frame, an info frame
// ("Xing", "Info" or "VBRI") that holds the stream's length and the encoder's delay and
// padding instead of audio, and ID3v1 or APEv2 tags at the end. The functions here read
// those shapes from bytes; sMpegStream::ScanStream (framing.cpp) puts them together.
#ifndef PRISMATEL_FRAMING_H
#define PRISMATEL_FRAMING_H

#include <stdint.h>

enum {
    ID3V2_HEADER_BYTES = 10,
    FRAME_HEADER_BYTES = 4,
    // How far after any tag the first frame may start: junk beyond that is not a music file.
    MAX_JUNK_BYTES = 65536,
    // The bytes at the end of a file that hold an ID3v1 tag and an APEv2 footer before it.
    TRAILING_TAG_PROBE_BYTES = 128 + 32,
    // Samples by which a decoder of the standard's structure delays the music: the one
    // every gapless decoder removes besides the encoder's delay.
    DECODER_DELAY_SAMPLES = 529,
};

// The fields of a frame header that decide where the next frame starts and whether it
// belongs to the same stream.
struct sMpegFrameShape {
    int version;   // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
    int layer;     // 0 Layer I, 1 Layer II, 2 Layer III
    int rateIndex; // 0..2
    int modeClass; // the channel mode, joint stereo counted as stereo
    int mode;
    int crc;
    int bitrate; // bits per second
    int length;  // bytes, header included
};

// Reads the four bytes of a frame header; returns 1 when they describe a frame this decoder
// reads (no reserved field, no free format, MPEG-2.5 only with Layer III).
int ParseFrameShape(const uint8_t* header, sMpegFrameShape* shape);
int SameStream(const sMpegFrameShape& a, const sMpegFrameShape& b);

// The whole size of an ID3v2 tag of major version 2, 3 or 4 whose ten-byte header is at
// `header` (header, body and a version 4 footer), or 0 when the bytes are no such header.
int Id3v2TagBytes(const uint8_t* header);

// How many bytes at the end of the data are ID3v1 and APEv2 tags, given its last `count`
// bytes. The answer may exceed `count` when an APEv2 tag starts before them.
int TrailingTagBytes(const uint8_t* tail, int count);

// What an info frame tells about the stream.
struct sMpegInfoFrame {
    int present;        // the first frame is an info frame, not audio
    int frames;         // audio frames after it, 0 when not given
    int encoderDelay;   // samples the encoder put in front of the music
    int encoderPadding; // samples it added after the music
    int gapless;        // 1 when the delay and padding were given (a LAME extension)
};

// Reads an info frame from a Layer III frame whose `length` bytes start at `frame`.
// Returns 1 and fills `info` when it is one.
int ParseInfoFrame(const uint8_t* frame, int length, sMpegInfoFrame* info);

#endif
