// The software Direct3D 5 objects: IDirect3D2, IDirect3DDevice2, IDirect3DViewport2 and
// IDirect3DMaterial2. Texture objects and the rasterizer build on these.
//
// Direct3D draws on DirectDraw's surfaces, as it does in Windows, where a device renders
// into the surface it was created on and textures are surfaces too: this is the one place
// where a library of the stand-in uses another's internals (ddraw/surface.h).
#ifndef PRISMATEL_D3D_DEVICE_H
#define PRISMATEL_D3D_DEVICE_H

#include <d3d.h>

#include "ddraw/surface.h"

#include <atomic>
#include <vector>

namespace ddsoft {

class Viewport;

const int RENDER_STATE_COUNT = 64;
const int LIGHT_STATE_COUNT = 8;

class Device final : public IDirect3DDevice2 {
public:
    Device(IDirect3D2* owner, Surface* target, const GUID& type);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPD3DDEVICEDESC hardwareDesc,
                                      LPD3DDEVICEDESC emulationDesc) override;
    HRESULT STDMETHODCALLTYPE SwapTextureHandles(LPDIRECT3DTEXTURE2 a,
                                                 LPDIRECT3DTEXTURE2 b) override;
    HRESULT STDMETHODCALLTYPE GetStats(LPD3DSTATS stats) override;
    HRESULT STDMETHODCALLTYPE AddViewport(LPDIRECT3DVIEWPORT2 viewport) override;
    HRESULT STDMETHODCALLTYPE DeleteViewport(LPDIRECT3DVIEWPORT2 viewport) override;
    HRESULT STDMETHODCALLTYPE NextViewport(LPDIRECT3DVIEWPORT2 reference, LPDIRECT3DVIEWPORT2* next,
                                           DWORD flags) override;
    HRESULT STDMETHODCALLTYPE EnumTextureFormats(LPD3DENUMTEXTUREFORMATSCALLBACK callback,
                                                 LPVOID context) override;
    HRESULT STDMETHODCALLTYPE BeginScene() override;
    HRESULT STDMETHODCALLTYPE EndScene() override;
    HRESULT STDMETHODCALLTYPE GetDirect3D(LPDIRECT3D2* direct3D) override;
    HRESULT STDMETHODCALLTYPE SetCurrentViewport(LPDIRECT3DVIEWPORT2 viewport) override;
    HRESULT STDMETHODCALLTYPE GetCurrentViewport(LPDIRECT3DVIEWPORT2* viewport) override;
    HRESULT STDMETHODCALLTYPE SetRenderTarget(LPDIRECTDRAWSURFACE surface, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetRenderTarget(LPDIRECTDRAWSURFACE* surface) override;
    HRESULT STDMETHODCALLTYPE Begin(D3DPRIMITIVETYPE type, D3DVERTEXTYPE vertexType,
                                    DWORD flags) override;
    HRESULT STDMETHODCALLTYPE BeginIndexed(D3DPRIMITIVETYPE type, D3DVERTEXTYPE vertexType,
                                           LPVOID vertices, DWORD count, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Vertex(LPVOID vertex) override;
    HRESULT STDMETHODCALLTYPE Index(WORD index) override;
    HRESULT STDMETHODCALLTYPE End(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) override;
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT STDMETHODCALLTYPE GetLightState(D3DLIGHTSTATETYPE state, LPDWORD value) override;
    HRESULT STDMETHODCALLTYPE SetLightState(D3DLIGHTSTATETYPE state, DWORD value) override;
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state,
                                           LPD3DMATRIX matrix) override;
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE state,
                                           LPD3DMATRIX matrix) override;
    HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE state,
                                                LPD3DMATRIX matrix) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, D3DVERTEXTYPE vertexType,
                                            LPVOID vertices, DWORD count, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE type, D3DVERTEXTYPE vertexType,
                                                   LPVOID vertices, DWORD vertexCount,
                                                   LPWORD indices, DWORD indexCount,
                                                   DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetClipStatus(LPD3DCLIPSTATUS status) override;
    HRESULT STDMETHODCALLTYPE GetClipStatus(LPD3DCLIPSTATUS status) override;

    // For the rasterizer and textures.
    Surface* Target() const { return target; }
    DWORD RenderState(D3DRENDERSTATETYPE state) const;
    bool InScene() const { return inScene; }
    const GUID& Type() const { return type; }
    Viewport* CurrentViewport() const { return current; }

private:
    ~Device();

    std::atomic<ULONG> refs{1};
    IDirect3D2* owner;
    Surface* target;
    GUID type;
    std::vector<Viewport*> viewports;
    Viewport* current = nullptr;
    DWORD renderStates[RENDER_STATE_COUNT] = {};
    DWORD lightStates[LIGHT_STATE_COUNT] = {};
    bool inScene = false;
    D3DSTATS stats = {};
};

class Viewport final : public IDirect3DViewport2 {
public:
    Viewport() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECT3D2 direct3D) override;
    HRESULT STDMETHODCALLTYPE GetViewport(LPD3DVIEWPORT data) override;
    HRESULT STDMETHODCALLTYPE SetViewport(LPD3DVIEWPORT data) override;
    HRESULT STDMETHODCALLTYPE TransformVertices(DWORD count, LPVOID data, DWORD flags,
                                                LPDWORD offscreen) override;
    HRESULT STDMETHODCALLTYPE LightElements(DWORD count, LPVOID data) override;
    HRESULT STDMETHODCALLTYPE SetBackground(D3DMATERIALHANDLE material) override;
    HRESULT STDMETHODCALLTYPE GetBackground(LPD3DMATERIALHANDLE material, LPBOOL valid) override;
    HRESULT STDMETHODCALLTYPE SetBackgroundDepth(LPDIRECTDRAWSURFACE surface) override;
    HRESULT STDMETHODCALLTYPE GetBackgroundDepth(LPDIRECTDRAWSURFACE* surface,
                                                 LPBOOL valid) override;
    HRESULT STDMETHODCALLTYPE Clear(DWORD count, LPD3DRECT rects, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE AddLight(LPDIRECT3DLIGHT light) override;
    HRESULT STDMETHODCALLTYPE DeleteLight(LPDIRECT3DLIGHT light) override;
    HRESULT STDMETHODCALLTYPE NextLight(LPDIRECT3DLIGHT reference, LPDIRECT3DLIGHT* next,
                                        DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetViewport2(LPD3DVIEWPORT2 data) override;
    HRESULT STDMETHODCALLTYPE SetViewport2(LPD3DVIEWPORT2 data) override;

    Device* Owner() const { return device; }
    bool HasData() const { return hasData; }
    const D3DVIEWPORT2& Data() const { return data; }
    D3DMATERIALHANDLE Background() const { return background; }

private:
    friend class Device;
    ~Viewport() = default;

    std::atomic<ULONG> refs{1};
    Device* device = nullptr; // not counted: the device counts the viewport
    D3DVIEWPORT2 data = {};
    bool hasData = false;
    D3DMATERIALHANDLE background = 0;
};

class Material final : public IDirect3DMaterial2 {
public:
    Material() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE SetMaterial(LPD3DMATERIAL data) override;
    HRESULT STDMETHODCALLTYPE GetMaterial(LPD3DMATERIAL data) override;
    HRESULT STDMETHODCALLTYPE GetHandle(LPDIRECT3DDEVICE2 device,
                                        LPD3DMATERIALHANDLE handle) override;

    const D3DMATERIAL& Data() const { return data; }

private:
    ~Material();

    std::atomic<ULONG> refs{1};
    D3DMATERIAL data = {};
    D3DMATERIALHANDLE handle = 0;
};

// The material behind a handle handed out by GetHandle, or null.
Material* MaterialFromHandle(D3DMATERIALHANDLE handle);

// Draws one primitive of transformed-and-lit vertices into the device's target (the
// rasterizer); D3D_OK when drawn or nothing to draw, an error when the target cannot be
// drawn into (an 8-bit one whose palette was taken away, a surface without memory).
HRESULT RasterizePrimitive(Device& device, D3DPRIMITIVETYPE type, D3DVERTEXTYPE vertexType,
                           const void* vertices, DWORD count, DWORD flags);

} // namespace ddsoft

#endif
