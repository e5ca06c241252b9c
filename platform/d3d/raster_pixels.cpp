#include "raster_pixels.h"

#include "machine/pixels.h"

#include <array>
#include <map>
#include <mutex>
#include <vector>

namespace ddsoft {

namespace {

// One decoding table per 16-bit layout seen, kept for the life of the process: the
// surfaces use a handful of layouts, and a table saves the unpacking of every texel.
const uint32_t* DecodingTable(const PixelLayout& l, const DDPIXELFORMAT& format) {
    static std::mutex guard;
    static std::map<std::array<DWORD, 4>, std::vector<uint32_t>> tables;
    std::array<DWORD, 4> key = {format.dwRBitMask, format.dwGBitMask, format.dwBBitMask,
                                l.a.bits ? format.dwRGBAlphaBitMask : 0};
    std::lock_guard<std::mutex> lock(guard);
    std::vector<uint32_t>& table = tables[key];
    if (table.empty()) {
        table.resize(65536);
        for (uint32_t raw = 0; raw < 65536; raw++) table[raw] = DecodeArgb(l, raw);
    }
    return table.data();
}

} // namespace

uint8_t NearestIndex(const PALETTEENTRY* palette, uint32_t r, uint32_t g, uint32_t b) {
    int best = 0;
    int bestDistance = 3 * 256 * 256;
    for (int i = 0; i < 256 && bestDistance; i++) {
        int dr = (int)r - palette[i].peRed, dg = (int)g - palette[i].peGreen,
            db = (int)b - palette[i].peBlue;
        int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return (uint8_t)best;
}

PixelLayout LayoutOf(const DDPIXELFORMAT& format, const PALETTEENTRY* palette) {
    PixelLayout l;
    DWORD bits = video::BitsOf(format);
    if (format.dwFlags & DDPF_PALETTEINDEXED8) {
        if (!palette || bits != 8) return l;
        l.indexed = true;
        l.palette = palette;
        l.bytes = 1;
        return l;
    }
    if (!(format.dwFlags & DDPF_RGB) || (bits != 16 && bits != 24 && bits != 32)) return l;
    l.r = video::ChannelOf(format.dwRBitMask);
    l.g = video::ChannelOf(format.dwGBitMask);
    l.b = video::ChannelOf(format.dwBBitMask);
    if (format.dwFlags & DDPF_ALPHAPIXELS) l.a = video::ChannelOf(format.dwRGBAlphaBitMask);
    if (!l.r.bits || !l.g.bits || !l.b.bits) return l;
    l.bytes = (int)bits / 8;
    if (l.bytes == 2) l.argb16 = DecodingTable(l, format);
    return l;
}

} // namespace ddsoft
