#include "effect.h"

#include <math.h>

sColor demoPalette[256];
bool paletteDirty = false;
sBitmap* warpImageA = nullptr;
sBitmap* warpImageB = nullptr;

uint8_t shadeTable[256];

// Grey levels: the ramp 0..16 maps to itself, the background band 32..48 to 0..16,
// everything else to white until a palette fade says otherwise.
static struct ShadeTableInit {
    ShadeTableInit() {
        for (int i = 0; i < 256; i++) {
            if (i <= 16)
                shadeTable[i] = (uint8_t)i;
            else if (i >= 32 && i <= 48)
                shadeTable[i] = (uint8_t)(i - 32);
            else
                shadeTable[i] = 16;
        }
    }
} shadeTableInit;

// ---- ShadeRectangle ---------------------------------------------------------------------

namespace {

struct ShadeView {
    sBitmap& view;

    // Darkens a pixel to numerator/denominator of its grey level; pixels outside the
    // buffer (rectangles ending exactly at the screen edge) are left alone.
    void Shade(int x, int y, int numerator, int denominator) const {
        if (x < 0 || y < 0 || x >= view.width || y >= view.height) return;
        uint8_t* p = view.PixelAddress(x, y, 0);
        *p = (uint8_t)((shadeTable[*p] * numerator) / denominator);
    }
};

} // namespace

void ShadeRectangle(sDisplay& display, float x0, float y0, float x1, float y1) {
    if (!(x0 < x1 && y0 < y1)) return;
    sBitmap view;
    display.Lock(view);
    if (view.levelData[0] == nullptr) return; // a failed lock draws nothing
    ShadeView s{view};

    int ix0 = (int)x0, iy0 = (int)y0, ix1 = (int)x1, iy1 = (int)y1;
    int fx0 = (int)(16.0f * x0) & 15;
    int fy0 = (int)(16.0f * y0) & 15;
    int gx1 = 15 - ((int)(16.0f * x1) & 15);
    int gy1 = 15 - ((int)(16.0f * y1) & 15);

    s.Shade(ix0, iy0, 256 - (16 - fx0) * (16 - fy0), 256);
    s.Shade(ix0, iy1, 256 - (16 - fx0) * (16 - gy1), 256);
    for (int x = ix0 + 1; x <= ix1 - 1; x++) {
        s.Shade(x, iy0, fy0, 16);
        s.Shade(x, iy1, gy1, 16);
    }
    int xr = ix1 == ix0 ? ix0 + 1 : ix1;
    s.Shade(xr, iy0, 256 - (16 - gx1) * (16 - fy0), 256);
    s.Shade(xr, iy1, 256 - (16 - gx1) * (16 - gy1), 256);
    for (int y = iy0 + 1; y <= iy1 - 1; y++) {
        s.Shade(ix0, y, fx0, 16);
        s.Shade(ix1, y, gx1, 16);
    }
    display.Unlock();
    display.FillRect(0, ix0 + 1, iy0 + 1, ix1, iy1);
}

// ---- sWarpEffect -----------------------------------------------------------------------

static sBitmap* LoadWarpImage(const char* name, int low, int high) {
    sBitmap* image = new sBitmap;
    image->Load(name);
    image->RemapToRange(low, high);
    return image;
}

sWarpEffect::sWarpEffect() {
    windowMask = 0;
    if (!warpImageA) warpImageA = LoadWarpImage("vd/q47_arro.scl", 128, 191);
    if (!warpImageB) warpImageB = LoadWarpImage("vd/q47_drog.scl", 192, 255);
    randomBits = Random();
}

void sWarpEffect::Draw(sDisplay& display, float t) {
    // One of 16 random bits picks the image for each 430 ms slice.
    int slice = (int)t / 430;
    sBitmap* image = warpImageA;
    if (randomBits & (1 << (slice & 15))) {
        image = warpImageB;
        t += 44500.0f;
    }
    // One common plane for all panels, zooming about the screen centre and drifting.
    float zoom = (float)(Sin(t * 0.001) * 0.2 + 0.5);
    float dx = (float)(Sin(t * 0.00033333333) * 200.0);
    float dy = (float)(Sin(t * 0.0002) * 200.0);
    float uL = (x0 - 320.0f) * zoom + dx;
    float vT = (y0 - 240.0f) * zoom + dy;
    float uR = (x1 - 320.0f) * zoom + dx;
    float vB = (y1 - 240.0f) * zoom + dy;

    sBitmap view;
    display.Lock(view);
    if (view.levelData[0] == nullptr) return;
    ASSERT(image->levelPitch[0] == 1024);

    int left = (int)floorf(x0), top = (int)floorf(y0);
    int w = (int)ceilf(x1 - x0), h = (int)ceilf(y1 - y0);
    if (w > 0 && h > 0) {
        int32_t du = (int32_t)((uR - uL) * 65536.0f / (float)w);
        int32_t dv = (int32_t)((vB - vT) * 65536.0f / (float)h);
        int32_t v = (int32_t)(vT * 65536.0f);
        int32_t u0 = (int32_t)(uL * 65536.0f) & 0x3FFFFFF;
        const int8_t* texels = (const int8_t*)image->levelData[0];
        for (int y = 0; y < h; y++) {
            const int8_t* r0 = texels + ((v >> 16) & 127) * 1024;
            const int8_t* r1 = texels + (((v >> 16) + 1) & 127) * 1024;
            int32_t fy = v & 0xFFFF;
            int32_t u = u0;
            uint8_t* out = view.PixelAddress(left, top + y, 0);
            for (int x = 0; x < w; x++) {
                u += du;
                int c0 = (u >> 16) & 1023, c1 = (c0 + 1) & 1023;
                int32_t fx = u & 0xFFFF;
                int32_t upper = r0[c0] + (((r0[c1] - r0[c0]) * fx) >> 16);
                int32_t lower = r1[c0] + (((r1[c1] - r1[c0]) * fx) >> 16);
                out[x] = (uint8_t)(upper + (((lower - upper) * fy) >> 16));
            }
            v += dv;
        }
    }
    display.Unlock();
}

// ---- sShadeRectEffect, sPaletteFadeEffect, sFrameEffect -------------------------------

void sShadeRectEffect::Draw(sDisplay& display, float) {
    ShadeRectangle(display, x0, y0, x1, y1);
}

void sPaletteFadeEffect::Draw(sDisplay&, float) {
    if (!(FAbs(level - lastLevel) > 0.02)) return;
    for (int i = (int)first; i < (int)(last + 1.0f); i++) {
        float s = (i - first) / (last - first);
        float g = 1.0f - (1.0f - s) * (1.0f - s); // eases out towards the last entry
        uint8_t* out[3] = {&demoPalette[i].r, &demoPalette[i].g, &demoPalette[i].b};
        for (int c = 0; c < 3; c++) {
            float ramp = colorA[c] + (colorB[c] - colorA[c]) * g;
            *out[c] = (uint8_t)(int)(fade[c] + (ramp - fade[c]) * level);
        }
        shadeTable[i] = (uint8_t)((demoPalette[i].r * 16) / 255);
    }
    paletteDirty = true;
    lastLevel = level;
}

void sFrameEffect::Draw(sDisplay& display, float) {
    if (grow < 0.001f) return;
    float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    float l = (cx - 1.0f) + grow * ((x0 - 2.0f) - (cx - 1.0f));
    float r = (cx + 1.0f) + grow * ((x1 + 2.0f) - (cx + 1.0f));
    float t = (cy - 1.0f) + grow * ((y0 - 2.0f) - (cy - 1.0f));
    float b = (cy + 1.0f) + grow * ((y1 + 2.0f) - (cy + 1.0f));
    ShadeRectangle(display, l, t, r, t + 2.0f);
    ShadeRectangle(display, l, b - 2.0f, r, b);
    ShadeRectangle(display, l, t + 1.0f, l + 2.0f, b - 1.0f);
    ShadeRectangle(display, r - 2.0f, t + 1.0f, r, b - 1.0f);
}
