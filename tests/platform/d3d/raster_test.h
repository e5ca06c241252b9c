// A Direct3D device on a small off-screen target, with helpers to draw vertices and read
// back pixels: the bench for the rasterizer tests.
#ifndef PRISMATEL_D3D_RASTER_TEST_H
#define PRISMATEL_D3D_RASTER_TEST_H

#include <gtest/gtest.h>
#include <d3d.h>
#include <ddraw.h>

#include <vector>

#include "support/headless_machine.h"
#include "machine/machine.h"

namespace rastertest {

inline DDPIXELFORMAT Rgb(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a = 0) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
}
inline DDPIXELFORMAT Format565() {
    return Rgb(16, 0xF800, 0x07E0, 0x001F);
}
inline DDPIXELFORMAT Format1555() {
    return Rgb(16, 0x7C00, 0x03E0, 0x001F, 0x8000);
}
inline DDPIXELFORMAT Format4444() {
    return Rgb(16, 0x0F00, 0x00F0, 0x000F, 0xF000);
}
inline DDPIXELFORMAT Format8888() {
    return Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
}
inline DDPIXELFORMAT Format0888() {
    return Rgb(32, 0xFF0000, 0xFF00, 0xFF);
}

inline D3DTLVERTEX Vertex(float x, float y, DWORD color = 0xFFFFFFFF, float z = 0.5f, float u = 0,
                          float v = 0, float rhw = 1) {
    D3DTLVERTEX t = {};
    t.sx = x;
    t.sy = y;
    t.sz = z;
    t.rhw = rhw;
    t.color = color;
    t.tu = u;
    t.tv = v;
    return t;
}

class Raster : public ::testing::Test {
protected:
    void TearDown() override;

    // A target of w x h in the format, with a Z-buffer of zBits (0 for none), and a device
    // in a scene on it; culling off, as the driver sets it.
    void Open(DWORD w, DWORD h, const DDPIXELFORMAT& format, DWORD zBits = 0);
    // A texture surface filled row by row from raw pixel values; returns its handle.
    D3DTEXTUREHANDLE Texture(DWORD w, DWORD h, const DDPIXELFORMAT& format,
                             const std::vector<DWORD>& raw);

    void State(D3DRENDERSTATETYPE s, DWORD v) { ASSERT_EQ(D3D_OK, device->SetRenderState(s, v)); }
    HRESULT Draw(D3DPRIMITIVETYPE type, std::vector<D3DTLVERTEX> v);
    // The quad (x0, y0)-(x1, y1) as a strip of two triangles, u and v spanning 0..1.
    void Quad(float x0, float y0, float x1, float y1, DWORD color = 0xFFFFFFFF, float z = 0.5f);

    DWORD Pixel(int x, int y) { return Read(target, x, y); }
    DWORD Depth(int x, int y) { return Read(zBuffer, x, y); }
    void Fill(DWORD raw);    // every target pixel
    int CountNot(DWORD raw); // target pixels that differ from raw

    IDirectDraw* dd1 = nullptr;
    IDirectDraw2* dd = nullptr;
    IDirect3D2* d3d = nullptr;
    IDirect3DDevice2* device = nullptr;
    IDirectDrawSurface* target = nullptr;
    IDirectDrawSurface* zBuffer = nullptr;
    std::vector<IDirectDrawSurface*> textures;
    std::vector<IDirect3DTexture2*> textureObjects;
    DWORD width = 0, height = 0;

private:
    DWORD Read(IDirectDrawSurface* s, int x, int y);
};

} // namespace rastertest

#endif
