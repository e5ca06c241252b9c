// Comparing the sound one run played with what another recorded. Each time the music
// starts (or starts again) its opening appears in both streams; the streams are aligned at
// those openings and compared sample for sample from each to the next, so that different
// start-up times, silences and a player that runs ahead of the clock do not count.
#ifndef TOOLS_SOUNDMATCH_H
#define TOOLS_SOUNDMATCH_H

#include <stdint.h>

#include <string>
#include <vector>

namespace soundmatch {

struct Pcm {
    int channels = 2;
    int rate = 44100;
    std::vector<int16_t> samples; // interleaved
};

// A RIFF/WAVE file of 16-bit PCM; anything else is refused with a reason.
bool ParseWav(const std::vector<uint8_t>& file, Pcm& out, std::string& error);
// Headerless 16-bit little-endian samples.
Pcm FromRaw(const std::vector<uint8_t>& file, int channels, int rate);

struct Segment {
    size_t referenceAt = 0;     // sample index of this start in the reference
    size_t playedAt = 0;        // and in the played stream
    size_t compared = 0;        // samples compared (the shorter of the two runs, silence cut off)
    size_t differing = 0;       // of those, how many differ
    size_t firstDifference = 0; // offset of the first difference from the start
};

struct Result {
    std::vector<Segment> segments;
    size_t referenceStarts = 0;
    size_t playedStarts = 0;
};

// The opening is the first `openingSamples` samples from the reference's first non-zero
// one. Every place it occurs in either stream is a start; a start is looked for again only
// after the previous one's opening.
Result Compare(const Pcm& reference, const Pcm& played, size_t openingSamples);

} // namespace soundmatch

#endif
