// Triangle set-up and scan: edge functions on a 1/16-pixel grid decide coverage (top-left
// rule, so triangles that share an edge never both draw a pixel), plane equations carry depth,
// colour and texture coordinates to each pixel centre.
#include "raster.h"

#include <math.h>

#include <algorithm>

namespace ddsoft {

namespace {

const int SUB = 16;           // sub-pixel positions per pixel
const float LIMIT = 16384.0f; // keeps edge products well inside 64 bits

struct Point {
    int64_t x, y; // in 1/SUB pixels
};

bool Snap(const D3DTLVERTEX& v, Point& out) {
    if (!isfinite(v.sx) || !isfinite(v.sy)) return false;
    out.x = (int64_t)lrintf(std::clamp(v.sx, -LIMIT, LIMIT) * SUB);
    out.y = (int64_t)lrintf(std::clamp(v.sy, -LIMIT, LIMIT) * SUB);
    return true;
}

// E(p) = (b - a) x (p - a), positive inside a clockwise (on screen) triangle.
struct Edge {
    int64_t row;   // value at the current row's first pixel, fill rule applied
    int64_t stepX; // per pixel to the right
    int64_t stepY; // per row down
};

Edge MakeEdge(Point a, Point b, Point first) {
    int64_t dx = b.x - a.x, dy = b.y - a.y;
    Edge e;
    e.stepX = -dy * SUB;
    e.stepY = dx * SUB;
    e.row = dx * (first.y - a.y) - dy * (first.x - a.x);
    // A pixel centre exactly on an edge belongs to the triangle only on its top or left
    // edges; elsewhere demand a strictly positive value.
    bool topLeft = dy < 0 || (dy == 0 && dx > 0);
    if (!topLeft) e.row -= 1;
    return e;
}

enum { A_Z, A_W, A_UW, A_VW, A_R, A_G, A_B, A_A, ATTRIBUTE_COUNT };

struct Plane {
    float at; // value at the first pixel centre of the box
    float stepX;
    float stepY;
};

void Attributes(const RasterState& s, const D3DTLVERTEX& v, const D3DTLVERTEX& flat,
                double out[ATTRIBUTE_COUNT]) {
    double w = s.texture.perspective ? v.rhw : 1.0;
    if (!isfinite(w)) w = 0;
    out[A_Z] = v.sz;
    out[A_W] = w;
    out[A_UW] = v.tu * w;
    out[A_VW] = v.tv * w;
    const D3DTLVERTEX& c = s.gouraud ? v : flat;
    out[A_R] = (c.color >> 16) & 0xFF;
    out[A_G] = (c.color >> 8) & 0xFF;
    out[A_B] = c.color & 0xFF;
    out[A_A] = c.color >> 24;
}

void MakePlanes(const RasterState& s, const D3DTLVERTEX* v[3], const Point p[3],
                const D3DTLVERTEX& flat, Point first, Plane planes[ATTRIBUTE_COUNT]) {
    double value[3][ATTRIBUTE_COUNT];
    for (int i = 0; i < 3; i++) Attributes(s, *v[i], flat, value[i]);
    double x1 = (double)(p[1].x - p[0].x) / SUB, y1 = (double)(p[1].y - p[0].y) / SUB;
    double x2 = (double)(p[2].x - p[0].x) / SUB, y2 = (double)(p[2].y - p[0].y) / SUB;
    double area = x1 * y2 - x2 * y1;
    double fx = (double)(first.x - p[0].x) / SUB, fy = (double)(first.y - p[0].y) / SUB;
    for (int k = 0; k < ATTRIBUTE_COUNT; k++) {
        double d1 = value[1][k] - value[0][k], d2 = value[2][k] - value[0][k];
        double dx = (d1 * y2 - d2 * y1) / area;
        double dy = (d2 * x1 - d1 * x2) / area;
        double at = value[0][k] + dx * fx + dy * fy;
        planes[k] = {isfinite(at) ? (float)at : 0.0f, isfinite(dx) ? (float)dx : 0.0f,
                     isfinite(dy) ? (float)dy : 0.0f};
    }
}

// ---- per pixel --------------------------------------------------------------------

int Wrap(int i, int n) {
    int m = i % n;
    return m < 0 ? m + n : m;
}

uint32_t Texel(const RasterTexture& t, int x, int y) {
    x = t.wrapX >= 0 ? x & t.wrapX : Wrap(x, t.width);
    y = t.wrapY >= 0 ? y & t.wrapY : Wrap(y, t.height);
    const uint8_t* p = t.memory + (long)y * t.pitch + (long)x * t.layout.bytes;
    return DecodeArgb(t.layout, video::LoadPixel(p, t.layout.bytes));
}

float Finite(float f) {
    return fabsf(f) < 1e8f ? f : 0.0f; // also NaN
}

uint32_t Mix(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11, uint32_t wx, uint32_t wy,
             int shift) {
    uint32_t a = (c00 >> shift) & 0xFF, b = (c10 >> shift) & 0xFF;
    uint32_t c = (c01 >> shift) & 0xFF, d = (c11 >> shift) & 0xFF;
    uint32_t top = a * (256 - wx) + b * wx;
    uint32_t bottom = c * (256 - wx) + d * wx;
    return ((top * (256 - wy) + bottom * wy + 32768) >> 16) << shift;
}

uint32_t Sample(const RasterTexture& t, float u, float v) {
    float fx = Finite(u * t.width), fy = Finite(v * t.height);
    if (!t.bilinear) return Texel(t, (int)floorf(fx), (int)floorf(fy));
    fx -= 0.5f;
    fy -= 0.5f;
    float x0 = floorf(fx), y0 = floorf(fy);
    uint32_t wx = (uint32_t)((fx - x0) * 256.0f), wy = (uint32_t)((fy - y0) * 256.0f);
    int ix = (int)x0, iy = (int)y0;
    uint32_t c00 = Texel(t, ix, iy), c10 = Texel(t, ix + 1, iy);
    uint32_t c01 = Texel(t, ix, iy + 1), c11 = Texel(t, ix + 1, iy + 1);
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) out |= Mix(c00, c10, c01, c11, wx, wy, shift);
    return out;
}

struct Rgba {
    uint32_t r, g, b, a;
};

uint32_t Product(uint32_t x, uint32_t y) {
    return (x * y + 127) / 255;
}

Rgba Combine(const RasterTexture& t, Rgba vertex, uint32_t texel) {
    Rgba tex = {(texel >> 16) & 0xFF, (texel >> 8) & 0xFF, texel & 0xFF, texel >> 24};
    bool textureAlpha = t.layout.a.bits != 0;
    switch (t.blend) {
    case D3DTBLEND_DECAL:
    case D3DTBLEND_COPY: return tex;
    case D3DTBLEND_DECALALPHA:
        return {Product(tex.r, tex.a) + Product(vertex.r, 255 - tex.a),
                Product(tex.g, tex.a) + Product(vertex.g, 255 - tex.a),
                Product(tex.b, tex.a) + Product(vertex.b, 255 - tex.a), vertex.a};
    case D3DTBLEND_MODULATEALPHA:
        return {Product(tex.r, vertex.r), Product(tex.g, vertex.g), Product(tex.b, vertex.b),
                Product(tex.a, vertex.a)};
    case D3DTBLEND_ADD:
        return {std::min(255u, tex.r + vertex.r), std::min(255u, tex.g + vertex.g),
                std::min(255u, tex.b + vertex.b), vertex.a};
    default: // modulate: colours multiply, alpha from the texture when it has one
        return {Product(tex.r, vertex.r), Product(tex.g, vertex.g), Product(tex.b, vertex.b),
                textureAlpha ? tex.a : vertex.a};
    }
}

uint32_t Factor(DWORD f, uint32_t sc, uint32_t sa, uint32_t dc, uint32_t da) {
    switch (f) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_SRCCOLOR: return sc;
    case D3DBLEND_INVSRCCOLOR: return 255 - sc;
    case D3DBLEND_SRCALPHA: return sa;
    case D3DBLEND_INVSRCALPHA: return 255 - sa;
    case D3DBLEND_DESTALPHA: return da;
    case D3DBLEND_INVDESTALPHA: return 255 - da;
    case D3DBLEND_DESTCOLOR: return dc;
    case D3DBLEND_INVDESTCOLOR: return 255 - dc;
    case D3DBLEND_SRCALPHASAT: return std::min(sa, 255 - da);
    default: return 255; // one
    }
}

uint32_t BlendChannel(const RasterState& s, uint32_t sc, uint32_t sa, uint32_t dc, uint32_t da) {
    uint32_t v = (sc * Factor(s.sourceBlend, sc, sa, dc, da) +
                  dc * Factor(s.destBlend, sc, sa, dc, da) + 127) /
                 255;
    return std::min(v, 255u);
}

Rgba Blend(const RasterState& s, Rgba src, uint32_t dest) {
    uint32_t dr = (dest >> 16) & 0xFF, dg = (dest >> 8) & 0xFF, db = dest & 0xFF, da = dest >> 24;
    return {BlendChannel(s, src.r, src.a, dr, da), BlendChannel(s, src.g, src.a, dg, da),
            BlendChannel(s, src.b, src.a, db, da), BlendChannel(s, src.a, src.a, da, da)};
}

bool DepthPasses(DWORD function, uint32_t incoming, uint32_t stored) {
    switch (function) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return incoming < stored;
    case D3DCMP_EQUAL: return incoming == stored;
    case D3DCMP_LESSEQUAL: return incoming <= stored;
    case D3DCMP_GREATER: return incoming > stored;
    case D3DCMP_NOTEQUAL: return incoming != stored;
    case D3DCMP_GREATEREQUAL: return incoming >= stored;
    default: return true;
    }
}

uint32_t DepthValue(const RasterDepth& d, float z) {
    double clamped = z > 0.0f ? (z < 1.0f ? z : 1.0) : 0.0; // NaN reads as 0
    return (uint32_t)(clamped * d.maximum + 0.5);
}

// 4 x 4 ordered dither thresholds, 0..15.
const uint8_t BAYER[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Raises a channel by a share of the step its truncation to `bits` bits loses, so that
// gradients break into patterns instead of bands.
uint32_t Dither(uint32_t c, int bits, uint32_t threshold) {
    if (bits >= 8 || bits == 0) return c;
    uint32_t raised = c + ((threshold << (8 - bits)) >> 4);
    return raised > 255 ? 255 : raised;
}

uint32_t ToByte(float f) {
    if (!(f > 0.0f)) return 0;
    return f >= 255.0f ? 255u : (uint32_t)(f + 0.5f);
}

void ShadePixel(const RasterState& s, int x, int y, const float v[ATTRIBUTE_COUNT]) {
    const RasterDepth& d = s.depth;
    uint8_t* zp = nullptr;
    uint32_t z = 0;
    if (d.memory && (d.test || d.write)) {
        zp = d.memory + (long)y * d.pitch + (long)x * d.bytes;
        z = DepthValue(d, v[A_Z]);
        if (d.test && !DepthPasses(d.function, z, video::LoadPixel(zp, d.bytes))) return;
    }
    Rgba c = {ToByte(v[A_R]), ToByte(v[A_G]), ToByte(v[A_B]), ToByte(v[A_A])};
    if (s.texture.memory) {
        float w = v[A_W];
        float inverse = w != 0.0f ? 1.0f / w : 0.0f;
        c = Combine(s.texture, c, Sample(s.texture, v[A_UW] * inverse, v[A_VW] * inverse));
    }
    const RasterTarget& t = s.target;
    uint8_t* p = t.memory + (long)y * t.pitch + (long)x * t.layout.bytes;
    if (s.blend) c = Blend(s, c, DecodeArgb(t.layout, video::LoadPixel(p, t.layout.bytes)));
    if (s.dither) {
        uint32_t threshold = BAYER[y & 3][x & 3];
        c = {Dither(c.r, t.layout.r.bits, threshold), Dither(c.g, t.layout.g.bits, threshold),
             Dither(c.b, t.layout.b.bits, threshold), c.a};
    }
    uint32_t raw = t.layout.indexed ? NearestIndex(t.layout.palette, c.r, c.g, c.b)
                                    : EncodeRgba(t.layout, c.r, c.g, c.b, c.a);
    video::StorePixel(p, t.layout.bytes, raw);
    if (zp && d.write) video::StorePixel(zp, d.bytes, z);
}

// Pixel range [lo, hi] whose centres (n * SUB + SUB / 2) can lie within [from, to].
void CentreRange(int64_t from, int64_t to, int limit, int& lo, int& hi) {
    int64_t first = (from - SUB / 2 + SUB - 1);
    first = first >= 0 ? first / SUB : -((-first + SUB - 1) / SUB);
    int64_t last = to - SUB / 2;
    last = last >= 0 ? last / SUB : -((-last + SUB - 1) / SUB);
    lo = (int)std::max<int64_t>(first, 0);
    hi = (int)std::min<int64_t>(last, limit - 1);
}

} // namespace

void DrawTriangle(const RasterState& s, const D3DTLVERTEX& a, const D3DTLVERTEX& b,
                  const D3DTLVERTEX& c, const D3DTLVERTEX& flat) {
    const D3DTLVERTEX* v[3] = {&a, &b, &c};
    Point p[3];
    for (int i = 0; i < 3; i++)
        if (!Snap(*v[i], p[i])) return;
    int64_t area = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[1].y - p[0].y) * (p[2].x - p[0].x);
    if (area == 0) return;
    if ((s.cull == D3DCULL_CW && area > 0) || (s.cull == D3DCULL_CCW && area < 0)) return;
    if (area < 0) {
        std::swap(v[1], v[2]);
        std::swap(p[1], p[2]);
    }
    int x0, x1, y0, y1;
    CentreRange(std::min({p[0].x, p[1].x, p[2].x}), std::max({p[0].x, p[1].x, p[2].x}),
                s.target.width, x0, x1);
    CentreRange(std::min({p[0].y, p[1].y, p[2].y}), std::max({p[0].y, p[1].y, p[2].y}),
                s.target.height, y0, y1);
    if (x0 > x1 || y0 > y1) return;

    Point first = {(int64_t)x0 * SUB + SUB / 2, (int64_t)y0 * SUB + SUB / 2};
    Edge e[3] = {MakeEdge(p[0], p[1], first), MakeEdge(p[1], p[2], first),
                 MakeEdge(p[2], p[0], first)};
    Plane planes[ATTRIBUTE_COUNT];
    MakePlanes(s, v, p, flat, first, planes);

    for (int y = y0; y <= y1; y++) {
        int row = y - y0;
        int64_t e0 = e[0].row, e1 = e[1].row, e2 = e[2].row;
        float value[ATTRIBUTE_COUNT];
        for (int k = 0; k < ATTRIBUTE_COUNT; k++) value[k] = planes[k].at + planes[k].stepY * row;
        bool entered = false;
        for (int x = x0; x <= x1; x++) {
            if ((e0 | e1 | e2) >= 0) {
                entered = true;
                ShadePixel(s, x, y, value);
            } else if (entered) {
                break; // a row crosses a convex shape once
            }
            e0 += e[0].stepX;
            e1 += e[1].stepX;
            e2 += e[2].stepX;
            for (int k = 0; k < ATTRIBUTE_COUNT; k++) value[k] += planes[k].stepX;
        }
        for (int i = 0; i < 3; i++) e[i].row += e[i].stepY;
    }
}

} // namespace ddsoft
