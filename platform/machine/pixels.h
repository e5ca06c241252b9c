// How the video card's memory holds pixels: the bits a format takes, a pixel's bytes as a
// value (little-endian, 1 to 4 bytes), and a colour channel of a packed value. DirectDraw's
// blits, Direct3D's rasterizer and the card's own picture all read and write through these.
#ifndef PRISMATEL_MACHINE_PIXELS_H
#define PRISMATEL_MACHINE_PIXELS_H

#include <ddraw.h>

#include <stdint.h>

namespace video {

// Bits one pixel of the format takes.
inline DWORD BitsOf(const DDPIXELFORMAT& format) {
    if (format.dwFlags & DDPF_PALETTEINDEXED8) return 8;
    if (format.dwFlags & DDPF_PALETTEINDEXED4) return 4;
    if (format.dwFlags & DDPF_PALETTEINDEXED2) return 2;
    if (format.dwFlags & DDPF_PALETTEINDEXED1) return 1;
    return format.dwRGBBitCount;
}

inline uint32_t LoadPixel(const uint8_t* p, int bytes) {
    switch (bytes) {
    case 1: return p[0];
    case 2: return (uint32_t)p[0] | (uint32_t)p[1] << 8;
    case 3: return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
    default:
        return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
    }
}

inline void StorePixel(uint8_t* p, int bytes, uint32_t value) {
    p[0] = (uint8_t)value;
    if (bytes > 1) p[1] = (uint8_t)(value >> 8);
    if (bytes > 2) p[2] = (uint8_t)(value >> 16);
    if (bytes > 3) p[3] = (uint8_t)(value >> 24);
}

// Where a colour channel sits in a packed pixel value.
struct Channel {
    int shift = 0;
    int bits = 0; // 0: the format has no such channel
};

inline Channel ChannelOf(DWORD mask) {
    Channel c;
    if (!mask) return c;
    while (!((mask >> c.shift) & 1)) c.shift++;
    while (c.shift + c.bits < 32 && ((mask >> (c.shift + c.bits)) & 1)) c.bits++;
    return c;
}

// A channel widened to 8 bits by repeating its high bits, as a DAC does, so that full scale
// stays 255; a missing channel reads 0.
inline uint32_t Widen(uint32_t raw, Channel c) {
    if (!c.bits) return 0;
    uint32_t v = (raw >> c.shift) & (c.bits >= 32 ? 0xFFFFFFFFu : (1u << c.bits) - 1);
    if (c.bits >= 8) return v >> (c.bits - 8);
    if (c.bits == 1) return v ? 255 : 0;
    uint32_t out = v << (8 - c.bits);
    for (int filled = c.bits; filled < 8; filled += c.bits) out |= out >> c.bits;
    return out & 0xFF;
}

} // namespace video

#endif
