#include "quantize.h"

#include <algorithm>
#include <unordered_map>

namespace quantize {

namespace {

uint32_t Pack(Rgba c) {
    return uint32_t(c.r) | c.g << 8 | c.b << 16 | uint32_t(c.a) << 24;
}

struct Entry {
    Rgba color;
    uint64_t count;
};

int Channel(Rgba c, int i) {
    return i == 0 ? c.r : i == 1 ? c.g : i == 2 ? c.b : c.a;
}

// One box of the median cut: a range of the colour list.
struct Box {
    size_t begin, end;
    int widestChannel;
    int spread;
    uint64_t weight;
};

Box Measure(const std::vector<Entry>& entries, size_t begin, size_t end) {
    Box box{begin, end, 0, -1, 0};
    for (int ch = 0; ch < 4; ch++) {
        int lo = 255, hi = 0;
        for (size_t i = begin; i < end; i++) {
            int v = Channel(entries[i].color, ch);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        if (hi - lo > box.spread) {
            box.spread = hi - lo;
            box.widestChannel = ch;
        }
    }
    for (size_t i = begin; i < end; i++) box.weight += entries[i].count;
    return box;
}

// Splits at the weighted median of the widest channel; false when the box is one colour.
bool Split(std::vector<Entry>& entries, const Box& box, Box& a, Box& b) {
    if (box.end - box.begin < 2 || box.spread <= 0) return false;
    int ch = box.widestChannel;
    std::sort(entries.begin() + box.begin, entries.begin() + box.end,
              [ch](const Entry& x, const Entry& y) {
                  return Channel(x.color, ch) < Channel(y.color, ch);
              });
    uint64_t half = box.weight / 2, seen = 0;
    size_t cut = box.begin + 1;
    for (size_t i = box.begin; i < box.end - 1; i++) {
        seen += entries[i].count;
        cut = i + 1;
        if (seen >= half) break;
    }
    a = Measure(entries, box.begin, cut);
    b = Measure(entries, cut, box.end);
    return true;
}

Rgba Average(const std::vector<Entry>& entries, const Box& box) {
    uint64_t sum[4] = {0, 0, 0, 0};
    for (size_t i = box.begin; i < box.end; i++)
        for (int ch = 0; ch < 4; ch++)
            sum[ch] += uint64_t(Channel(entries[i].color, ch)) * entries[i].count;
    uint64_t w = box.weight ? box.weight : 1;
    auto avg = [&](int ch) { return uint8_t((sum[ch] + w / 2) / w); };
    return {avg(0), avg(1), avg(2), avg(3)};
}

std::vector<Rgba> MedianCut(std::vector<Entry> entries, int maxColors) {
    std::vector<Box> boxes{Measure(entries, 0, entries.size())};
    while (int(boxes.size()) < maxColors) {
        // Split the box with the most pixels times spread: big, varied areas first.
        size_t pick = boxes.size();
        uint64_t best = 0;
        for (size_t i = 0; i < boxes.size(); i++) {
            uint64_t score = boxes[i].weight * uint64_t(std::max(boxes[i].spread, 0));
            if (boxes[i].end - boxes[i].begin >= 2 && score > best) {
                best = score;
                pick = i;
            }
        }
        Box a, b;
        if (pick == boxes.size() || !Split(entries, boxes[pick], a, b)) break;
        boxes[pick] = a;
        boxes.push_back(b);
    }
    std::vector<Rgba> palette;
    for (const Box& box : boxes) palette.push_back(Average(entries, box));
    return palette;
}

} // namespace

std::vector<Rgba> MakePalette(const std::vector<Rgba>& pixels, int maxColors) {
    std::unordered_map<uint32_t, size_t> slot;
    std::vector<Entry> entries;
    for (Rgba c : pixels) {
        auto found = slot.emplace(Pack(c), entries.size());
        if (found.second)
            entries.push_back({c, 1});
        else
            entries[found.first->second].count++;
    }
    if (int(entries.size()) <= maxColors) {
        std::vector<Rgba> exact;
        for (const Entry& e : entries) exact.push_back(e.color);
        return exact;
    }
    return MedianCut(std::move(entries), maxColors);
}

int Nearest(const std::vector<Rgba>& palette, Rgba c) {
    int best = 0;
    long bestDistance = -1;
    for (size_t i = 0; i < palette.size(); i++) {
        long d = 0;
        for (int ch = 0; ch < 4; ch++) {
            long diff = Channel(palette[i], ch) - Channel(c, ch);
            d += diff * diff;
        }
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return best;
}

std::vector<uint8_t> MapToPalette(const std::vector<Rgba>& pixels,
                                  const std::vector<Rgba>& palette) {
    std::unordered_map<uint32_t, uint8_t> seen;
    std::vector<uint8_t> out(pixels.size());
    for (size_t i = 0; i < pixels.size(); i++) {
        auto it = seen.find(Pack(pixels[i]));
        if (it == seen.end())
            it = seen.emplace(Pack(pixels[i]), uint8_t(Nearest(palette, pixels[i]))).first;
        out[i] = it->second;
    }
    return out;
}

} // namespace quantize
