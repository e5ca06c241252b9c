// A display that draws into memory: an 8-bit 640 x 480 screen with the operations the
// show's effects use, and a log of the blits they request.
#ifndef TESTS_VD_FAKE_DISPLAY_H
#define TESTS_VD_FAKE_DISPLAY_H

#include "support/null_display.h"

#include <vector>

class FakeDisplay : public NullDisplay {
public:
    static const int W = 640, H = 480;

    FakeDisplay() : pixels(W * H, 0) {}

    uint8_t& At(int x, int y) { return pixels[y * W + x]; }

    std::vector<uint8_t> pixels;
    int locks = 0;
    bool failLock = false;
    struct BlitCall {
        sTexture* texture;
        sBitmap* bitmap;
        sBlitRect rect;
    };
    std::vector<BlitCall> blits;

    void Lock(sBitmap& out) override {
        if (failLock) return;
        locks++;
        out.CreateExternal(W, H, BK_INDEX8, 8, 1);
        out.SetExternalLevel(W, pixels.data(), 0);
    }
    void Unlock() override {}
    void FillRect(unsigned raw, int x0, int y0, int x1, int y1) override {
        for (int y = y0 < 0 ? 0 : y0; y < y1 && y < H; y++)
            for (int x = x0 < 0 ? 0 : x0; x < x1 && x < W; x++) At(x, y) = (uint8_t)raw;
    }
    void VLine(unsigned raw, int x, int y0, int y1) override {
        for (int y = y0; y <= y1; y++) At(x, y) = (uint8_t)raw;
    }
    void HLine(unsigned raw, int x0, int x1, int y) override {
        for (int x = x0; x <= x1; x++) At(x, y) = (uint8_t)raw;
    }
    void Blit(sTexture* t, sBlitRect& r) override { blits.push_back({t, nullptr, r}); }
    void BlitBitmap(sBitmap* b, sBlitRect& r) override { blits.push_back({nullptr, b, r}); }

    using sDisplay::FillRect;
};

#endif
