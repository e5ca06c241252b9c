// BlitBitmap: copies an in-memory bitmap into the locked back buffer, converting its
// pixels to the screen's kind; palette entries with partial alpha blend.
#include "windriver/windriver.h"

namespace {

inline int BlendChannel(int c, int p, int a) {
    return c + ((a * (p - c)) >> 8);
}

uint16_t Blend0565(uint16_t d, const sColor& p) {
    int r = BlendChannel((d >> 11) << 3, p.r, p.a);
    int g = BlendChannel((d >> 3) & 0xFC, p.g, p.a);
    int b = BlendChannel((d & 0x1F) << 3, p.b, p.a);
    return (uint16_t)((r & 0xF8) << 8 | (g & 0xFC) << 3 | b >> 3);
}

// The same blend in the 1-5-5-5 layout, keeping the destination's alpha bit.
uint16_t Blend1555(uint16_t d, const sColor& p) {
    int r = BlendChannel((d >> 7) & 0xF8, p.r, p.a);
    int g = BlendChannel((d >> 2) & 0xF8, p.g, p.a);
    int b = BlendChannel((d & 0x1F) << 3, p.b, p.a);
    return (uint16_t)((d & 0x8000) | (r & 0xF8) << 7 | (g & 0xF8) << 2 | b >> 3);
}

} // namespace

void sWinDriver::BlitIndexedTo16(sBitmap& b, const sBlitRect& r) {
    // Pack the 256 palette colours once per call rather than per pixel.
    uint16_t packed[256];
    for (int i = 0; i < 256; i++) packed[i] = (uint16_t)ColorToIndex(b.palette[i]);
    bool layout1555 = kind == BK_1555;
    for (int y = 0; y < r.height; y++) {
        const uint8_t* src = b.PixelAddress(r.srcX, r.srcY + y, 0);
        uint16_t* dst = (uint16_t*)BackPixel(r.dstX, r.dstY + y);
        for (int x = 0; x < r.width; x++) {
            const sColor& p = b.palette[src[x]];
            if (p.a == 255)
                dst[x] = packed[src[x]];
            else if (p.a != 0)
                dst[x] = layout1555 ? Blend1555(dst[x], p) : Blend0565(dst[x], p);
        }
    }
}

// 16-bit to 16-bit copies between the 5-6-5 and 1-5-5-5 layouts (or straight).
void sWinDriver::Blit16To16(sBitmap& b, const sBlitRect& r, int from, int to) {
    for (int y = 0; y < r.height; y++) {
        const uint16_t* src = (const uint16_t*)b.PixelAddress(r.srcX, r.srcY + y, 0);
        uint16_t* dst = (uint16_t*)BackPixel(r.dstX, r.dstY + y);
        for (int x = 0; x < r.width; x++) {
            uint16_t v = src[x];
            if (from == BK_0565 && to == BK_1555)
                v = (uint16_t)((v >> 6) << 5 | (v & 0x1F));
            else if (from == BK_1555 && to == BK_0565)
                v = (uint16_t)((v >> 5) << 6 | (v & 0x1F));
            dst[x] = v;
        }
    }
}

void sWinDriver::BlitBitmap(sBitmap* b, sBlitRect& r) {
    if (clipOn && !ClipBlitRect(r, clip, b->width, b->height)) return;
    if (!LockBack()) return;
    if (b->kind == BK_INDEX8 && kind == BK_INDEX8) {
        for (int y = 0; y < r.height; y++)
            MemCopy(BackPixel(r.dstX, r.dstY + y), b->PixelAddress(r.srcX, r.srcY + y, 0), r.width);
    } else if (b->kind == BK_INDEX8 && (kind == BK_0565 || kind == BK_1555)) {
        BlitIndexedTo16(*b, r);
    } else if ((b->kind == BK_0565 || b->kind == BK_1555) && (kind == BK_0565 || kind == BK_1555) &&
               !(b->kind == BK_1555 && kind == BK_1555)) {
        Blit16To16(*b, r, b->kind, kind);
    } else {
        ASSERT(false);
    }
}
