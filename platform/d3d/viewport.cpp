// IDirect3DViewport2 and IDirect3DMaterial2: recorded settings and material handles.
#include "device.h"

#include "machine/unsupported.h"

#include <map>

namespace ddsoft {
namespace {

std::map<D3DMATERIALHANDLE, Material*>& Handles() {
    static auto* handles = new std::map<D3DMATERIALHANDLE, Material*>; // outlives exit handlers
    return *handles;
}

D3DMATERIALHANDLE nextHandle = 1;

} // namespace

Material* MaterialFromHandle(D3DMATERIALHANDLE handle) {
    auto it = Handles().find(handle);
    return it == Handles().end() ? nullptr : it->second;
}

// ---- viewport --------------------------------------------------------------------------

HRESULT Viewport::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDirect3DViewport2) return E_NOINTERFACE;
    AddRef();
    *object = static_cast<IDirect3DViewport2*>(this);
    return S_OK;
}

ULONG Viewport::AddRef() {
    return ++refs;
}

ULONG Viewport::Release() {
    ULONG left = --refs;
    if (!left) delete this;
    return left;
}

HRESULT Viewport::Initialize(LPDIRECT3D2) {
    return DDERR_ALREADYINITIALIZED;
}

HRESULT Viewport::SetViewport2(LPD3DVIEWPORT2 in) {
    if (!in || in->dwSize != sizeof(D3DVIEWPORT2)) return DDERR_INVALIDPARAMS;
    if (!device) return D3DERR_VIEWPORTHASNODEVICE;
    if (in->dvClipWidth <= 0 || in->dvClipHeight <= 0 || in->dvMinZ > in->dvMaxZ)
        return DDERR_INVALIDPARAMS;
    data = *in;
    hasData = true;
    return D3D_OK;
}

HRESULT Viewport::GetViewport2(LPD3DVIEWPORT2 out) {
    if (!out || out->dwSize != sizeof(D3DVIEWPORT2)) return DDERR_INVALIDPARAMS;
    *out = data;
    return D3D_OK;
}

HRESULT Viewport::SetBackground(D3DMATERIALHANDLE material) {
    if (!MaterialFromHandle(material)) return DDERR_INVALIDPARAMS;
    background = material;
    return D3D_OK;
}

HRESULT Viewport::GetBackground(LPD3DMATERIALHANDLE material, LPBOOL valid) {
    if (!material || !valid) return DDERR_INVALIDPARAMS;
    *material = background;
    *valid = background != 0;
    return D3D_OK;
}

// What the engine does not use.
HRESULT Viewport::GetViewport(LPD3DVIEWPORT) {
    return machine::Unsupported("IDirect3DViewport2::GetViewport", DDERR_UNSUPPORTED);
}
HRESULT Viewport::SetViewport(LPD3DVIEWPORT) {
    return machine::Unsupported("IDirect3DViewport2::SetViewport", DDERR_UNSUPPORTED);
}
HRESULT Viewport::TransformVertices(DWORD, LPVOID, DWORD, LPDWORD) {
    return machine::Unsupported("IDirect3DViewport2::TransformVertices", DDERR_UNSUPPORTED);
}
HRESULT Viewport::LightElements(DWORD, LPVOID) {
    return machine::Unsupported("IDirect3DViewport2::LightElements", DDERR_UNSUPPORTED);
}
HRESULT Viewport::SetBackgroundDepth(LPDIRECTDRAWSURFACE) {
    return machine::Unsupported("IDirect3DViewport2::SetBackgroundDepth", DDERR_UNSUPPORTED);
}
HRESULT Viewport::GetBackgroundDepth(LPDIRECTDRAWSURFACE*, LPBOOL) {
    return machine::Unsupported("IDirect3DViewport2::GetBackgroundDepth", DDERR_UNSUPPORTED);
}
HRESULT Viewport::Clear(DWORD, LPD3DRECT, DWORD) {
    return machine::Unsupported("IDirect3DViewport2::Clear", DDERR_UNSUPPORTED);
}
HRESULT Viewport::AddLight(LPDIRECT3DLIGHT) {
    return machine::Unsupported("IDirect3DViewport2::AddLight", DDERR_UNSUPPORTED);
}
HRESULT Viewport::DeleteLight(LPDIRECT3DLIGHT) {
    return machine::Unsupported("IDirect3DViewport2::DeleteLight", DDERR_UNSUPPORTED);
}
HRESULT Viewport::NextLight(LPDIRECT3DLIGHT, LPDIRECT3DLIGHT*, DWORD) {
    return machine::Unsupported("IDirect3DViewport2::NextLight", DDERR_UNSUPPORTED);
}

// ---- material --------------------------------------------------------------------------

Material::~Material() {
    if (handle) Handles().erase(handle);
}

HRESULT Material::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDirect3DMaterial2) return E_NOINTERFACE;
    AddRef();
    *object = static_cast<IDirect3DMaterial2*>(this);
    return S_OK;
}

ULONG Material::AddRef() {
    return ++refs;
}

ULONG Material::Release() {
    ULONG left = --refs;
    if (!left) delete this;
    return left;
}

HRESULT Material::SetMaterial(LPD3DMATERIAL in) {
    if (!in || in->dwSize != sizeof(D3DMATERIAL)) return DDERR_INVALIDPARAMS;
    data = *in;
    return D3D_OK;
}

HRESULT Material::GetMaterial(LPD3DMATERIAL out) {
    if (!out || out->dwSize != sizeof(D3DMATERIAL)) return DDERR_INVALIDPARAMS;
    *out = data;
    return D3D_OK;
}

HRESULT Material::GetHandle(LPDIRECT3DDEVICE2 device, LPD3DMATERIALHANDLE out) {
    if (!device || !out) return DDERR_INVALIDPARAMS;
    if (!handle) {
        handle = nextHandle++;
        Handles()[handle] = this;
    }
    *out = handle;
    return D3D_OK;
}

} // namespace ddsoft
