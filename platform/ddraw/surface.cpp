// DirectDraw surfaces: memory with a pitch and a pixel format, charged to the card's video
// memory where they live there; flipping chains, attachments, locks and lost surfaces.
#include "surface.h"

#include "machine/unsupported.h"
#include "machine/video_card.h"

#include <string.h>

#include <algorithm>

namespace ddsoft {

LONG PitchFor(DWORD width, DWORD bitsPerPixel) {
    return (LONG)((((uint64_t)width * bitsPerPixel + 31) / 32) * 4);
}

bool SameLayout(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b) {
    return BitsOf(a) == BitsOf(b);
}

namespace {

bool ValidFormat(const DDPIXELFORMAT& f) {
    DWORD bits = BitsOf(f);
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
           bits == 32;
}

DDPIXELFORMAT ZFormat(DWORD depth) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof(f);
    f.dwFlags = DDPF_ZBUFFER;
    f.dwZBufferBitDepth = depth;
    f.dwRGBZBitMask = depth >= 32 ? 0xFFFFFFFFu : ((1u << depth) - 1);
    return f;
}

} // namespace

// ---- creation ----------------------------------------------------------------------

HRESULT Surface::Create(const DDSURFACEDESC& d, Surface** out) {
    *out = nullptr;
    if (d.dwSize != sizeof(DDSURFACEDESC) || !(d.dwFlags & DDSD_CAPS)) return DDERR_INVALIDPARAMS;
    DWORD caps = d.ddsCaps.dwCaps;
    if ((caps & DDSCAPS_VIDEOMEMORY) && (caps & DDSCAPS_SYSTEMMEMORY)) return DDERR_INVALIDCAPS;
    HRESULT injected = video::TakeSurfaceCreationFailure();
    if (injected != DD_OK) return injected;
    if (caps & DDSCAPS_PRIMARYSURFACE) {
        DisplayState& display = Display();
        if (display.primary) return DDERR_PRIMARYSURFACEALREADYEXISTS;
        if (caps & DDSCAPS_FLIP) {
            if (!display.exclusive) return DDERR_NOEXCLUSIVEMODE;
            if (!(caps & DDSCAPS_COMPLEX) || !(d.dwFlags & DDSD_BACKBUFFERCOUNT) ||
                d.dwBackBufferCount < 1)
                return DDERR_INVALIDCAPS;
            return CreateChain(d, out);
        }
        DDSURFACEDESC one = d;
        one.dwWidth = display.width;
        one.dwHeight = display.height;
        one.ddpfPixelFormat = display.format;
        HRESULT hr = CreateOne(one, caps, true, out);
        if (hr == DD_OK) display.primary = *out;
        return hr;
    }
    if (!(d.dwFlags & DDSD_WIDTH) || !(d.dwFlags & DDSD_HEIGHT) || d.dwWidth == 0 ||
        d.dwHeight == 0 || d.dwWidth > 4096 || d.dwHeight > 4096)
        return DDERR_INVALIDPARAMS;
    DDSURFACEDESC one = d;
    if (caps & DDSCAPS_ZBUFFER) {
        DWORD depth = (d.dwFlags & DDSD_ZBUFFERBITDEPTH) ? d.dwZBufferBitDepth
                      : (d.dwFlags & DDSD_PIXELFORMAT)   ? d.ddpfPixelFormat.dwZBufferBitDepth
                                                         : 0;
        if (depth != 16 && depth != 24 && depth != 32) return DDERR_INVALIDPIXELFORMAT;
        one.ddpfPixelFormat = ZFormat(depth);
        if (!(caps & DDSCAPS_SYSTEMMEMORY)) caps |= DDSCAPS_VIDEOMEMORY;
    } else if (!(d.dwFlags & DDSD_PIXELFORMAT)) {
        one.ddpfPixelFormat = Display().format;
    } else if (!ValidFormat(d.ddpfPixelFormat)) {
        return DDERR_INVALIDPIXELFORMAT;
    }
    bool videoRequired = (caps & DDSCAPS_VIDEOMEMORY) != 0;
    return CreateOne(one, caps, videoRequired, out);
}

HRESULT Surface::CreateOne(const DDSURFACEDESC& d, DWORD caps, bool videoRequired, Surface** out) {
    LONG pitch = PitchFor(d.dwWidth, BitsOf(d.ddpfPixelFormat));
    DWORD bytes = (DWORD)pitch * d.dwHeight;
    bool inVideo = !(caps & DDSCAPS_SYSTEMMEMORY) && video::ChargeVideoMemory(bytes);
    if (videoRequired && !inVideo) return DDERR_OUTOFVIDEOMEMORY;
    Surface* s = new Surface;
    s->desc.dwSize = sizeof(DDSURFACEDESC);
    s->desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    s->desc.dwWidth = d.dwWidth;
    s->desc.dwHeight = d.dwHeight;
    s->desc.lPitch = pitch;
    s->desc.ddpfPixelFormat = d.ddpfPixelFormat;
    if (d.ddpfPixelFormat.dwFlags & DDPF_ZBUFFER) {
        s->desc.dwFlags |= DDSD_ZBUFFERBITDEPTH;
        s->desc.dwZBufferBitDepth = d.ddpfPixelFormat.dwZBufferBitDepth;
    }
    caps &= ~(DWORD)(DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY | DDSCAPS_LOCALVIDMEM);
    caps |= inVideo ? (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM) : DDSCAPS_SYSTEMMEMORY;
    s->desc.ddsCaps.dwCaps = caps;
    s->charged = inVideo ? bytes : 0;
    s->memory.assign(bytes, 0);
    if (d.dwFlags & DDSD_CKSRCBLT) {
        s->hasSourceKey = true;
        s->sourceKey = d.ddckCKSrcBlt;
    }
    Display().surfaces.insert(s);
    *out = s;
    return DD_OK;
}

HRESULT Surface::CreateChain(const DDSURFACEDESC& d, Surface** out) {
    DisplayState& display = Display();
    DDSURFACEDESC one = d;
    one.dwWidth = display.width;
    one.dwHeight = display.height;
    one.ddpfPixelFormat = display.format;
    DWORD caps = d.ddsCaps.dwCaps;
    bool videoRequired = (caps & DDSCAPS_VIDEOMEMORY) != 0;
    std::vector<Surface*> made;
    // The front buffer is the display itself: it is always in video memory.
    HRESULT hr = CreateOne(
        one, (caps | DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE) & ~(DWORD)DDSCAPS_SYSTEMMEMORY, true,
        out);
    if (hr != DD_OK) return hr;
    Surface* front = *out;
    DWORD backCaps =
        (caps & ~(DWORD)(DDSCAPS_PRIMARYSURFACE | DDSCAPS_COMPLEX)) | DDSCAPS_BACKBUFFER;
    for (DWORD i = 0; i < d.dwBackBufferCount; i++) {
        Surface* back = nullptr;
        DWORD thisCaps = i == 0 ? backCaps : (backCaps & ~(DWORD)DDSCAPS_BACKBUFFER);
        hr = CreateOne(one, thisCaps, videoRequired, &back);
        if (hr != DD_OK) {
            for (Surface* s : front->chain) {
                s->front = nullptr;
                s->Release();
            }
            front->chain.clear();
            front->Release();
            *out = nullptr;
            return hr;
        }
        back->front = front;
        front->chain.push_back(back);
    }
    front->desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
    front->desc.dwBackBufferCount = d.dwBackBufferCount;
    display.primary = front;
    return DD_OK;
}

Surface* Surface::From(IDirectDrawSurface* surface) {
    Surface* s = static_cast<Surface*>(surface);
    return (s && Display().surfaces.count(s)) ? s : nullptr;
}

Surface::~Surface() {
    if (palette) palette->Release();
    if (zBuffer) zBuffer->Release();
    video::ReturnVideoMemory(charged);
    DisplayState& display = Display();
    display.surfaces.erase(this);
    if (display.primary == this) display.primary = nullptr;
}

// ---- reference counting and attachments ---------------------------------------------

HRESULT Surface::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDirectDrawSurface) {
        AddRef();
        *object = static_cast<IDirectDrawSurface*>(this);
        return S_OK;
    }
    if (riid == IID_IDirect3DTexture2 && (desc.ddsCaps.dwCaps & DDSCAPS_TEXTURE))
        return QueryTextureInterface(this, object);
    return E_NOINTERFACE;
}

ULONG Surface::AddRef() {
    return ++refs;
}

ULONG Surface::Release() {
    ULONG left = --refs;
    if (left) return left;
    if (!chain.empty()) {
        if (Display().framePending) PresentPendingFrame(*this);
        Display().framePending = false;
        for (Surface* s : chain) {
            s->front = nullptr;
            s->Release();
        }
        chain.clear();
    }
    delete this;
    return 0;
}

std::vector<Surface*> Surface::ChainMembers() {
    Surface* head = front ? front : this;
    std::vector<Surface*> all{head};
    all.insert(all.end(), head->chain.begin(), head->chain.end());
    return all;
}

void Surface::MarkLost() {
    if (charged) lost = true;
}

void LoseSurface(IDirectDrawSurface* surface) {
    Surface* s = Surface::From(surface);
    if (!s) return;
    for (Surface* member : s->ChainMembers()) member->MarkLost();
}

void Surface::Orphan() {
    orphaned = true;
    wasLockedWhenOrphaned = locked;
    locked = false;
    video::ReturnVideoMemory(charged);
    charged = 0;
    memory.clear();
    memory.shrink_to_fit();
    if (Display().primary == this) Display().primary = nullptr;
}

HRESULT Surface::AddAttachedSurface(LPDIRECTDRAWSURFACE surface) {
    Surface* z = From(surface);
    if (orphaned || !z) return DDERR_INVALIDOBJECT;
    if (!(z->Caps() & DDSCAPS_ZBUFFER)) return DDERR_CANNOTATTACHSURFACE;
    if (z->Width() != Width() || z->Height() != Height()) return DDERR_CANNOTATTACHSURFACE;
    if (zBuffer) return DDERR_SURFACEALREADYATTACHED;
    z->AddRef();
    zBuffer = z;
    return DD_OK;
}

HRESULT Surface::DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE surface) {
    Surface* z = From(surface);
    if (!z || z != zBuffer) return DDERR_SURFACENOTATTACHED;
    zBuffer = nullptr;
    z->Release();
    return DD_OK;
}

HRESULT Surface::GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* surface) {
    if (!caps || !surface) return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    if (orphaned) return DDERR_INVALIDOBJECT;
    Surface* found = nullptr;
    if (caps->dwCaps & DDSCAPS_ZBUFFER) {
        found = zBuffer;
    } else if (caps->dwCaps & (DDSCAPS_BACKBUFFER | DDSCAPS_FLIP)) {
        // The next surface in flip order: the front's next is the first back buffer.
        std::vector<Surface*> members = ChainMembers();
        if (members.size() > 1) {
            size_t at = std::find(members.begin(), members.end(), this) - members.begin();
            found = members[(at + 1) % members.size()];
            if ((caps->dwCaps & DDSCAPS_BACKBUFFER) && !(found->Caps() & DDSCAPS_BACKBUFFER))
                found = nullptr;
        }
    }
    if (!found) return DDERR_NOTFOUND;
    found->AddRef();
    *surface = found;
    return DD_OK;
}

HRESULT Surface::EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK callback) {
    if (!callback) return DDERR_INVALIDPARAMS;
    std::vector<Surface*> attached;
    if (!chain.empty()) attached.push_back(chain[0]);
    if (zBuffer) attached.push_back(zBuffer);
    for (Surface* s : attached) {
        s->AddRef();
        DDSURFACEDESC d = s->desc;
        if (callback(s, &d, context) == DDENUMRET_CANCEL) break;
    }
    return DD_OK;
}

// ---- description and state --------------------------------------------------------

HRESULT Surface::GetCaps(LPDDSCAPS caps) {
    if (!caps) return DDERR_INVALIDPARAMS;
    caps->dwCaps = desc.ddsCaps.dwCaps;
    return DD_OK;
}

HRESULT Surface::GetSurfaceDesc(LPDDSURFACEDESC out) {
    if (!out || out->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    *out = desc;
    out->lpSurface = nullptr;
    return DD_OK;
}

HRESULT Surface::GetPixelFormat(LPDDPIXELFORMAT format) {
    if (!format) return DDERR_INVALIDPARAMS;
    *format = desc.ddpfPixelFormat;
    return DD_OK;
}

HRESULT Surface::IsLost() {
    if (orphaned) return DDERR_INVALIDOBJECT;
    return lost ? DDERR_SURFACELOST : DD_OK;
}

HRESULT Surface::Restore() {
    if (orphaned) return DDERR_INVALIDOBJECT;
    // Restoring any member brings back the whole chain, which shares one allocation.
    for (Surface* s : ChainMembers()) s->lost = false;
    return DD_OK;
}

HRESULT Surface::SetColorKey(DWORD flags, LPDDCOLORKEY key) {
    if (orphaned) return DDERR_INVALIDOBJECT;
    if (flags & DDCKEY_SRCBLT) {
        hasSourceKey = key != nullptr;
        if (key) sourceKey = *key;
        return DD_OK;
    }
    if (flags & DDCKEY_DESTBLT) {
        hasDestKey = key != nullptr;
        if (key) destKey = *key;
        return DD_OK;
    }
    return DDERR_INVALIDPARAMS;
}

HRESULT Surface::GetColorKey(DWORD flags, LPDDCOLORKEY key) {
    if (!key) return DDERR_INVALIDPARAMS;
    if ((flags & DDCKEY_SRCBLT) && hasSourceKey) {
        *key = sourceKey;
        return DD_OK;
    }
    if ((flags & DDCKEY_DESTBLT) && hasDestKey) {
        *key = destKey;
        return DD_OK;
    }
    return DDERR_NOCOLORKEY;
}

HRESULT Surface::SetPalette(LPDIRECTDRAWPALETTE newPalette) {
    if (orphaned) return DDERR_INVALIDOBJECT;
    if (lost) return DDERR_SURFACELOST;
    if (newPalette && !(desc.ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8))
        return DDERR_INVALIDPIXELFORMAT;
    Palette* p = static_cast<Palette*>(newPalette);
    if (p) p->AddRef();
    if (palette) palette->Release();
    palette = p;
    return DD_OK;
}

HRESULT Surface::GetPalette(LPDIRECTDRAWPALETTE* out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = palette;
    if (!palette) return DDERR_NOPALETTEATTACHED;
    palette->AddRef();
    return DD_OK;
}

// ---- locking ----------------------------------------------------------------------

RECT Surface::Whole() const {
    return RECT{0, 0, (LONG)desc.dwWidth, (LONG)desc.dwHeight};
}

bool Surface::Inside(const RECT& r) const {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           r.right <= (LONG)desc.dwWidth && r.bottom <= (LONG)desc.dwHeight;
}

bool Surface::Busy() const {
    return locked;
}

HRESULT Surface::Lock(LPRECT rect, LPDDSURFACEDESC out, DWORD, HANDLE) {
    if (!out || out->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    if (orphaned) return DDERR_INVALIDOBJECT;
    if (lost) return DDERR_SURFACELOST;
    if (locked) return DDERR_SURFACEBUSY;
    RECT r = rect ? *rect : Whole();
    if (!Inside(r)) return DDERR_INVALIDRECT;
    locked = true;
    *out = desc;
    out->dwFlags |= DDSD_LPSURFACE;
    int bits = (int)BitsOf(desc.ddpfPixelFormat);
    out->lpSurface = memory.data() + (size_t)r.top * desc.lPitch + (size_t)r.left * bits / 8;
    return DD_OK;
}

HRESULT Surface::Unlock(LPVOID) {
    if (orphaned) {
        // A lock held when DirectDraw went away ends with the memory: the surface is lost.
        bool held = wasLockedWhenOrphaned;
        wasLockedWhenOrphaned = false;
        return held ? DDERR_SURFACELOST : DDERR_INVALIDOBJECT;
    }
    if (!locked) return DDERR_NOTLOCKED;
    locked = false;
    return lost ? DDERR_SURFACELOST : DD_OK;
}

// ---- blits ------------------------------------------------------------------------

HRESULT Surface::ColorFill(const RECT& r, DWORD value) {
    int bytes = (int)BitsOf(desc.ddpfPixelFormat) / 8;
    if (bytes < 1) return DDERR_UNSUPPORTED;
    for (LONG y = r.top; y < r.bottom; y++) {
        uint8_t* p = memory.data() + (size_t)y * desc.lPitch + (size_t)r.left * bytes;
        if (bytes == 1) {
            memset(p, (int)(value & 0xFF), (size_t)(r.right - r.left));
            continue;
        }
        for (LONG x = r.left; x < r.right; x++, p += bytes) video::StorePixel(p, bytes, value);
    }
    return DD_OK;
}

HRESULT Surface::Copy(const RECT& dest, Surface& source, const RECT& from, bool useKey) {
    int bytes = (int)BitsOf(desc.ddpfPixelFormat) / 8;
    if (bytes < 1 || !SameLayout(desc.ddpfPixelFormat, source.desc.ddpfPixelFormat))
        return DDERR_INVALIDPIXELFORMAT;
    LONG w = dest.right - dest.left, h = dest.bottom - dest.top;
    LONG sw = from.right - from.left, sh = from.bottom - from.top;
    // A copy of a surface onto itself may overlap: go through a snapshot.
    std::vector<uint8_t> snapshot;
    const uint8_t* src = source.memory.data();
    if (&source == this) {
        snapshot = memory;
        src = snapshot.data();
    }
    DWORD key = source.sourceKey.dwColorSpaceLowValue;
    for (LONG y = 0; y < h; y++) {
        LONG sy = from.top + y * sh / h;
        uint8_t* d =
            memory.data() + (size_t)(dest.top + y) * desc.lPitch + (size_t)dest.left * bytes;
        const uint8_t* srow = src + (size_t)sy * source.desc.lPitch;
        if (!useKey && sw == w) {
            memcpy(d, srow + (size_t)from.left * bytes, (size_t)w * bytes);
            continue;
        }
        for (LONG x = 0; x < w; x++, d += bytes) {
            const uint8_t* s = srow + (size_t)(from.left + x * sw / w) * bytes;
            DWORD v = video::LoadPixel(s, bytes);
            if (useKey && v == key) continue;
            video::StorePixel(d, bytes, v);
        }
    }
    return DD_OK;
}

HRESULT Surface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE sourceSurface, LPRECT sourceRect,
                     DWORD flags, LPDDBLTFX fx) {
    if (orphaned) return DDERR_INVALIDOBJECT;
    if (lost) return DDERR_SURFACELOST;
    if (Busy()) return DDERR_SURFACEBUSY;
    RECT dest = destRect ? *destRect : Whole();
    if (!Inside(dest)) return DDERR_INVALIDRECT;
    if (flags & (DDBLT_COLORFILL | DDBLT_DEPTHFILL)) {
        if (!fx || fx->dwSize != sizeof(DDBLTFX)) return DDERR_INVALIDPARAMS;
        bool isZ = (desc.ddsCaps.dwCaps & DDSCAPS_ZBUFFER) != 0;
        if ((flags & DDBLT_DEPTHFILL) != 0 && !isZ) return DDERR_INVALIDPARAMS;
        if ((flags & DDBLT_COLORFILL) != 0 && isZ) return DDERR_INVALIDPARAMS;
        return ColorFill(dest, (flags & DDBLT_DEPTHFILL) ? fx->dwFillDepth : fx->dwFillColor);
    }
    Surface* source = From(sourceSurface);
    if (!source || source->orphaned) return DDERR_INVALIDPARAMS;
    if (source->lost) return DDERR_SURFACELOST;
    if (source->Busy()) return DDERR_SURFACEBUSY;
    RECT from = sourceRect ? *sourceRect : source->Whole();
    if (!source->Inside(from)) return DDERR_INVALIDRECT;
    bool useKey = (flags & DDBLT_KEYSRC) != 0;
    if (useKey && !source->hasSourceKey) return DDERR_NOCOLORKEY;
    return Copy(dest, *source, from, useKey);
}

HRESULT Surface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE sourceSurface, LPRECT sourceRect,
                         DWORD trans) {
    if (orphaned) return DDERR_INVALIDOBJECT;
    Surface* source = From(sourceSurface);
    if (!source || source->orphaned) return DDERR_INVALIDPARAMS;
    if (lost || source->lost) return DDERR_SURFACELOST;
    if (Busy() || source->Busy()) return DDERR_SURFACEBUSY;
    RECT from = sourceRect ? *sourceRect : source->Whole();
    if (!source->Inside(from)) return DDERR_INVALIDRECT;
    RECT dest = {(LONG)x, (LONG)y, (LONG)x + (from.right - from.left),
                 (LONG)y + (from.bottom - from.top)};
    // BltFast does not clip: a destination off the surface is refused.
    if ((LONG)x < 0 || (LONG)y < 0 || !Inside(dest)) return DDERR_INVALIDRECT;
    bool useKey = (trans & DDBLTFAST_SRCCOLORKEY) != 0;
    if (useKey && !source->hasSourceKey) return DDERR_NOCOLORKEY;
    return Copy(dest, *source, from, useKey);
}

// ---- flipping ------------------------------------------------------------------------

void Rotate(Surface& front) {
    // The picture of each back buffer moves one step towards the front.
    std::vector<Surface*> members = front.ChainMembers();
    for (size_t i = 0; i + 1 < members.size(); i++) members[i]->memory.swap(members[i + 1]->memory);
}

HRESULT Surface::Flip(LPDIRECTDRAWSURFACE, DWORD) {
    if (orphaned) return DDERR_INVALIDOBJECT;
    if (chain.empty()) return DDERR_NOTFLIPPABLE;
    for (Surface* s : ChainMembers()) {
        if (s->lost) return DDERR_SURFACELOST;
        if (s->locked) return DDERR_SURFACEBUSY;
    }
    // What the screen showed since the last flip is shown now, with the palette that
    // was in force while it was up (it may have changed right after that flip).
    if (Display().framePending) PresentPendingFrame(*this);
    Rotate(*this);
    Display().framePending = true;
    FrameFlipped();
    return DD_OK;
}

HRESULT Surface::GetFlipStatus(DWORD) {
    return chain.empty() && !front ? DDERR_INVALIDCAPS : DD_OK;
}
HRESULT Surface::GetBltStatus(DWORD) {
    return DD_OK;
}

// ---- what the engine never calls ------------------------------------------------------

HRESULT Surface::AddOverlayDirtyRect(LPRECT) {
    return machine::Unsupported("IDirectDrawSurface::AddOverlayDirtyRect", DDERR_UNSUPPORTED);
}
HRESULT Surface::BltBatch(LPDDBLTBATCH, DWORD, DWORD) {
    return machine::Unsupported("IDirectDrawSurface::BltBatch", DDERR_UNSUPPORTED);
}
HRESULT Surface::EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) {
    return machine::Unsupported("IDirectDrawSurface::EnumOverlayZOrders", DDERR_UNSUPPORTED);
}
HRESULT Surface::GetClipper(LPDIRECTDRAWCLIPPER*) {
    return machine::Unsupported("IDirectDrawSurface::GetClipper", DDERR_UNSUPPORTED);
}
HRESULT Surface::GetDC(HDC*) {
    return machine::Unsupported("IDirectDrawSurface::GetDC", DDERR_UNSUPPORTED);
}
HRESULT Surface::GetOverlayPosition(LPLONG, LPLONG) {
    return machine::Unsupported("IDirectDrawSurface::GetOverlayPosition", DDERR_UNSUPPORTED);
}
HRESULT Surface::Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) {
    return DDERR_ALREADYINITIALIZED;
}
HRESULT Surface::ReleaseDC(HDC) {
    return machine::Unsupported("IDirectDrawSurface::ReleaseDC", DDERR_UNSUPPORTED);
}
HRESULT Surface::SetClipper(LPDIRECTDRAWCLIPPER) {
    return machine::Unsupported("IDirectDrawSurface::SetClipper", DDERR_UNSUPPORTED);
}
HRESULT Surface::SetOverlayPosition(LONG, LONG) {
    return machine::Unsupported("IDirectDrawSurface::SetOverlayPosition", DDERR_UNSUPPORTED);
}
HRESULT Surface::UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDOVERLAYFX) {
    return machine::Unsupported("IDirectDrawSurface::UpdateOverlay", DDERR_UNSUPPORTED);
}
HRESULT Surface::UpdateOverlayDisplay(DWORD) {
    return machine::Unsupported("IDirectDrawSurface::UpdateOverlayDisplay", DDERR_UNSUPPORTED);
}
HRESULT Surface::UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) {
    return machine::Unsupported("IDirectDrawSurface::UpdateOverlayZOrder", DDERR_UNSUPPORTED);
}

} // namespace ddsoft
