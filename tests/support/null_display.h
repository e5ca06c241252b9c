// A display whose every operation does nothing: tests derive from it and override what
// they watch.
#ifndef TESTS_SUPPORT_NULL_DISPLAY_H
#define TESTS_SUPPORT_NULL_DISPLAY_H

#include "bitmap.h"
#include "display.h"

class NullDisplay : public sDisplay {
public:
    explicit NullDisplay(int width = 640, int height = 480, int pixelKind = BK_INDEX8) {
        current = sDisplayMode(width, height, pixelKind);
        kind = pixelKind;
    }

    void SetDisplayMode(sDisplayMode&) override {}
    void SetPalette(const sColor*) override {}
    void PrepareTextures(const sDisplayMode&) override {}
    void UploadTextures() override {}
    void TextureHook(int, int) override {}
    int FreeTextures() override { return 0; }
    void BeginFrame(void*) override {}
    void EndFrame() override {}
    void Begin3D(const sRect*) override {}
    void End3D() override {}
    void Lock(sBitmap&) override {}
    void Unlock() override {}
    int GetBufferIndex() override { return 0; }
    void SetMouse(bool, int, int) override {}
    void SetClip(const sRect*) override {}
    void ClearClip() override {}
    void Plot(unsigned, int, int) override {}
    void HLine(unsigned, int, int, int) override {}
    void VLine(unsigned, int, int, int) override {}
    void Line(unsigned, int, int, int, int) override {}
    void FillRect(unsigned, int, int, int, int) override {}
    void FrameRect(unsigned, int, int, int, int) override {}
    void Blit(sTexture*, sBlitRect&) override {}
    void BlitMono(sTexture*, sBlitRect&, unsigned) override {}
    void BlitMono(sTexture*, sBlitRect&, unsigned, unsigned) override {}
    void BlitBitmap(sBitmap*, sBlitRect&) override {}
    sVertex* SetVertexCount(int) override { return nullptr; }
    sVertex* GetVertices(int) override { return nullptr; }
    void SetRenderMode(unsigned) override {}
    void SetTexture(sTexture*) override {}
    void SetColor(int, int, int, int) override {}
    void SetColor(const sColor&) override {}
    void DrawStrip(int) override {}
    void DrawFan(int) override {}
    using sDisplay::FillRect;
    using sDisplay::FrameRect;
};

#endif
