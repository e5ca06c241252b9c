// Pixel layouts for the rasterizer: how a render target, a texture or a Z-buffer packs its
// values, read from the surface's pixel format once per primitive.
#ifndef PRISMATEL_D3D_RASTER_PIXELS_H
#define PRISMATEL_D3D_RASTER_PIXELS_H

#include <ddraw.h>

#include <stdint.h>

namespace ddsoft {

struct Channel {
    int shift = 0;
    int bits = 0; // 0: the format has no such channel
};

struct PixelLayout {
    int bytes = 0;
    Channel r, g, b, a;
    const PALETTEENTRY* palette = nullptr; // 8-bit indexed textures only
    bool indexed = false;
    const uint32_t* argb16 = nullptr; // 16-bit layouts: every pixel value decoded in advance
};

// The layout of an RGB or 8-bit indexed format; bytes is 0 for formats the rasterizer
// cannot draw with (fewer than 8 bits, indexed without a palette, no colour masks).
PixelLayout LayoutOf(const DDPIXELFORMAT& format, const PALETTEENTRY* palette);

inline uint32_t LoadRaw(const uint8_t* p, int bytes) {
    switch (bytes) {
    case 1: return p[0];
    case 2: return (uint32_t)p[0] | (uint32_t)p[1] << 8;
    case 3: return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
    default:
        return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
    }
}

inline void StoreRaw(uint8_t* p, int bytes, uint32_t v) {
    p[0] = (uint8_t)v;
    if (bytes > 1) p[1] = (uint8_t)(v >> 8);
    if (bytes > 2) p[2] = (uint8_t)(v >> 16);
    if (bytes > 3) p[3] = (uint8_t)(v >> 24);
}

// A channel widened to 8 bits by repeating its high bits, so that full scale stays 255.
inline uint32_t Widen(uint32_t raw, Channel c) {
    uint32_t v = (raw >> c.shift) & ((1u << c.bits) - 1);
    if (c.bits >= 8) return v >> (c.bits - 8);
    if (c.bits == 1) return v ? 255 : 0;
    uint32_t out = v << (8 - c.bits);
    for (int filled = c.bits; filled < 8; filled += c.bits) out |= out >> c.bits;
    return out & 0xFF;
}

// A raw pixel as 0xAARRGGBB; formats without alpha read as opaque.
inline uint32_t DecodeArgb(const PixelLayout& l, uint32_t raw) {
    if (l.argb16) return l.argb16[raw & 0xFFFF];
    if (l.indexed) {
        const PALETTEENTRY& e = l.palette[raw & 0xFF];
        return 0xFF000000u | (uint32_t)e.peRed << 16 | (uint32_t)e.peGreen << 8 | e.peBlue;
    }
    uint32_t a = l.a.bits ? Widen(raw, l.a) : 255;
    return a << 24 | Widen(raw, l.r) << 16 | Widen(raw, l.g) << 8 | Widen(raw, l.b);
}

inline uint32_t Narrow(uint32_t v8, Channel c) {
    if (!c.bits) return 0;
    return (c.bits >= 8 ? v8 << (c.bits - 8) : v8 >> (8 - c.bits)) << c.shift;
}

// The palette entry nearest to a colour (squared distance, the lowest index on a tie): how
// a colour is drawn into an 8-bit palettised target.
uint8_t NearestIndex(const PALETTEENTRY* palette, uint32_t r, uint32_t g, uint32_t b);

// 8-bit channels packed into the layout (RGB layouts only).
inline uint32_t EncodeRgba(const PixelLayout& l, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return Narrow(r, l.r) | Narrow(g, l.g) | Narrow(b, l.b) | Narrow(a, l.a);
}

} // namespace ddsoft

#endif
