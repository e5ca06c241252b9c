// The DirectDraw object (IDirectDraw and IDirectDraw2 on one object), the display it owns,
// and DirectDrawCreate.
#define INITGUID
#include <ddraw.h>
#include <d3d.h>
#undef INITGUID

#include "surface.h"
#include "machine/machine.h"
#include "machine/unsupported.h"
#include "machine/video_card.h"

#include <string.h>

namespace ddsoft {

namespace {

// Back to the desktop mode with no surfaces (machine reset).
void ResetDisplay() {
    DisplayState& d = Display();
    // Whatever a previous run left behind dies with it.
    std::set<Surface*> left = d.surfaces;
    for (Surface* s : left) s->Orphan();
    d.surfaces.clear();
    d.primary = nullptr;
    d.width = 640;
    d.height = 480;
    d.format = video::Xrgb8888Format();
    d.refreshRate = 60;
    d.exclusive = false;
    d.window = nullptr;
    d.directDrawObjects = 0;
    d.framePending = false;
    d.generation++;
}

bool ScanOutOfPrimary(video::ScanOut* picture) {
    Surface* front = Display().primary;
    return front && ScanOutOf(*front, picture);
}

// A mode switch by another program, or a new card: video memory's contents are gone.
void LoseVideoMemory() {
    for (Surface* s : Display().surfaces)
        if (s->InVideoMemory()) s->MarkLost();
}

void ConnectToTheCard() {
    video::SetScanOutSource(ScanOutOfPrimary);
    video::AddVideoMemoryLostListener(LoseVideoMemory);
    machine::AddResetHook(ResetDisplay);
}

} // namespace

DisplayState& Display() {
    static DisplayState* state = [] {
        DisplayState* s = new DisplayState;
        s->format = video::Xrgb8888Format();
        return s;
    }();
    static bool connected = (ConnectToTheCard(), true);
    (void)connected;
    return *state;
}

// ---- the DirectDraw object -----------------------------------------------------------

namespace {

class DirectDraw final : public IDirectDraw, public IDirectDraw2 {
public:
    DirectDraw() : generation(Display().generation) { Display().directDrawObjects++; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDirectDraw) {
            AddRef();
            *object = static_cast<IDirectDraw*>(this);
            return S_OK;
        }
        if (riid == IID_IDirectDraw2) {
            if (video::Card().directDraw2Missing) return E_NOINTERFACE;
            AddRef();
            *object = static_cast<IDirectDraw2*>(this);
            return S_OK;
        }
        if (riid == IID_IDirect3D2) {
            if (video::Card().direct3DMissing) return E_NOINTERFACE;
            return CreateDirect3D(static_cast<IDirectDraw2*>(this), object);
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs;
        if (!left) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Compact() override { return DD_OK; }
    HRESULT STDMETHODCALLTYPE CreateClipper(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*) override {
        return machine::Unsupported("IDirectDraw::CreateClipper", DDERR_UNSUPPORTED);
    }
    HRESULT STDMETHODCALLTYPE CreatePalette(DWORD flags, LPPALETTEENTRY entries,
                                            LPDIRECTDRAWPALETTE* out, IUnknown*) override {
        if (!out || !entries) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (!(flags & DDPCAPS_8BIT)) return DDERR_UNSUPPORTED;
        *out = new Palette(flags, entries);
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out,
                                            IUnknown*) override {
        if (!desc || !out) return DDERR_INVALIDPARAMS;
        Surface* s = nullptr;
        HRESULT hr = Surface::Create(*desc, &s);
        *out = s;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) override {
        return machine::Unsupported("IDirectDraw::DuplicateSurface", DDERR_UNSUPPORTED);
    }
    HRESULT STDMETHODCALLTYPE EnumDisplayModes(DWORD, LPDDSURFACEDESC filter, LPVOID context,
                                               LPDDENUMMODESCALLBACK callback) override {
        if (!callback) return DDERR_INVALIDPARAMS;
        const std::vector<video::ModeSpec>& modes = video::Card().modes;
        for (size_t i = 0; i < modes.size(); i++) {
            const video::ModeSpec& m = modes[i];
            if (filter && (filter->dwFlags & DDSD_WIDTH) && filter->dwWidth != m.width) continue;
            if (filter && (filter->dwFlags & DDSD_HEIGHT) && filter->dwHeight != m.height) continue;
            // The mode switch takes a size and a depth, not a layout: a second listing of
            // the same size, depth and rate in another layout is a mode no one could set.
            if (ShadowedMode(modes, i)) continue;
            DDSURFACEDESC d = {};
            d.dwSize = sizeof(d);
            d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
            d.dwWidth = m.width;
            d.dwHeight = m.height;
            d.lPitch = PitchFor(m.width, BitsOf(m.format));
            d.dwRefreshRate = m.refreshRate;
            d.ddpfPixelFormat = m.format;
            if (callback(&d, context) == DDENUMRET_CANCEL) break;
        }
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID,
                                           LPDDENUMSURFACESCALLBACK) override {
        return machine::Unsupported("IDirectDraw::EnumSurfaces", DDERR_UNSUPPORTED);
    }
    HRESULT STDMETHODCALLTYPE FlipToGDISurface() override { return DD_OK; }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS driver, LPDDCAPS emulation) override {
        DDCAPS* both[2] = {driver, emulation};
        for (DDCAPS* c : both) {
            if (!c) continue;
            DWORD size = c->dwSize;
            if (size < sizeof(DDCAPS)) return DDERR_INVALIDPARAMS;
            memset(c, 0, sizeof(DDCAPS));
            c->dwSize = size;
            c->dwVidMemTotal = video::Card().videoMemory;
            c->dwVidMemFree = video::VideoMemoryFree();
        }
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC out) override {
        if (!out || out->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
        DisplayState& d = Display();
        memset(out, 0, sizeof(*out));
        out->dwSize = sizeof(*out);
        out->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
        out->dwWidth = d.width;
        out->dwHeight = d.height;
        out->lPitch = PitchFor(d.width, BitsOf(d.format));
        out->dwRefreshRate = d.refreshRate;
        out->ddpfPixelFormat = d.format;
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD count, LPDWORD) override {
        if (!count) return DDERR_INVALIDPARAMS;
        *count = 0;
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE GetGDISurface(LPDIRECTDRAWSURFACE*) override {
        return DDERR_NOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD frequency) override {
        if (!frequency) return DDERR_INVALIDPARAMS;
        *frequency = Display().refreshRate;
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD) override {
        return machine::Unsupported("IDirectDraw::GetScanLine", DDERR_UNSUPPORTED);
    }
    HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(LPBOOL inBlank) override {
        if (!inBlank) return DDERR_INVALIDPARAMS;
        *inBlank = FALSE;
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE Initialize(GUID*) override { return DDERR_ALREADYINITIALIZED; }
    HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override {
        Display().width = 640;
        Display().height = 480;
        Display().format = video::Xrgb8888Format();
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override {
        DisplayState& d = Display();
        bool wantsExclusive = (flags & DDSCL_EXCLUSIVE) != 0;
        if (wantsExclusive != ((flags & DDSCL_FULLSCREEN) != 0)) return DDERR_INVALIDPARAMS;
        if (wantsExclusive) {
            if (!window || video::Card().exclusiveRefused) return DDERR_NOEXCLUSIVEMODE;
            d.exclusive = true;
            d.window = window;
            exclusiveHere = true;
            return DD_OK;
        }
        if (!(flags & DDSCL_NORMAL)) return DDERR_INVALIDPARAMS;
        GiveBackExclusive();
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bits) override {
        return SetMode(width, height, bits, 0);
    }
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bits,
                                             DWORD refreshRate, DWORD) override {
        return SetMode(width, height, bits, refreshRate);
    }
    HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD, HANDLE) override { return DD_OK; }
    HRESULT STDMETHODCALLTYPE GetAvailableVidMem(LPDDSCAPS caps, LPDWORD total,
                                                 LPDWORD free) override {
        if (!caps) return DDERR_INVALIDPARAMS;
        if (video::Card().videoMemoryQueryFails) return DDERR_UNSUPPORTED;
        bool video = (caps->dwCaps & (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM | DDSCAPS_TEXTURE |
                                      DDSCAPS_ZBUFFER | DDSCAPS_OFFSCREENPLAIN)) != 0;
        if (total) *total = video ? video::Card().videoMemory : 0;
        if (free) *free = video ? video::VideoMemoryFree() : 0;
        return DD_OK;
    }

private:
    ~DirectDraw() {
        if (generation != Display().generation) return; // left over from a reset machine
        GiveBackExclusive();
        DisplayState& d = Display();
        if (--d.directDrawObjects == 0) {
            // Surfaces the program still holds die with the last DirectDraw object.
            std::set<Surface*> left = d.surfaces;
            for (Surface* s : left) s->Orphan();
            RestoreDisplayMode();
        }
    }

    // An earlier entry of the card's list has the same size, depth and refresh rate, so the
    // mode switch (which picks the first such entry) would never set this one.
    static bool ShadowedMode(const std::vector<video::ModeSpec>& modes, size_t i) {
        for (size_t j = 0; j < i; j++)
            if (modes[j].width == modes[i].width && modes[j].height == modes[i].height &&
                BitsOf(modes[j].format) == BitsOf(modes[i].format) &&
                modes[j].refreshRate == modes[i].refreshRate && Settable(modes[j].format))
                return true;
        return false;
    }
    static bool Settable(const DDPIXELFORMAT& format) {
        return (format.dwFlags & (DDPF_RGB | DDPF_PALETTEINDEXED8)) != 0;
    }

    void GiveBackExclusive() {
        if (!exclusiveHere) return;
        Display().exclusive = false;
        Display().window = nullptr;
        exclusiveHere = false;
    }

    HRESULT SetMode(DWORD width, DWORD height, DWORD bits, DWORD refreshRate) {
        DisplayState& d = Display();
        if (!exclusiveHere) return DDERR_NOEXCLUSIVEMODE;
        for (const video::ModeSpec& m : video::Card().modes) {
            if (m.width != width || m.height != height || BitsOf(m.format) != bits) continue;
            if (refreshRate && m.refreshRate != refreshRate) continue;
            // The first mode the card lists for this depth wins: the driver's own format
            // for it, the one EnumDisplayModes reported.
            if (!Settable(m.format)) continue;
            d.width = width;
            d.height = height;
            d.format = m.format;
            d.refreshRate = m.refreshRate ? m.refreshRate : 60;
            return DD_OK;
        }
        return DDERR_INVALIDMODE;
    }

    std::atomic<ULONG> refs{1};
    bool exclusiveHere = false;
    int generation;
};

} // namespace
} // namespace ddsoft

extern "C" HRESULT WINAPI DirectDrawCreate(GUID* guid, LPDIRECTDRAW* directDraw, IUnknown*) {
    if (!directDraw) return DDERR_INVALIDPARAMS;
    *directDraw = nullptr;
    if (guid) return DDERR_INVALIDPARAMS;
    if (video::Card().directDrawMissing) return DDERR_NODIRECTDRAWSUPPORT;
    *directDraw = new ddsoft::DirectDraw;
    return DD_OK;
}
