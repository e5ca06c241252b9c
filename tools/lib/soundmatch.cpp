#include "soundmatch.h"

#include <string.h>

#include <algorithm>

namespace soundmatch {
namespace {

uint32_t Le32(const uint8_t* p) {
    return p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
uint16_t Le16(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}

std::vector<size_t> FindAll(const std::vector<int16_t>& in, const int16_t* pattern, size_t n) {
    std::vector<size_t> at;
    if (!n || in.size() < n) return at;
    for (size_t i = 0; i + n <= in.size();) {
        if (in[i] == pattern[0] && memcmp(&in[i], pattern, n * sizeof(int16_t)) == 0) {
            at.push_back(i);
            i += n;
        } else {
            i++;
        }
    }
    return at;
}

// The end of the run starting at `from`, before `limit`, with trailing silence cut off.
size_t SoundEnd(const std::vector<int16_t>& in, size_t from, size_t limit) {
    size_t end = std::min(limit, in.size());
    while (end > from && in[end - 1] == 0) end--;
    return end;
}

} // namespace

bool ParseWav(const std::vector<uint8_t>& file, Pcm& out, std::string& error) {
    if (file.size() < 12 || memcmp(&file[0], "RIFF", 4) || memcmp(&file[8], "WAVE", 4))
        return error = "not a RIFF/WAVE file", false;
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= file.size();) {
        uint32_t size = Le32(&file[at + 4]);
        const uint8_t* body = &file[at + 8];
        size_t available = file.size() - at - 8;
        if (!memcmp(&file[at], "fmt ", 4)) {
            if (size < 16 || available < 16) return error = "short fmt chunk", false;
            if (Le16(body) != 1 || Le16(body + 14) != 16) return error = "not 16-bit PCM", false;
            out.channels = Le16(body + 2);
            out.rate = (int)Le32(body + 4);
            if (out.channels < 1) return error = "no channels", false;
            haveFormat = true;
        } else if (!memcmp(&file[at], "data", 4)) {
            if (!haveFormat) return error = "data before fmt", false;
            size_t bytes = std::min<size_t>(size, available) & ~(size_t)1;
            out.samples.resize(bytes / 2);
            for (size_t i = 0; i < out.samples.size(); i++)
                out.samples[i] = (int16_t)Le16(body + 2 * i);
            return true;
        }
        if (size > available) break;
        at += 8 + size + (size & 1);
    }
    return error = "no data chunk", false;
}

Pcm FromRaw(const std::vector<uint8_t>& file, int channels, int rate) {
    Pcm p;
    p.channels = channels;
    p.rate = rate;
    p.samples.resize(file.size() / 2);
    for (size_t i = 0; i < p.samples.size(); i++) p.samples[i] = (int16_t)Le16(&file[2 * i]);
    return p;
}

Result Compare(const Pcm& reference, const Pcm& played, size_t openingSamples) {
    Result r;
    const std::vector<int16_t>& ref = reference.samples;
    size_t first = 0;
    while (first < ref.size() && ref[first] == 0) first++;
    first -= first % (size_t)std::max(1, reference.channels); // whole sample frames
    if (first + openingSamples > ref.size() || !openingSamples) return r;
    std::vector<int16_t> opening(ref.begin() + first, ref.begin() + first + openingSamples);
    std::vector<size_t> refStarts = FindAll(ref, opening.data(), opening.size());
    std::vector<size_t> playStarts = FindAll(played.samples, opening.data(), opening.size());
    r.referenceStarts = refStarts.size();
    r.playedStarts = playStarts.size();
    size_t pairs = std::min(refStarts.size(), playStarts.size());
    for (size_t i = 0; i < pairs; i++) {
        Segment s;
        s.referenceAt = refStarts[i];
        s.playedAt = playStarts[i];
        size_t refEnd =
            SoundEnd(ref, s.referenceAt, i + 1 < refStarts.size() ? refStarts[i + 1] : ref.size());
        size_t playEnd =
            SoundEnd(played.samples, s.playedAt,
                     i + 1 < playStarts.size() ? playStarts[i + 1] : played.samples.size());
        s.compared = std::min(refEnd - s.referenceAt, playEnd - s.playedAt);
        for (size_t k = 0; k < s.compared; k++) {
            if (ref[s.referenceAt + k] == played.samples[s.playedAt + k]) continue;
            if (!s.differing) s.firstDifference = k;
            s.differing++;
        }
        r.segments.push_back(s);
    }
    return r;
}

} // namespace soundmatch
