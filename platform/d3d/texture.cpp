#include "texture.h"

#include <string.h>

#include <map>

namespace ddsoft {

namespace {

// Handles are small numbers given out once per surface; 0 means no texture.
std::map<Surface*, D3DTEXTUREHANDLE>& HandleOfSurface() {
    static auto* handles = new std::map<Surface*, D3DTEXTUREHANDLE>; // outlives exit handlers
    return *handles;
}
std::map<D3DTEXTUREHANDLE, Surface*>& SurfaceOfHandle() {
    static auto* surfaces = new std::map<D3DTEXTUREHANDLE, Surface*>; // outlives exit handlers
    return *surfaces;
}

// The IDirect3DTexture2 face of a texture surface; it keeps the surface alive.
class Texture final : public IDirect3DTexture2 {
public:
    explicit Texture(Surface* surface) : surface(surface) { surface->AddRef(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDirect3DTexture2) {
            AddRef();
            *object = static_cast<IDirect3DTexture2*>(this);
            return S_OK;
        }
        return surface->QueryInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs;
        if (!left) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetHandle(LPDIRECT3DDEVICE2 device,
                                        LPD3DTEXTUREHANDLE handle) override {
        if (!device || !handle) return DDERR_INVALIDPARAMS;
        if (!Surface::From(surface)) return DDERR_INVALIDOBJECT;
        auto& handles = HandleOfSurface();
        auto found = handles.find(surface);
        if (found == handles.end()) {
            static D3DTEXTUREHANDLE next = 1;
            found = handles.emplace(surface, next).first;
            SurfaceOfHandle()[next++] = surface;
        }
        *handle = found->second;
        return D3D_OK;
    }

    HRESULT STDMETHODCALLTYPE PaletteChanged(DWORD, DWORD) override { return D3D_OK; }

    // Copies the source texture's picture into this one: same size and pixel layout.
    HRESULT STDMETHODCALLTYPE Load(LPDIRECT3DTEXTURE2 source) override {
        Texture* from = static_cast<Texture*>(source);
        if (!from) return DDERR_INVALIDPARAMS;
        Surface& src = *from->surface;
        Surface& dst = *surface;
        if (!Surface::From(&src) || !Surface::From(&dst)) return DDERR_INVALIDOBJECT;
        if (src.Width() != dst.Width() || src.Height() != dst.Height() ||
            !SameLayout(src.Format(), dst.Format()))
            return DDERR_INVALIDPARAMS;
        if (src.Lost() || dst.Lost()) return DDERR_SURFACELOST;
        size_t rowBytes = (size_t)dst.Width() * dst.BitsPerPixel() / 8;
        for (DWORD y = 0; y < dst.Height(); y++)
            memcpy(dst.Memory() + (size_t)y * dst.Pitch(), src.Memory() + (size_t)y * src.Pitch(),
                   rowBytes);
        return D3D_OK;
    }

private:
    ~Texture() { surface->Release(); }

    std::atomic<ULONG> refs{1};
    Surface* surface;
};

} // namespace

HRESULT QueryTextureInterface(Surface* surface, void** object) {
    *object = static_cast<IDirect3DTexture2*>(new Texture(surface));
    return S_OK;
}

Surface* TextureFromHandle(D3DTEXTUREHANDLE handle) {
    auto found = SurfaceOfHandle().find(handle);
    if (found == SurfaceOfHandle().end()) return nullptr;
    Surface* surface = Surface::From(found->second);
    if (!surface) {
        // Released since: forget it, so a new surface at the same address gets a new handle.
        HandleOfSurface().erase(found->second);
        SurfaceOfHandle().erase(found);
    }
    return surface;
}

} // namespace ddsoft
