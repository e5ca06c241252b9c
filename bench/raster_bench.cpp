// The rasterizer's fill rate: textured, Gouraud-shaded, depth-tested triangles of about
// 1,000 pixels into a 640 x 480 16-bit target, reported as pixels per second.
#include <benchmark/benchmark.h>

#include <d3d.h>
#include <ddraw.h>

#include "support/headless_machine.h"
#include "machine/machine.h"

#include <string.h>

#include <vector>

namespace {

const int TRIANGLE_LEG = 45; // a right triangle of 45 x 45 covers about 1,000 pixels
const int TEXTURE_SIZE = 64;

DDPIXELFORMAT Format565() {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB;
    f.dwRGBBitCount = 16;
    f.dwRBitMask = 0xF800;
    f.dwGBitMask = 0x07E0;
    f.dwBBitMask = 0x001F;
    return f;
}

DDSURFACEDESC Desc(DWORD caps, DWORD w, DWORD h) {
    DDSURFACEDESC d = {};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = w;
    d.dwHeight = h;
    d.ddsCaps.dwCaps = caps;
    return d;
}

// A device on a 640 x 480 0565 target with a 16-bit Z-buffer and a 64 x 64 texture,
// in a scene, set up as the driver's mode word 0x33 sets it.
struct Scene {
    IDirectDraw* dd1 = nullptr;
    IDirectDraw2* dd = nullptr;
    IDirect3D2* d3d = nullptr;
    IDirect3DDevice2* device = nullptr;
    IDirectDrawSurface* target = nullptr;
    IDirectDrawSurface* z = nullptr;
    IDirectDrawSurface* texture = nullptr;
    IDirect3DTexture2* textureObject = nullptr;

    explicit Scene(bool bilinear) {
        StartHeadlessMachine(60);
        DirectDrawCreate(NULL, &dd1, NULL);
        dd1->QueryInterface(IID_IDirectDraw2, (void**)&dd);
        DDSURFACEDESC d =
            Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY, 640, 480);
        d.dwFlags |= DDSD_PIXELFORMAT;
        d.ddpfPixelFormat = Format565();
        dd->CreateSurface(&d, &target, NULL);
        DDSURFACEDESC zd = Desc(DDSCAPS_ZBUFFER, 640, 480);
        zd.dwFlags |= DDSD_ZBUFFERBITDEPTH;
        zd.dwZBufferBitDepth = 16;
        dd->CreateSurface(&zd, &z, NULL);
        target->AddAttachedSurface(z);
        dd->QueryInterface(IID_IDirect3D2, (void**)&d3d);
        d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device);
        MakeTexture();
        D3DTEXTUREHANDLE handle = 0;
        textureObject->GetHandle(device, &handle);
        device->BeginScene();
        device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, TRUE);
        device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
        device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, handle);
        device->SetRenderState(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_MODULATE);
        device->SetRenderState(D3DRENDERSTATE_TEXTUREMAG,
                               bilinear ? D3DFILTER_LINEAR : D3DFILTER_NEAREST);
        device->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
        device->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, TRUE);
        device->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_GREATEREQUAL);
    }

    void MakeTexture() {
        DDSURFACEDESC d = Desc(DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY, TEXTURE_SIZE, TEXTURE_SIZE);
        d.dwFlags |= DDSD_PIXELFORMAT;
        d.ddpfPixelFormat = Format565();
        dd->CreateSurface(&d, &texture, NULL);
        DDSURFACEDESC locked = {};
        locked.dwSize = sizeof locked;
        texture->Lock(NULL, &locked, DDLOCK_WAIT, NULL);
        for (int y = 0; y < TEXTURE_SIZE; y++)
            for (int x = 0; x < TEXTURE_SIZE; x++) {
                uint16_t v = (uint16_t)(x * 997 + y * 131);
                memcpy((uint8_t*)locked.lpSurface + y * locked.lPitch + x * 2, &v, 2);
            }
        texture->Unlock(NULL);
        texture->QueryInterface(IID_IDirect3DTexture2, (void**)&textureObject);
    }

    ~Scene() {
        device->EndScene();
        device->Release();
        textureObject->Release();
        texture->Release();
        z->Release();
        target->Release();
        d3d->Release();
        dd->Release();
        dd1->Release();
    }
};

D3DTLVERTEX Vertex(float x, float y, float z, float rhw, DWORD color, float u, float v) {
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

void ClearDepth(Scene& scene) {
    DDBLTFX fx = {};
    fx.dwSize = sizeof fx;
    fx.dwFillDepth = 0;
    scene.z->Blt(NULL, NULL, NULL, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx);
}

// A screen of triangles per iteration over a cleared Z-buffer, so that every pixel passes
// the test and is written: the full cost of each pixel.
void FillRate(benchmark::State& state, bool bilinear) {
    Scene scene(bilinear);
    const int columns = 640 / TRIANGLE_LEG, rows = 480 / TRIANGLE_LEG;
    int64_t triangles = 0;
    const float depth = 0.5f;
    for (auto _ : state) {
        ClearDepth(scene);
        for (int r = 0; r < rows; r++)
            for (int c = 0; c < columns; c++) {
                float x = c * TRIANGLE_LEG + 0.3f, y = r * TRIANGLE_LEG + 0.6f;
                D3DTLVERTEX v[3] = {Vertex(x, y, depth, 1.0f, 0xFFFF8040, 0, 0),
                                    Vertex(x + TRIANGLE_LEG, y, depth, 0.5f, 0xFF40FF80, 1.5f, 0),
                                    Vertex(x, y + TRIANGLE_LEG, depth, 0.75f, 0xFF8040FF, 0, 1.5f)};
                scene.device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DVT_TLVERTEX, v, 3,
                                            D3DDP_WAIT | D3DDP_DONOTCLIP);
                triangles++;
            }
    }
    // Pixel centres strictly inside a right triangle of legs n: n (n - 1) / 2.
    double perTriangle = TRIANGLE_LEG * (TRIANGLE_LEG - 1) / 2.0;
    state.counters["pixels"] =
        benchmark::Counter((double)triangles * perTriangle, benchmark::Counter::kIsRate);
    state.counters["triangles"] =
        benchmark::Counter((double)triangles, benchmark::Counter::kIsRate);
}

void BM_TexturedGouraudZ16PointSampled(benchmark::State& state) {
    FillRate(state, false);
}
BENCHMARK(BM_TexturedGouraudZ16PointSampled)->Unit(benchmark::kMillisecond);

void BM_TexturedGouraudZ16Bilinear(benchmark::State& state) {
    FillRate(state, true);
}
BENCHMARK(BM_TexturedGouraudZ16Bilinear)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
