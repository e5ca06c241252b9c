// The software DirectDraw: the objects behind IDirectDraw, IDirectDraw2,
// IDirectDrawSurface and IDirectDrawPalette, shared with Direct3D and presentation.
#ifndef PRISMATEL_DDRAW_SURFACE_H
#define PRISMATEL_DDRAW_SURFACE_H

#include <ddraw.h>
#include <d3d.h>

#include "machine/pixels.h"
#include "machine/video_card.h"

#include <stdint.h>

#include <atomic>
#include <set>
#include <vector>

namespace ddsoft {

class Surface;
class Palette;

// Bytes per row of a surface: whole pixels, padded to 32 bits as display memory is.
LONG PitchFor(DWORD width, DWORD bitsPerPixel);
using video::BitsOf;
bool SameLayout(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b);

// What the display shows and who owns it: one per process, like the real display.
struct DisplayState {
    DWORD width = 640;
    DWORD height = 480;
    DDPIXELFORMAT format = {};
    DWORD refreshRate = 60;
    bool exclusive = false;
    HWND window = nullptr;
    int directDrawObjects = 0;
    int generation = 0; // bumped by each reset: objects of an earlier run touch nothing
    Surface* primary = nullptr;
    std::set<Surface*> surfaces;    // every live surface
    bool framePending = false;      // a flipped frame waits to be shown
    int64_t pendingFrameNumber = 0; // its number in the recording
};
// The first use also connects the display to the video card: its scan-out, its video
// memory and its resets.
DisplayState& Display();

class Palette final : public IDirectDrawPalette {
public:
    Palette(DWORD caps, const PALETTEENTRY* entries);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDWORD caps) override;
    HRESULT STDMETHODCALLTYPE GetEntries(DWORD flags, DWORD base, DWORD count,
                                         LPPALETTEENTRY entries) override;
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW directDraw, DWORD flags,
                                         LPPALETTEENTRY entries) override;
    HRESULT STDMETHODCALLTYPE SetEntries(DWORD flags, DWORD start, DWORD count,
                                         LPPALETTEENTRY entries) override;

    const PALETTEENTRY* Entries() const { return entries; }

private:
    std::atomic<ULONG> refs{1};
    DWORD caps;
    PALETTEENTRY entries[256];
};

class Surface final : public IDirectDrawSurface {
public:
    // Creates one surface (or a whole flipping chain for a complex primary).
    static HRESULT Create(const DDSURFACEDESC& desc, Surface** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE surface) override;
    HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT rect) override;
    HRESULT STDMETHODCALLTYPE Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect,
                                  DWORD flags, LPDDBLTFX fx) override;
    HRESULT STDMETHODCALLTYPE BltBatch(LPDDBLTBATCH batch, DWORD count, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source,
                                      LPRECT sourceRect, DWORD trans) override;
    HRESULT STDMETHODCALLTYPE DeleteAttachedSurface(DWORD flags,
                                                    LPDIRECTDRAWSURFACE surface) override;
    HRESULT STDMETHODCALLTYPE EnumAttachedSurfaces(LPVOID context,
                                                   LPDDENUMSURFACESCALLBACK callback) override;
    HRESULT STDMETHODCALLTYPE EnumOverlayZOrders(DWORD flags, LPVOID context,
                                                 LPDDENUMSURFACESCALLBACK callback) override;
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE target, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS caps,
                                                 LPDIRECTDRAWSURFACE* surface) override;
    HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS caps) override;
    HRESULT STDMETHODCALLTYPE GetClipper(LPDIRECTDRAWCLIPPER* clipper) override;
    HRESULT STDMETHODCALLTYPE GetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT STDMETHODCALLTYPE GetDC(HDC* dc) override;
    HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetOverlayPosition(LPLONG x, LPLONG y) override;
    HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE* palette) override;
    HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override;
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW directDraw, LPDDSURFACEDESC desc) override;
    HRESULT STDMETHODCALLTYPE IsLost() override;
    HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags,
                                   HANDLE event) override;
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override;
    HRESULT STDMETHODCALLTYPE Restore() override;
    HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper) override;
    HRESULT STDMETHODCALLTYPE SetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG x, LONG y) override;
    HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE palette) override;
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID memory) override;
    HRESULT STDMETHODCALLTYPE UpdateOverlay(LPRECT sourceRect, LPDIRECTDRAWSURFACE dest,
                                            LPRECT destRect, DWORD flags,
                                            LPDDOVERLAYFX fx) override;
    HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE UpdateOverlayZOrder(DWORD flags,
                                                  LPDIRECTDRAWSURFACE reference) override;

    // For Direct3D, textures and presentation (no locking rules apply to these).
    DWORD Width() const { return desc.dwWidth; }
    DWORD Height() const { return desc.dwHeight; }
    LONG Pitch() const { return desc.lPitch; }
    DWORD Caps() const { return desc.ddsCaps.dwCaps; }
    const DDPIXELFORMAT& Format() const { return desc.ddpfPixelFormat; }
    DWORD BitsPerPixel() const { return BitsOf(desc.ddpfPixelFormat); }
    uint8_t* Memory() { return memory.data(); }
    const uint8_t* Memory() const { return memory.data(); }
    bool InVideoMemory() const { return (desc.ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY) != 0; }
    bool Lost() const { return lost; }
    bool Locked() const { return locked; }
    bool HasSourceKey() const { return hasSourceKey; }
    DWORD SourceKey() const { return sourceKey.dwColorSpaceLowValue; }
    Surface* AttachedZ() const { return zBuffer; }
    Palette* AttachedPalette() const { return palette; }
    // The palette its pixels are shown with: its own, or for a back buffer the one on the
    // front of its flipping chain (the screen's).
    Palette* PaletteInForce() const { return palette ? palette : front ? front->palette : nullptr; }
    bool IsFront() const { return !chain.empty(); }
    // Every member of this surface's flipping chain (itself alone when it has none).
    std::vector<Surface*> ChainMembers();
    void MarkLost();
    // The DirectDraw object is gone: the surface keeps its interface but no memory.
    void Orphan();

    // Checked down-cast from an interface pointer the program hands back.
    static Surface* From(IDirectDrawSurface* surface);

private:
    Surface() = default;
    ~Surface();
    static HRESULT CreateOne(const DDSURFACEDESC& desc, DWORD caps, bool videoRequired,
                             Surface** out);
    static HRESULT CreateChain(const DDSURFACEDESC& desc, Surface** out);
    bool Busy() const;
    HRESULT ColorFill(const RECT& r, DWORD value);
    HRESULT Copy(const RECT& dest, Surface& source, const RECT& sourceRect, bool useKey);
    RECT Whole() const;
    bool Inside(const RECT& r) const;

    std::atomic<ULONG> refs{1};
    DDSURFACEDESC desc = {};
    std::vector<uint8_t> memory;
    DWORD charged = 0; // bytes taken from video memory
    bool lost = false;
    bool locked = false;
    bool orphaned = false;
    bool wasLockedWhenOrphaned = false;
    bool hasSourceKey = false;
    DDCOLORKEY sourceKey = {};
    bool hasDestKey = false;
    DDCOLORKEY destKey = {};
    Palette* palette = nullptr;
    Surface* zBuffer = nullptr;
    std::vector<Surface*> chain; // in the front surface only: back buffers in flip order
    Surface* front = nullptr;    // in back buffers: the front of their chain

    friend void Rotate(Surface& front);
};

// Flip's memory rotation: the first back buffer's picture becomes the front's.
void Rotate(Surface& front);

// Presentation of flipped frames through the video card.
void PresentPendingFrame(Surface& front);
void FrameFlipped();
// The picture a front surface holds, as the video card reads it; false without memory.
bool ScanOutOf(Surface& front, video::ScanOut* picture);

// Test hook: marks the surface (and the flipping chain it belongs to) lost, as a mode switch
// by another program would.
void LoseSurface(IDirectDrawSurface* surface);

// The two entries into Direct3D, defined by the d3d library: as Windows' DirectDraw hands
// them to the Direct3D runtime, IDirectDraw::QueryInterface(IID_IDirect3D2) creates the
// Direct3D object, and a surface created with DDSCAPS_TEXTURE answers
// IID_IDirect3DTexture2 with a texture object.
HRESULT CreateDirect3D(IDirectDraw2* owner, void** object);
HRESULT QueryTextureInterface(Surface* surface, void** object);

} // namespace ddsoft

#endif
