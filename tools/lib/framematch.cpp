#include "framematch.h"

#include <stdlib.h>

#include <algorithm>
#include <limits>

namespace framematch {

Thumb Shrink(const pngio::Image& image, int factor) {
    Thumb t;
    if (factor < 1) return t;
    t.width = image.width / factor;
    t.height = image.height / factor;
    t.rgb.assign((size_t)t.width * t.height * 3, 0);
    std::vector<uint32_t> sums((size_t)t.width * 3);
    int area = factor * factor;
    for (int ty = 0; ty < t.height; ty++) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int y = ty * factor; y < (ty + 1) * factor; y++)
            for (int x = 0; x < t.width * factor; x++) {
                pngio::Rgba c = image.ColorAt(x, y);
                uint32_t* s = &sums[(size_t)(x / factor) * 3];
                s[0] += c.r;
                s[1] += c.g;
                s[2] += c.b;
            }
        for (size_t i = 0; i < sums.size(); i++)
            t.rgb[(size_t)ty * t.width * 3 + i] = (uint8_t)((sums[i] + area / 2) / area);
    }
    return t;
}

void MaskRows(Thumb& thumb, int factor, int first, int last) {
    if (factor < 1) return;
    for (int row = std::max(0, first / factor); row <= last / factor && row < thumb.height; row++)
        std::fill(thumb.rgb.begin() + (size_t)row * thumb.width * 3,
                  thumb.rgb.begin() + (size_t)(row + 1) * thumb.width * 3, 0);
}

double MeanAbsDifference(const Thumb& a, const Thumb& b) {
    if (a.width != b.width || a.height != b.height || a.rgb.empty())
        return std::numeric_limits<double>::max();
    uint64_t total = 0;
    for (size_t i = 0; i < a.rgb.size(); i++) total += (uint64_t)abs(a.rgb[i] - b.rgb[i]);
    return (double)total / (double)a.rgb.size();
}

std::vector<Match> MatchInOrder(const std::vector<Thumb>& shots, const std::vector<Thumb>& frames) {
    size_t s = shots.size(), f = frames.size();
    std::vector<Match> out;
    if (s == 0 || s > f) return out;
    std::vector<std::vector<double>> cost(s, std::vector<double>(f));
    out.resize(s);
    for (size_t i = 0; i < s; i++)
        for (size_t j = 0; j < f; j++) {
            cost[i][j] = MeanAbsDifference(shots[i], frames[j]);
            if (out[i].nearest < 0 || cost[i][j] < out[i].nearestDistance) {
                out[i].nearest = (int)j;
                out[i].nearestDistance = cost[i][j];
            }
        }
    // best[i][j]: the smallest sum for shots 0..i with shot i on frame j; from[i][j] is
    // where shot i - 1 went then.
    const double none = std::numeric_limits<double>::infinity();
    std::vector<std::vector<double>> best(s, std::vector<double>(f, none));
    std::vector<std::vector<int>> from(s, std::vector<int>(f, -1));
    best[0] = cost[0];
    for (size_t i = 1; i < s; i++) {
        double runningMin = none;
        int runningAt = -1;
        for (size_t j = i; j < f; j++) {
            if (best[i - 1][j - 1] < runningMin) {
                runningMin = best[i - 1][j - 1];
                runningAt = (int)j - 1;
            }
            best[i][j] = runningMin + cost[i][j];
            from[i][j] = runningAt;
        }
    }
    int at = -1;
    for (size_t j = s - 1; j < f; j++)
        if (at < 0 || best[s - 1][j] < best[s - 1][at]) at = (int)j;
    for (size_t i = s; i-- > 0;) {
        out[i].frame = at;
        out[i].distance = cost[i][at];
        at = from[i][at];
    }
    return out;
}

} // namespace framematch
