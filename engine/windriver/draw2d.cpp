// 2D drawing into the back buffer: single pixels, one-bit images and bitmap copies are
// written into the locked surface; lines, rectangles and video-memory images go to the
// blitter. An optional clip rectangle limits all of them.
#include "windriver/windriver.h"

void sWinDriver::SetClip(const sRect* r) {
    clipOn = true;
    if (r) {
        clip = *r;
    } else {
        clip.x0 = 0;
        clip.y0 = 0;
        clip.x1 = current.width;
        clip.y1 = current.height;
    }
}

void sWinDriver::ClearClip() {
    clipOn = false;
}

uint8_t* sWinDriver::BackPixel(int x, int y) {
    return (uint8_t*)lockDesc.lpSurface + y * lockDesc.lPitch + x * current.bitsPerPixel / 8;
}

void sWinDriver::Plot(unsigned raw, int x, int y) {
    if (clipOn && !clip.Contains(x, y)) return;
    if (!LockBack()) return;
    uint8_t* p = BackPixel(x, y);
    switch (current.bitsPerPixel) {
    case 8: *p = (uint8_t)raw; break;
    case 16: *(uint16_t*)p = (uint16_t)raw; break;
    case 24:
        p[0] = (uint8_t)raw;
        p[1] = (uint8_t)(raw >> 8);
        p[2] = (uint8_t)(raw >> 16);
        break;
    case 32: *(uint32_t*)p = raw; break;
    default: ASSERT(false);
    }
}

// A colour fill by the blitter; the rectangle excludes its right and bottom edges.
void sWinDriver::ColorFill(unsigned raw, int x0, int y0, int x1, int y1) {
    UnlockBack();
    fillFx.dwSize = sizeof fillFx;
    fillFx.dwFillColor = raw;
    RECT r = {x0, y0, x1, y1};
    back->Blt(&r, NULL, NULL, DDBLT_COLORFILL | DDBLT_WAIT, &fillFx);
}

void sWinDriver::HLine(unsigned raw, int x0, int x1, int y) {
    ASSERT(x0 <= x1);
    int end = x1 + 1;
    if (clipOn) {
        if (y >= clip.y1 || y < clip.y0) return;
        if (x0 < clip.x0) x0 = clip.x0;
        end = Min(end, clip.x1);
        if (end <= x0) return;
    }
    ColorFill(raw, x0, y, end, y + 1);
}

void sWinDriver::VLine(unsigned raw, int x, int y0, int y1) {
    ASSERT(y0 <= y1);
    int end = y1 + 1;
    if (clipOn) {
        if (x < clip.x0 || x >= clip.x1) return;
        if (y0 < clip.y0) y0 = clip.y0;
        end = Min(end, clip.y1);
        if (end <= y0) return;
    }
    ColorFill(raw, x, y0, x + 1, end);
}

void sWinDriver::FillRect(unsigned raw, int x0, int y0, int x1, int y1) {
    if (clipOn) {
        if (x0 < clip.x0) x0 = clip.x0;
        if (y0 < clip.y0) y0 = clip.y0;
        x1 = Min(x1, clip.x1);
        y1 = Min(y1, clip.y1);
        if (x1 <= x0 || y1 <= y0) return;
    }
    ColorFill(raw, x0, y0, x1, y1);
}

void sWinDriver::FrameRect(unsigned raw, int x0, int y0, int x1, int y1) {
    ASSERT(y1 >= y0 && x1 >= x0);
    if (x0 >= x1 || y1 == y0) return;
    int xl = x1 - 1;
    HLine(raw, x0, xl, y0);
    if (y1 >= y0 + 2) HLine(raw, x0, xl, y1 - 1);
    if (y1 > y0 + 2) {
        VLine(raw, x0, y0 + 1, y1 - 2);
        VLine(raw, xl, y0 + 1, y1 - 2);
    }
}

// Moves an end point of a line onto the clip rectangle along the line's slope.
static void ClipEndPoint(int& x, int& y, int dx, int dy, const sRect& c) {
    if (x < c.x0 && dx != 0) {
        y -= (x - c.x0) * dy / dx;
        x = c.x0;
    }
    if (y < c.y0 && dy != 0) {
        x -= (y - c.y0) * dx / dy;
        y = c.y0;
    }
    if (x >= c.x1 && dx != 0) {
        y -= (x - c.x1) * dy / dx;
        x = c.x1 - 1;
    }
    if (y >= c.y1 && dy != 0) {
        x -= (y - c.y1) * dx / dy;
        y = c.y1 - 1;
    }
}

void sWinDriver::Line(unsigned raw, int x0, int y0, int x1, int y1) {
    if (clipOn) {
        if ((x0 < clip.x0 && x1 < clip.x0) || (y0 < clip.y0 && y1 < clip.y0) ||
            (x0 >= clip.x1 && x1 >= clip.x1) || (y0 >= clip.y1 && y1 >= clip.y1))
            return;
        int dx = x1 - x0, dy = y1 - y0;
        ClipEndPoint(x0, y0, dx, dy, clip);
        ClipEndPoint(x1, y1, dx, dy, clip);
    }
    int adx = Abs(x1 - x0), ady = Abs(y1 - y0);
    int sx = Sign(x1 - x0), sy = Sign(y1 - y0);
    // Both directions walk from the smaller coordinate, so a line and its reverse plot
    // the same pixels.
    if (adx > ady) {
        int err = adx / 2;
        if (x0 < x1) {
            for (int x = x0, y = y0; x <= x1; x++) {
                Plot(raw, x, y);
                err += ady;
                if (err > adx) y += sy, err -= adx;
            }
        } else {
            for (int x = x1, y = y1; x <= x0; x++) {
                Plot(raw, x, y);
                err += ady;
                if (err > adx) y -= sy, err -= adx;
            }
        }
    } else {
        int err = ady / 2;
        if (y0 < y1) {
            for (int y = y0, x = x0; y <= y1; y++) {
                Plot(raw, x, y);
                err += adx;
                if (err > ady) x += sx, err -= ady;
            }
        } else {
            for (int y = y1, x = x1; y <= y0; y++) {
                Plot(raw, x, y);
                err += adx;
                if (err > ady) x -= sx, err -= ady;
            }
        }
    }
}

void sWinDriver::Blit(sTexture* t, sBlitRect& r) {
    if (clipOn && !ClipBlitRect(r, clip, t->width, t->height)) return;
    UnlockBack();
    if (t->videoSurface) {
        RECT source = {r.srcX, r.srcY, r.srcX + r.width, r.srcY + r.height};
        back->BltFast(r.dstX, r.dstY, t->videoSurface, &source, DDBLTFAST_WAIT);
        return;
    }
    ASSERT(t->bitmap && t->bitmap->kind == BK_MONO);
    BlitMono(t, r, 0xFFFFFFFFu, 0);
}

// Walks the one-bit source of a blit a byte at a time and hands each pixel's bit to
// `put`, which writes the 16-bit destination pixel.
template <class Put> static void WalkMonoBits(sBitmap& bitmap, const sBlitRect& r, Put put) {
    for (int y = 0; y < r.height; y++) {
        const uint8_t* src = bitmap.PixelAddress(r.srcX, r.srcY + y, 0);
        int bit = r.srcX & 7; // the partial first byte starts here
        int x = 0;
        while (x < r.width) {
            uint8_t bits = *src++;
            for (; bit < 8 && x < r.width; bit++, x++) put(x, y, (bits >> (7 - bit)) & 1);
            bit = 0;
        }
    }
}

void sWinDriver::BlitMono(sTexture* t, sBlitRect& r, unsigned color) {
    if (clipOn && !ClipBlitRect(r, clip, t->width, t->height)) return;
    if (!LockBack()) return;
    ASSERT(current.bitsPerPixel == 16);
    WalkMonoBits(*t->bitmap, r, [&](int x, int y, int set) {
        if (set) *(uint16_t*)BackPixel(r.dstX + x, r.dstY + y) = (uint16_t)color;
    });
}

void sWinDriver::BlitMono(sTexture* t, sBlitRect& r, unsigned set, unsigned clear) {
    if (clipOn && !ClipBlitRect(r, clip, t->width, t->height)) return;
    if (!LockBack()) return;
    ASSERT(current.bitsPerPixel == 16);
    WalkMonoBits(*t->bitmap, r, [&](int x, int y, int bit) {
        *(uint16_t*)BackPixel(r.dstX + x, r.dstY + y) = (uint16_t)(bit ? set : clear);
    });
}
