// IDirect3D2: device enumeration and creation of devices, viewports and materials.
#include "device.h"

#include "machine/unsupported.h"
#include "machine/video_card.h"

#include <string.h>

namespace ddsoft {
namespace {

class Direct3D final : public IDirect3D2 {
public:
    explicit Direct3D(IDirectDraw2* directDraw) : owner(directDraw) { owner->AddRef(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDirect3D2) return E_NOINTERFACE;
        AddRef();
        *object = static_cast<IDirect3D2*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs;
        if (!left) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE EnumDevices(LPD3DENUMDEVICESCALLBACK callback,
                                          LPVOID context) override {
        if (!callback) return DDERR_INVALIDPARAMS;
        // Copies: the callback may keep the strings, and the card may not change under it.
        // Never destroyed: a process ending on another thread must not free them under
        // a thread still enumerating.
        static std::vector<video::DeviceSpec>& offered = *new std::vector<video::DeviceSpec>;
        offered = video::Card().devices;
        for (video::DeviceSpec& d : offered) {
            GUID guid = d.guid;
            D3DDEVICEDESC hardware = d.hardware, emulation = d.emulation;
            if (callback(&guid, &d.description[0], &d.name[0], &hardware, &emulation, context) ==
                D3DENUMRET_CANCEL)
                break;
        }
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateLight(LPDIRECT3DLIGHT*, IUnknown*) override {
        return machine::Unsupported("IDirect3D2::CreateLight", DDERR_UNSUPPORTED);
    }
    HRESULT STDMETHODCALLTYPE CreateMaterial(LPDIRECT3DMATERIAL2* material, IUnknown*) override {
        if (!material) return DDERR_INVALIDPARAMS;
        *material = new Material;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateViewport(LPDIRECT3DVIEWPORT2* viewport, IUnknown*) override {
        if (!viewport) return DDERR_INVALIDPARAMS;
        *viewport = new Viewport;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE FindDevice(LPD3DFINDDEVICESEARCH, LPD3DFINDDEVICERESULT) override {
        return machine::Unsupported("IDirect3D2::FindDevice", DDERR_UNSUPPORTED);
    }
    HRESULT STDMETHODCALLTYPE CreateDevice(REFCLSID type, LPDIRECTDRAWSURFACE surface,
                                           LPDIRECT3DDEVICE2* device) override {
        if (!device) return DDERR_INVALIDPARAMS;
        *device = nullptr;
        Surface* target = Surface::From(surface);
        if (!target) return DDERR_INVALIDPARAMS;
        if (!(target->Caps() & DDSCAPS_3DDEVICE)) return DDERR_INVALIDCAPS;
        const video::DeviceSpec* spec = Find(type);
        if (!spec) return D3DERR_INVALID_DEVICE;
        // In the order Windows checks them: an 8-bit target needs its palette whatever the
        // device; hardware renders only into video memory; a depth the device does not
        // list is the wrong pixel format.
        if (target->BitsPerPixel() == 8 && !target->PaletteInForce())
            return DDERR_NOPALETTEATTACHED;
        bool hardware = spec->hardware.dcmColorModel != 0;
        if (hardware && !target->InVideoMemory()) return D3DERR_SURFACENOTINVIDMEM;
        const D3DDEVICEDESC& desc = hardware ? spec->hardware : spec->emulation;
        DWORD bits = target->BitsPerPixel();
        DWORD depthFlag = bits == 8    ? DDBD_8
                          : bits == 16 ? DDBD_16
                          : bits == 24 ? DDBD_24
                                       : DDBD_32;
        if (!(desc.dwDeviceRenderBitDepth & depthFlag)) return DDERR_INVALIDPIXELFORMAT;
        *device = new Device(this, target, type);
        return D3D_OK;
    }

private:
    ~Direct3D() { owner->Release(); }

    static const video::DeviceSpec* Find(const GUID& type) {
        for (const video::DeviceSpec& d : video::Card().devices)
            if (d.guid == type) return &d;
        return nullptr;
    }

    std::atomic<ULONG> refs{1};
    IDirectDraw2* owner;
};

} // namespace

HRESULT CreateDirect3D(IDirectDraw2* owner, void** object) {
    *object = static_cast<IDirect3D2*>(new Direct3D(owner));
    return S_OK;
}

// ---- the device ----------------------------------------------------------------------

Device::Device(IDirect3D2* direct3D, Surface* renderTarget, const GUID& deviceType)
    : owner(direct3D), target(renderTarget), type(deviceType) {
    owner->AddRef();
    target->AddRef();
    stats.dwSize = sizeof(stats);
    // Direct3D 5's documented defaults for the states the engine relies on.
    renderStates[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = FALSE;
    renderStates[D3DRENDERSTATE_ZENABLE] = target->AttachedZ() ? TRUE : FALSE;
    renderStates[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
    renderStates[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    renderStates[D3DRENDERSTATE_ZWRITEENABLE] = TRUE;
    renderStates[D3DRENDERSTATE_TEXTUREMAG] = D3DFILTER_NEAREST;
    renderStates[D3DRENDERSTATE_TEXTUREMIN] = D3DFILTER_NEAREST;
    renderStates[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
    renderStates[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
    renderStates[D3DRENDERSTATE_TEXTUREMAPBLEND] = D3DTBLEND_MODULATE;
    renderStates[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
    renderStates[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
    renderStates[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
}

Device::~Device() {
    for (Viewport* v : viewports) {
        v->device = nullptr;
        v->Release();
    }
    target->Release();
    owner->Release();
}

HRESULT Device::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDirect3DDevice2) return E_NOINTERFACE;
    AddRef();
    *object = static_cast<IDirect3DDevice2*>(this);
    return S_OK;
}

ULONG Device::AddRef() {
    return ++refs;
}

ULONG Device::Release() {
    ULONG left = --refs;
    if (!left) delete this;
    return left;
}

HRESULT Device::GetCaps(LPD3DDEVICEDESC hardwareDesc, LPD3DDEVICEDESC emulationDesc) {
    for (const video::DeviceSpec& d : video::Card().devices) {
        if (d.guid != type) continue;
        if (hardwareDesc) *hardwareDesc = d.hardware;
        if (emulationDesc) *emulationDesc = d.emulation;
        return D3D_OK;
    }
    return D3DERR_INVALID_DEVICE;
}

HRESULT Device::GetStats(LPD3DSTATS out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = stats;
    return D3D_OK;
}

HRESULT Device::AddViewport(LPDIRECT3DVIEWPORT2 viewport) {
    Viewport* v = static_cast<Viewport*>(viewport);
    if (!v) return DDERR_INVALIDPARAMS;
    if (v->device) return DDERR_INVALIDPARAMS; // belongs to a device already
    v->AddRef();
    v->device = this;
    viewports.push_back(v);
    return D3D_OK;
}

HRESULT Device::DeleteViewport(LPDIRECT3DVIEWPORT2 viewport) {
    for (size_t i = 0; i < viewports.size(); i++) {
        if (viewports[i] != viewport) continue;
        Viewport* v = viewports[i];
        viewports.erase(viewports.begin() + i);
        if (current == v) current = nullptr;
        v->device = nullptr;
        v->Release();
        return D3D_OK;
    }
    return DDERR_INVALIDPARAMS;
}

HRESULT Device::NextViewport(LPDIRECT3DVIEWPORT2, LPDIRECT3DVIEWPORT2*, DWORD) {
    return machine::Unsupported("IDirect3DDevice2::NextViewport", DDERR_UNSUPPORTED);
}

HRESULT Device::EnumTextureFormats(LPD3DENUMTEXTUREFORMATSCALLBACK callback, LPVOID context) {
    if (!callback) return DDERR_INVALIDPARAMS;
    std::vector<DDPIXELFORMAT> formats = video::Card().textureFormats;
    for (const DDPIXELFORMAT& f : formats) {
        DDSURFACEDESC d = {};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_CAPS | DDSD_PIXELFORMAT;
        d.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        d.ddpfPixelFormat = f;
        if (callback(&d, context) == D3DENUMRET_CANCEL) break;
    }
    return D3D_OK;
}

HRESULT Device::BeginScene() {
    if (inScene) return D3DERR_SCENE_IN_SCENE;
    if (target->Lost()) return DDERR_SURFACELOST;
    inScene = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    if (!inScene) return D3DERR_SCENE_NOT_IN_SCENE;
    inScene = false;
    return D3D_OK;
}

HRESULT Device::GetDirect3D(LPDIRECT3D2* out) {
    if (!out) return DDERR_INVALIDPARAMS;
    owner->AddRef();
    *out = owner;
    return D3D_OK;
}

HRESULT Device::SetCurrentViewport(LPDIRECT3DVIEWPORT2 viewport) {
    Viewport* v = static_cast<Viewport*>(viewport);
    if (!v || v->device != this) return D3DERR_INVALIDCURRENTVIEWPORT;
    current = v;
    return D3D_OK;
}

HRESULT Device::GetCurrentViewport(LPDIRECT3DVIEWPORT2* out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = current;
    if (!current) return D3DERR_NOCURRENTVIEWPORT;
    current->AddRef();
    return D3D_OK;
}

HRESULT Device::SetRenderTarget(LPDIRECTDRAWSURFACE, DWORD) {
    return machine::Unsupported("IDirect3DDevice2::SetRenderTarget", DDERR_UNSUPPORTED);
}

HRESULT Device::GetRenderTarget(LPDIRECTDRAWSURFACE* out) {
    if (!out) return DDERR_INVALIDPARAMS;
    target->AddRef();
    *out = target;
    return D3D_OK;
}

// A state arrives as whatever number the caller cast: checked as an int, since an enum's
// value range lets a compiler (clang) drop the check on the enum itself.
static bool ValidState(int state, int count) {
    return state > 0 && state < count;
}

DWORD Device::RenderState(D3DRENDERSTATETYPE state) const {
    return ValidState(state, RENDER_STATE_COUNT) ? renderStates[state] : 0;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) {
    if (!value || !ValidState(state, RENDER_STATE_COUNT)) return DDERR_INVALIDPARAMS;
    *value = renderStates[state];
    return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (!ValidState(state, RENDER_STATE_COUNT)) return DDERR_INVALIDPARAMS;
    renderStates[state] = value;
    return D3D_OK;
}

HRESULT Device::GetLightState(D3DLIGHTSTATETYPE state, LPDWORD value) {
    if (!value || !ValidState(state, LIGHT_STATE_COUNT)) return DDERR_INVALIDPARAMS;
    *value = lightStates[state];
    return D3D_OK;
}

HRESULT Device::SetLightState(D3DLIGHTSTATETYPE state, DWORD value) {
    if (!ValidState(state, LIGHT_STATE_COUNT)) return DDERR_INVALIDPARAMS;
    lightStates[state] = value;
    return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE primitive, D3DVERTEXTYPE vertexType, LPVOID vertices,
                              DWORD count, DWORD flags) {
    if (!inScene) return D3DERR_SCENE_NOT_IN_SCENE;
    if (vertexType != D3DVT_TLVERTEX) return D3DERR_INVALIDVERTEXTYPE;
    if (primitive < D3DPT_POINTLIST || primitive > D3DPT_TRIANGLEFAN)
        return D3DERR_INVALIDPRIMITIVETYPE;
    if (!vertices && count) return DDERR_INVALIDPARAMS;
    if (target->Lost()) return DDERR_SURFACELOST;
    if (target->Locked()) return DDERR_SURFACEBUSY;
    if (primitive >= D3DPT_TRIANGLELIST && count >= 3)
        stats.dwTrianglesDrawn += primitive == D3DPT_TRIANGLELIST ? count / 3 : count - 2;
    stats.dwVerticesProcessed += count;
    return RasterizePrimitive(*this, primitive, vertexType, vertices, count, flags);
}

// Immediate mode of Direct3D 5 that the engine never uses.
HRESULT Device::SwapTextureHandles(LPDIRECT3DTEXTURE2, LPDIRECT3DTEXTURE2) {
    return machine::Unsupported("IDirect3DDevice2::SwapTextureHandles", DDERR_UNSUPPORTED);
}
HRESULT Device::Begin(D3DPRIMITIVETYPE, D3DVERTEXTYPE, DWORD) {
    return machine::Unsupported("IDirect3DDevice2::Begin", DDERR_UNSUPPORTED);
}
HRESULT Device::BeginIndexed(D3DPRIMITIVETYPE, D3DVERTEXTYPE, LPVOID, DWORD, DWORD) {
    return machine::Unsupported("IDirect3DDevice2::BeginIndexed", DDERR_UNSUPPORTED);
}
HRESULT Device::Vertex(LPVOID) {
    return machine::Unsupported("IDirect3DDevice2::Vertex", DDERR_UNSUPPORTED);
}
HRESULT Device::Index(WORD) {
    return machine::Unsupported("IDirect3DDevice2::Index", DDERR_UNSUPPORTED);
}
HRESULT Device::End(DWORD) {
    return machine::Unsupported("IDirect3DDevice2::End", DDERR_UNSUPPORTED);
}
HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE, LPD3DMATRIX) {
    return machine::Unsupported("IDirect3DDevice2::SetTransform", DDERR_UNSUPPORTED);
}
HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE, LPD3DMATRIX) {
    return machine::Unsupported("IDirect3DDevice2::GetTransform", DDERR_UNSUPPORTED);
}
HRESULT Device::MultiplyTransform(D3DTRANSFORMSTATETYPE, LPD3DMATRIX) {
    return machine::Unsupported("IDirect3DDevice2::MultiplyTransform", DDERR_UNSUPPORTED);
}
HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE, D3DVERTEXTYPE, LPVOID, DWORD, LPWORD, DWORD,
                                     DWORD) {
    return machine::Unsupported("IDirect3DDevice2::DrawIndexedPrimitive", DDERR_UNSUPPORTED);
}
HRESULT Device::SetClipStatus(LPD3DCLIPSTATUS) {
    return machine::Unsupported("IDirect3DDevice2::SetClipStatus", DDERR_UNSUPPORTED);
}
HRESULT Device::GetClipStatus(LPD3DCLIPSTATUS) {
    return machine::Unsupported("IDirect3DDevice2::GetClipStatus", DDERR_UNSUPPORTED);
}

} // namespace ddsoft
