// Drawing helpers for the generated art: float planes, anti-aliased shapes by signed
// distance, and the step from smooth grey to the few palette levels the show has.
#ifndef TOOLS_ASSETS_RASTER_H
#define TOOLS_ASSETS_RASTER_H

#include <stddef.h>
#include <stdint.h>

#include <array>
#include <vector>

namespace assets {

struct Rgb {
    uint8_t r, g, b;
};

// A grey picture in floats, 0 black to 1 white unless a caller says otherwise.
struct Plane {
    int width = 0;
    int height = 0;
    std::vector<float> v;

    Plane() = default;
    Plane(int w, int h, float fill = 0.0f) : width(w), height(h), v(size_t(w) * h, fill) {}
    float& At(int x, int y) { return v[size_t(y) * width + x]; }
    float At(int x, int y) const { return v[size_t(y) * width + x]; }
};

// An Index 8 picture with its own palette, as it goes into a bitmap file.
struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels; // row by row, top row first
    std::array<Rgb, 256> palette{};

    uint8_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

float Clamp01(float v);
float Mix(float a, float b, float t);
float SmoothStep(float e0, float e1, float x);
// Coverage of a pixel by a shape whose signed distance (pixels, negative inside) is d.
float Coverage(float d);

// Signed distances in pixels (negative inside).
float SegmentDistance(float px, float py, float ax, float ay, float bx, float by);
// Convex polygon given counter-clockwise or clockwise; exact outside, exact inside.
float ConvexPolygonDistance(float px, float py, const float* xy, int count);

// Lays coverage c of ink `ink` over the plane pixel: v = v + (ink - v) * c.
void Paint(Plane& plane, int x, int y, float ink, float c);

// The grey of palette entry i after the show's palette fade has brought a range to
// level 1: entries first..last ease out from black to white.
int ShowRampGrey(int i, int first, int last);

// Error diffusion (serpentine Floyd-Steinberg) of a plane of displayed greys (0..1)
// onto a set of available displayed greys (0..255). Returns, per pixel, the position
// of the chosen grey in `levels`.
std::vector<uint8_t> DiffuseOnto(const Plane& plane, const std::vector<int>& levels);

// Nearest level without dithering (for hard-edged art).
std::vector<uint8_t> QuantizeOnto(const Plane& plane, const std::vector<int>& levels);

// The mean of f over pixel (x, y): four samples first, the full n by n grid only where
// they disagree (at edges), so smooth areas stay cheap.
template <class F> float PixelAverage(const F& f, int x, int y, int n) {
    float quick[4], low = 1e30f, high = -1e30f, sum = 0.0f;
    for (int s = 0; s < 4; s++) {
        quick[s] =
            f(float(x) + 0.25f + 0.5f * float(s & 1), float(y) + 0.25f + 0.5f * float(s >> 1));
        low = quick[s] < low ? quick[s] : low;
        high = quick[s] > high ? quick[s] : high;
        sum += quick[s];
    }
    if (high - low < 0.004f) return sum * 0.25f;
    sum = 0.0f;
    for (int s = 0; s < n * n; s++)
        sum += f(float(x) + (float(s % n) + 0.5f) / float(n),
                 float(y) + (float(s / n) + 0.5f) / float(n));
    return sum / float(n * n);
}


} // namespace assets

#endif
