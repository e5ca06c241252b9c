#include "d3d_raster_pixels.h"

#include "ddraw_internal.h"

namespace ddsoft {

namespace {

Channel ChannelOf(DWORD mask) {
    Channel c;
    if (!mask) return c;
    while (!((mask >> c.shift) & 1)) c.shift++;
    while (c.shift + c.bits < 32 && ((mask >> (c.shift + c.bits)) & 1)) c.bits++;
    return c;
}

} // namespace

PixelLayout LayoutOf(const DDPIXELFORMAT& format, const PALETTEENTRY* palette) {
    PixelLayout l;
    DWORD bits = BitsOf(format);
    if (format.dwFlags & DDPF_PALETTEINDEXED8) {
        if (!palette || bits != 8) return l;
        l.indexed = true;
        l.palette = palette;
        l.bytes = 1;
        return l;
    }
    if (!(format.dwFlags & DDPF_RGB) || (bits != 16 && bits != 24 && bits != 32)) return l;
    l.r = ChannelOf(format.dwRBitMask);
    l.g = ChannelOf(format.dwGBitMask);
    l.b = ChannelOf(format.dwBBitMask);
    if (format.dwFlags & DDPF_ALPHAPIXELS) l.a = ChannelOf(format.dwRGBAlphaBitMask);
    if (!l.r.bits || !l.g.bits || !l.b.bits) return l;
    l.bytes = (int)bits / 8;
    return l;
}

} // namespace ddsoft
