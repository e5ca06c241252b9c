// Pixel layouts for the rasterizer: how a render target, a texture or a Z-buffer packs its
// values, read from the surface's pixel format once per primitive.
#ifndef PRISMATEL_D3D_RASTER_PIXELS_H
#define PRISMATEL_D3D_RASTER_PIXELS_H

#include <ddraw.h>

#include <stdint.h>

#include "machine/pixels.h"

namespace ddsoft {

using video::Channel;

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

// A raw pixel as 0xAARRGGBB; formats without alpha read as opaque.
inline uint32_t DecodeArgb(const PixelLayout& l, uint32_t raw) {
    if (l.argb16) return l.argb16[raw & 0xFFFF];
    if (l.indexed) {
        const PALETTEENTRY& e = l.palette[raw & 0xFF];
        return 0xFF000000u | (uint32_t)e.peRed << 16 | (uint32_t)e.peGreen << 8 | e.peBlue;
    }
    uint32_t a = l.a.bits ? video::Widen(raw, l.a) : 255;
    return a << 24 | video::Widen(raw, l.r) << 16 | video::Widen(raw, l.g) << 8 |
           video::Widen(raw, l.b);
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
