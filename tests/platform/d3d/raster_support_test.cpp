#include "raster_test.h"

#include <string.h>

namespace rastertest {

namespace {

DDSURFACEDESC Desc(DWORD caps, DWORD w, DWORD h) {
    DDSURFACEDESC d = {};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = w;
    d.dwHeight = h;
    d.ddsCaps.dwCaps = caps;
    return d;
}

} // namespace

void Raster::Open(DWORD w, DWORD h, const DDPIXELFORMAT& format, DWORD zBits) {
    StartHeadlessMachine(60);
    width = w;
    height = h;
    ASSERT_EQ(DD_OK, DirectDrawCreate(NULL, &dd1, NULL));
    ASSERT_EQ(S_OK, dd1->QueryInterface(IID_IDirectDraw2, (void**)&dd));
    DDSURFACEDESC d = Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY, w, h);
    d.dwFlags |= DDSD_PIXELFORMAT;
    d.ddpfPixelFormat = format;
    ASSERT_EQ(DD_OK, dd->CreateSurface(&d, &target, NULL));
    if (zBits) {
        DDSURFACEDESC z = Desc(DDSCAPS_ZBUFFER, w, h);
        z.dwFlags |= DDSD_ZBUFFERBITDEPTH;
        z.dwZBufferBitDepth = zBits;
        ASSERT_EQ(DD_OK, dd->CreateSurface(&z, &zBuffer, NULL));
        ASSERT_EQ(DD_OK, target->AddAttachedSurface(zBuffer));
    }
    ASSERT_EQ(S_OK, dd->QueryInterface(IID_IDirect3D2, (void**)&d3d));
    ASSERT_EQ(D3D_OK, d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device));
    ASSERT_EQ(D3D_OK, device->BeginScene());
    State(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
}

void Raster::TearDown() {
    if (device) {
        device->EndScene();
        device->Release();
    }
    for (IDirect3DTexture2* t : textureObjects) t->Release();
    for (IDirectDrawSurface* s : textures) s->Release();
    if (zBuffer) zBuffer->Release();
    if (target) target->Release();
    if (d3d) d3d->Release();
    if (dd) dd->Release();
    if (dd1) dd1->Release();
}

D3DTEXTUREHANDLE Raster::Texture(DWORD w, DWORD h, const DDPIXELFORMAT& format,
                                 const std::vector<DWORD>& raw) {
    DDSURFACEDESC d = Desc(DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY, w, h);
    d.dwFlags |= DDSD_PIXELFORMAT;
    d.ddpfPixelFormat = format;
    IDirectDrawSurface* s = nullptr;
    EXPECT_EQ(DD_OK, dd->CreateSurface(&d, &s, NULL));
    if (!s) return 0;
    textures.push_back(s);
    DDSURFACEDESC locked = {};
    locked.dwSize = sizeof locked;
    EXPECT_EQ(DD_OK, s->Lock(NULL, &locked, DDLOCK_WAIT, NULL));
    int bytes = (int)format.dwRGBBitCount / 8;
    for (DWORD y = 0; y < h; y++)
        for (DWORD x = 0; x < w; x++)
            memcpy((uint8_t*)locked.lpSurface + y * locked.lPitch + x * bytes, &raw[y * w + x],
                   bytes);
    s->Unlock(NULL);
    IDirect3DTexture2* t = nullptr;
    EXPECT_EQ(S_OK, s->QueryInterface(IID_IDirect3DTexture2, (void**)&t));
    if (!t) return 0;
    textureObjects.push_back(t);
    D3DTEXTUREHANDLE handle = 0;
    EXPECT_EQ(D3D_OK, t->GetHandle(device, &handle));
    return handle;
}

HRESULT Raster::Draw(D3DPRIMITIVETYPE type, std::vector<D3DTLVERTEX> v) {
    return device->DrawPrimitive(type, D3DVT_TLVERTEX, v.data(), (DWORD)v.size(),
                                 D3DDP_WAIT | D3DDP_DONOTCLIP | D3DDP_DONOTUPDATEEXTENTS);
}

void Raster::Quad(float x0, float y0, float x1, float y1, DWORD color, float z) {
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLESTRIP,
                           {Vertex(x0, y0, color, z, 0, 0), Vertex(x1, y0, color, z, 1, 0),
                            Vertex(x0, y1, color, z, 0, 1), Vertex(x1, y1, color, z, 1, 1)}));
}

DWORD Raster::Read(IDirectDrawSurface* s, int x, int y) {
    DDSURFACEDESC d = {};
    d.dwSize = sizeof d;
    if (s->Lock(NULL, &d, DDLOCK_WAIT, NULL) != DD_OK) {
        ADD_FAILURE() << "surface would not lock";
        return 0xDEADBEEF;
    }
    int bytes = (int)d.ddpfPixelFormat.dwRGBBitCount / 8;
    DWORD v = 0;
    memcpy(&v, (uint8_t*)d.lpSurface + y * d.lPitch + x * bytes, bytes);
    s->Unlock(NULL);
    return v;
}

void Raster::Fill(DWORD raw) {
    DDBLTFX fx = {};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = raw;
    ASSERT_EQ(DD_OK, target->Blt(NULL, NULL, NULL, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
}

int Raster::CountNot(DWORD raw) {
    int n = 0;
    for (DWORD y = 0; y < height; y++)
        for (DWORD x = 0; x < width; x++) n += Pixel((int)x, (int)y) != raw;
    return n;
}

} // namespace rastertest
