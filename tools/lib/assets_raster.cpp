#include "assets_raster.h"

#include <math.h>
#include <stdlib.h>

namespace assets {

float Clamp01(float v) {
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

float Mix(float a, float b, float t) {
    return a + (b - a) * t;
}

float SmoothStep(float e0, float e1, float x) {
    float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}

float Coverage(float d) {
    return Clamp01(0.5f - d);
}

float SegmentDistance(float px, float py, float ax, float ay, float bx, float by) {
    float dx = bx - ax, dy = by - ay;
    float len2 = dx * dx + dy * dy;
    float t = len2 > 0.0f ? Clamp01(((px - ax) * dx + (py - ay) * dy) / len2) : 0.0f;
    float ex = px - (ax + dx * t), ey = py - (ay + dy * t);
    return sqrtf(ex * ex + ey * ey);
}

float ConvexPolygonDistance(float px, float py, const float* xy, int count) {
    // Inside when on the same side of every edge; the distance is the nearest edge.
    float nearest = 1e30f;
    int positive = 0, negative = 0;
    for (int i = 0; i < count; i++) {
        float ax = xy[2 * i], ay = xy[2 * i + 1];
        float bx = xy[2 * ((i + 1) % count)], by = xy[2 * ((i + 1) % count) + 1];
        float d = SegmentDistance(px, py, ax, ay, bx, by);
        if (d < nearest) nearest = d;
        float cross = (bx - ax) * (py - ay) - (by - ay) * (px - ax);
        if (cross > 0.0f) positive++;
        if (cross < 0.0f) negative++;
    }
    bool inside = positive == 0 || negative == 0;
    return inside ? -nearest : nearest;
}

void Paint(Plane& plane, int x, int y, float ink, float c) {
    if (x < 0 || y < 0 || x >= plane.width || y >= plane.height || c <= 0.0f) return;
    float& p = plane.At(x, y);
    p = p + (ink - p) * Clamp01(c);
}

int ShowRampGrey(int i, int first, int last) {
    // Same float steps as the palette fade so previews match the screen.
    float s = float(i - first) / float(last - first);
    float g = 1.0f - (1.0f - s) * (1.0f - s);
    return int(0.0f + (255.0f - 0.0f) * g);
}

static int Nearest(float grey, const std::vector<int>& levels) {
    int best = 0;
    float bestDistance = 1e30f;
    for (size_t i = 0; i < levels.size(); i++) {
        float d = fabsf(grey - float(levels[i]));
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return best;
}

std::vector<uint8_t> QuantizeOnto(const Plane& plane, const std::vector<int>& levels) {
    std::vector<uint8_t> out(plane.v.size());
    for (size_t i = 0; i < plane.v.size(); i++)
        out[i] = uint8_t(Nearest(Clamp01(plane.v[i]) * 255.0f, levels));
    return out;
}

std::vector<uint8_t> DiffuseOnto(const Plane& plane, const std::vector<int>& levels) {
    int w = plane.width, h = plane.height;
    std::vector<float> work(plane.v.size());
    for (size_t i = 0; i < work.size(); i++) work[i] = Clamp01(plane.v[i]) * 255.0f;
    std::vector<uint8_t> out(work.size());
    for (int y = 0; y < h; y++) {
        bool leftToRight = (y & 1) == 0;
        for (int k = 0; k < w; k++) {
            int x = leftToRight ? k : w - 1 - k;
            int step = leftToRight ? 1 : -1;
            size_t at = size_t(y) * w + x;
            int chosen = Nearest(work[at], levels);
            out[at] = uint8_t(chosen);
            float error = work[at] - float(levels[chosen]);
            auto spread = [&](int dx, int dy, float share) {
                int nx = x + dx * step, ny = y + dy;
                if (nx >= 0 && nx < w && ny < h) work[size_t(ny) * w + nx] += error * share;
            };
            spread(1, 0, 7.0f / 16.0f);
            spread(-1, 1, 3.0f / 16.0f);
            spread(0, 1, 5.0f / 16.0f);
            spread(1, 1, 1.0f / 16.0f);
        }
    }
    return out;
}

} // namespace assets
