// DirectDraw 5: the interfaces, records, flags and result codes the engine uses,
// with their real names, values and field layouts.
#ifndef PRISMATEL_DDRAW_H
#define PRISMATEL_DDRAW_H

#include <windows.h>

#define _FACDD 0x876
#define MAKE_DDHRESULT(code) MAKE_HRESULT(1, _FACDD, code)

// ---- result codes -------------------------------------------------------------

#define DD_OK S_OK
#define DDENUMRET_CANCEL 0
#define DDENUMRET_OK 1

#define DDERR_ALREADYINITIALIZED MAKE_DDHRESULT(5)
#define DDERR_CANNOTATTACHSURFACE MAKE_DDHRESULT(10)
#define DDERR_CANNOTDETACHSURFACE MAKE_DDHRESULT(20)
#define DDERR_CURRENTLYNOTAVAIL MAKE_DDHRESULT(40)
#define DDERR_GENERIC E_FAIL
#define DDERR_INVALIDCAPS MAKE_DDHRESULT(100)
#define DDERR_INVALIDMODE MAKE_DDHRESULT(120)
#define DDERR_INVALIDOBJECT MAKE_DDHRESULT(130)
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_INVALIDPIXELFORMAT MAKE_DDHRESULT(145)
#define DDERR_INVALIDRECT MAKE_DDHRESULT(150)
#define DDERR_NOCOOPERATIVELEVELSET MAKE_DDHRESULT(212)
#define DDERR_NOCOLORKEY MAKE_DDHRESULT(215)
#define DDERR_NODIRECTDRAWSUPPORT MAKE_DDHRESULT(222)
#define DDERR_NOEXCLUSIVEMODE MAKE_DDHRESULT(225)
#define DDERR_NOTFOUND MAKE_DDHRESULT(255)
#define DDERR_NOZBUFFERHW MAKE_DDHRESULT(340)
#define DDERR_OUTOFCAPS MAKE_DDHRESULT(360)
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_OUTOFVIDEOMEMORY MAKE_DDHRESULT(380)
#define DDERR_SURFACEALREADYATTACHED MAKE_DDHRESULT(410)
#define DDERR_SURFACEBUSY MAKE_DDHRESULT(430)
#define DDERR_SURFACELOST MAKE_DDHRESULT(450)
#define DDERR_SURFACENOTATTACHED MAKE_DDHRESULT(460)
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_WASSTILLDRAWING MAKE_DDHRESULT(540)
#define DDERR_PRIMARYSURFACEALREADYEXISTS MAKE_DDHRESULT(564)
#define DDERR_NOPALETTEATTACHED MAKE_DDHRESULT(572)
#define DDERR_NOTFLIPPABLE MAKE_DDHRESULT(582)
#define DDERR_NOTLOCKED MAKE_DDHRESULT(584)

// ---- flags --------------------------------------------------------------------

// Surface capabilities (DDSCAPS.dwCaps).
#define DDSCAPS_ALPHA 0x00000002l
#define DDSCAPS_BACKBUFFER 0x00000004l
#define DDSCAPS_COMPLEX 0x00000008l
#define DDSCAPS_FLIP 0x00000010l
#define DDSCAPS_FRONTBUFFER 0x00000020l
#define DDSCAPS_OFFSCREENPLAIN 0x00000040l
#define DDSCAPS_OVERLAY 0x00000080l
#define DDSCAPS_PALETTE 0x00000100l
#define DDSCAPS_PRIMARYSURFACE 0x00000200l
#define DDSCAPS_SYSTEMMEMORY 0x00000800l
#define DDSCAPS_TEXTURE 0x00001000l
#define DDSCAPS_3DDEVICE 0x00002000l
#define DDSCAPS_VIDEOMEMORY 0x00004000l
#define DDSCAPS_VISIBLE 0x00008000l
#define DDSCAPS_WRITEONLY 0x00010000l
#define DDSCAPS_ZBUFFER 0x00020000l
#define DDSCAPS_OWNDC 0x00040000l
#define DDSCAPS_MIPMAP 0x00400000l
#define DDSCAPS_ALLOCONLOAD 0x04000000l
#define DDSCAPS_LOCALVIDMEM 0x10000000l

// Surface description fields present (DDSURFACEDESC.dwFlags).
#define DDSD_CAPS 0x00000001l
#define DDSD_HEIGHT 0x00000002l
#define DDSD_WIDTH 0x00000004l
#define DDSD_PITCH 0x00000008l
#define DDSD_BACKBUFFERCOUNT 0x00000020l
#define DDSD_ZBUFFERBITDEPTH 0x00000040l
#define DDSD_ALPHABITDEPTH 0x00000080l
#define DDSD_LPSURFACE 0x00000800l
#define DDSD_PIXELFORMAT 0x00001000l
#define DDSD_CKDESTOVERLAY 0x00002000l
#define DDSD_CKDESTBLT 0x00004000l
#define DDSD_CKSRCOVERLAY 0x00008000l
#define DDSD_CKSRCBLT 0x00010000l
#define DDSD_MIPMAPCOUNT 0x00020000l
#define DDSD_REFRESHRATE 0x00040000l
#define DDSD_LINEARSIZE 0x00080000l

// Pixel format flags (DDPIXELFORMAT.dwFlags).
#define DDPF_ALPHAPIXELS 0x00000001l
#define DDPF_ALPHA 0x00000002l
#define DDPF_FOURCC 0x00000004l
#define DDPF_PALETTEINDEXED4 0x00000008l
#define DDPF_PALETTEINDEXEDTO8 0x00000010l
#define DDPF_PALETTEINDEXED8 0x00000020l
#define DDPF_RGB 0x00000040l
#define DDPF_COMPRESSED 0x00000080l
#define DDPF_RGBTOYUV 0x00000100l
#define DDPF_YUV 0x00000200l
#define DDPF_ZBUFFER 0x00000400l
#define DDPF_PALETTEINDEXED1 0x00000800l
#define DDPF_PALETTEINDEXED2 0x00001000l
#define DDPF_ZPIXELS 0x00002000l

// Cooperative levels.
#define DDSCL_FULLSCREEN 0x00000001l
#define DDSCL_ALLOWREBOOT 0x00000002l
#define DDSCL_NOWINDOWCHANGES 0x00000004l
#define DDSCL_NORMAL 0x00000008l
#define DDSCL_EXCLUSIVE 0x00000010l
#define DDSCL_ALLOWMODEX 0x00000040l

// Lock, blit, flip, colour key and palette flags.
#define DDLOCK_SURFACEMEMORYPTR 0x00000000l
#define DDLOCK_WAIT 0x00000001l
#define DDLOCK_EVENT 0x00000002l
#define DDLOCK_READONLY 0x00000010l
#define DDLOCK_WRITEONLY 0x00000020l
#define DDLOCK_NOSYSLOCK 0x00000800l

#define DDBLT_ASYNC 0x00000200l
#define DDBLT_COLORFILL 0x00000400l
#define DDBLT_DDFX 0x00000800l
#define DDBLT_KEYSRC 0x00008000l
#define DDBLT_KEYSRCOVERRIDE 0x00010000l
#define DDBLT_ROP 0x00020000l
#define DDBLT_WAIT 0x01000000l
#define DDBLT_DEPTHFILL 0x02000000l

#define DDBLTFAST_NOCOLORKEY 0x00000000
#define DDBLTFAST_SRCCOLORKEY 0x00000001
#define DDBLTFAST_DESTCOLORKEY 0x00000002
#define DDBLTFAST_WAIT 0x00000010

#define DDFLIP_WAIT 0x00000001l

#define DDCKEY_COLORSPACE 0x00000001l
#define DDCKEY_DESTBLT 0x00000002l
#define DDCKEY_DESTOVERLAY 0x00000004l
#define DDCKEY_SRCBLT 0x00000008l
#define DDCKEY_SRCOVERLAY 0x00000010l

#define DDPCAPS_4BIT 0x00000001l
#define DDPCAPS_8BITENTRIES 0x00000002l
#define DDPCAPS_8BIT 0x00000004l
#define DDPCAPS_INITIALIZE 0x00000008l
#define DDPCAPS_PRIMARYSURFACE 0x00000010l
#define DDPCAPS_ALLOW256 0x00000040l
#define DDPCAPS_1BIT 0x00000100l
#define DDPCAPS_2BIT 0x00000200l

#define DDEDM_REFRESHRATES 0x00000001l
#define DDEDM_STANDARDVGAMODES 0x00000002l

// Bit depths as flags (Z-buffer depths of a Direct3D device description).
#define DDBD_1 0x00004000l
#define DDBD_2 0x00002000l
#define DDBD_4 0x00001000l
#define DDBD_8 0x00000800l
#define DDBD_16 0x00000400l
#define DDBD_24 0x00000200l
#define DDBD_32 0x00000100l

// ---- records --------------------------------------------------------------------

typedef struct _DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
} DDCOLORKEY, *LPDDCOLORKEY;

typedef struct _DDSCAPS {
    DWORD dwCaps;
} DDSCAPS, *LPDDSCAPS;

typedef struct _DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    union {
        DWORD dwRGBBitCount;
        DWORD dwYUVBitCount;
        DWORD dwZBufferBitDepth;
        DWORD dwAlphaBitDepth;
    };
    union {
        DWORD dwRBitMask;
        DWORD dwYBitMask;
    };
    union {
        DWORD dwGBitMask;
        DWORD dwUBitMask;
    };
    union {
        DWORD dwBBitMask;
        DWORD dwVBitMask;
    };
    union {
        DWORD dwRGBAlphaBitMask;
        DWORD dwYUVAlphaBitMask;
        DWORD dwRGBZBitMask;
    };
} DDPIXELFORMAT, *LPDDPIXELFORMAT;

typedef struct _DDSURFACEDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    union {
        LONG lPitch;
        DWORD dwLinearSize;
    };
    DWORD dwBackBufferCount;
    union {
        DWORD dwMipMapCount;
        DWORD dwZBufferBitDepth;
        DWORD dwRefreshRate;
    };
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    LPVOID lpSurface;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
} DDSURFACEDESC, *LPDDSURFACEDESC;

struct IDirectDrawSurface;

typedef struct _DDBLTFX {
    DWORD dwSize;
    DWORD dwDDFX;
    DWORD dwROP;
    DWORD dwDDROP;
    DWORD dwRotationAngle;
    DWORD dwZBufferOpCode;
    DWORD dwZBufferLow;
    DWORD dwZBufferHigh;
    DWORD dwZBufferBaseDest;
    DWORD dwZDestConstBitDepth;
    union {
        DWORD dwZDestConst;
        struct IDirectDrawSurface* lpDDSZBufferDest;
    };
    DWORD dwZSrcConstBitDepth;
    union {
        DWORD dwZSrcConst;
        struct IDirectDrawSurface* lpDDSZBufferSrc;
    };
    DWORD dwAlphaEdgeBlendBitDepth;
    DWORD dwAlphaEdgeBlend;
    DWORD dwReserved;
    DWORD dwAlphaDestConstBitDepth;
    union {
        DWORD dwAlphaDestConst;
        struct IDirectDrawSurface* lpDDSAlphaDest;
    };
    DWORD dwAlphaSrcConstBitDepth;
    union {
        DWORD dwAlphaSrcConst;
        struct IDirectDrawSurface* lpDDSAlphaSrc;
    };
    union {
        DWORD dwFillColor;
        DWORD dwFillDepth;
        DWORD dwFillPixel;
        struct IDirectDrawSurface* lpDDSPattern;
    };
    DDCOLORKEY ddckDestColorkey;
    DDCOLORKEY ddckSrcColorkey;
} DDBLTFX, *LPDDBLTFX;

// Hardware description; the engine does not read it, the interface carries it.
typedef struct _DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCKeyCaps;
    DWORD dwFXCaps;
    DWORD dwFXAlphaCaps;
    DWORD dwPalCaps;
    DWORD dwSVCaps;
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
} DDCAPS, *LPDDCAPS;

struct IDirectDraw;
struct IDirectDraw2;
struct IDirectDrawPalette;
struct IDirectDrawClipper;
struct _DDBLTBATCH;
struct _DDOVERLAYFX;

typedef struct IDirectDraw* LPDIRECTDRAW;
typedef struct IDirectDraw2* LPDIRECTDRAW2;
typedef struct IDirectDrawSurface* LPDIRECTDRAWSURFACE;
typedef struct IDirectDrawPalette* LPDIRECTDRAWPALETTE;
typedef struct IDirectDrawClipper* LPDIRECTDRAWCLIPPER;
typedef struct _DDBLTBATCH* LPDDBLTBATCH;
typedef struct _DDOVERLAYFX* LPDDOVERLAYFX;

typedef HRESULT(CALLBACK* LPDDENUMMODESCALLBACK)(LPDDSURFACEDESC desc, LPVOID context);
typedef HRESULT(CALLBACK* LPDDENUMSURFACESCALLBACK)(LPDIRECTDRAWSURFACE surface,
                                                    LPDDSURFACEDESC desc, LPVOID context);

// ---- interface identifiers ------------------------------------------------------

DEFINE_GUID(IID_IDirectDraw, 0x6C14DB80, 0xA733, 0x11CE, 0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5,
            0x60);
DEFINE_GUID(IID_IDirectDraw2, 0xB3A6F3E0, 0x2B43, 0x11CF, 0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33,
            0x56);
DEFINE_GUID(IID_IDirectDrawSurface, 0x6C14DB81, 0xA733, 0x11CE, 0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B,
            0xE5, 0x60);
DEFINE_GUID(IID_IDirectDrawPalette, 0x6C14DB84, 0xA733, 0x11CE, 0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B,
            0xE5, 0x60);

// ---- interfaces -------------------------------------------------------------------

struct IDirectDrawPalette : public IUnknown {
    STDMETHOD(GetCaps)(LPDWORD caps) PURE;
    STDMETHOD(GetEntries)(DWORD flags, DWORD base, DWORD count, LPPALETTEENTRY entries) PURE;
    STDMETHOD(Initialize)(LPDIRECTDRAW directDraw, DWORD flags, LPPALETTEENTRY entries) PURE;
    STDMETHOD(SetEntries)(DWORD flags, DWORD start, DWORD count, LPPALETTEENTRY entries) PURE;
};

struct IDirectDrawSurface : public IUnknown {
    STDMETHOD(AddAttachedSurface)(LPDIRECTDRAWSURFACE surface) PURE;
    STDMETHOD(AddOverlayDirtyRect)(LPRECT rect) PURE;
    STDMETHOD(Blt)
    (LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags,
     LPDDBLTFX fx) PURE;
    STDMETHOD(BltBatch)(LPDDBLTBATCH batch, DWORD count, DWORD flags) PURE;
    STDMETHOD(BltFast)
    (DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans) PURE;
    STDMETHOD(DeleteAttachedSurface)(DWORD flags, LPDIRECTDRAWSURFACE surface) PURE;
    STDMETHOD(EnumAttachedSurfaces)(LPVOID context, LPDDENUMSURFACESCALLBACK callback) PURE;
    STDMETHOD(EnumOverlayZOrders)
    (DWORD flags, LPVOID context, LPDDENUMSURFACESCALLBACK callback) PURE;
    STDMETHOD(Flip)(LPDIRECTDRAWSURFACE target, DWORD flags) PURE;
    STDMETHOD(GetAttachedSurface)(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* surface) PURE;
    STDMETHOD(GetBltStatus)(DWORD flags) PURE;
    STDMETHOD(GetCaps)(LPDDSCAPS caps) PURE;
    STDMETHOD(GetClipper)(LPDIRECTDRAWCLIPPER* clipper) PURE;
    STDMETHOD(GetColorKey)(DWORD flags, LPDDCOLORKEY key) PURE;
    STDMETHOD(GetDC)(HDC* dc) PURE;
    STDMETHOD(GetFlipStatus)(DWORD flags) PURE;
    STDMETHOD(GetOverlayPosition)(LPLONG x, LPLONG y) PURE;
    STDMETHOD(GetPalette)(LPDIRECTDRAWPALETTE* palette) PURE;
    STDMETHOD(GetPixelFormat)(LPDDPIXELFORMAT format) PURE;
    STDMETHOD(GetSurfaceDesc)(LPDDSURFACEDESC desc) PURE;
    STDMETHOD(Initialize)(LPDIRECTDRAW directDraw, LPDDSURFACEDESC desc) PURE;
    STDMETHOD(IsLost)() PURE;
    STDMETHOD(Lock)(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) PURE;
    STDMETHOD(ReleaseDC)(HDC dc) PURE;
    STDMETHOD(Restore)() PURE;
    STDMETHOD(SetClipper)(LPDIRECTDRAWCLIPPER clipper) PURE;
    STDMETHOD(SetColorKey)(DWORD flags, LPDDCOLORKEY key) PURE;
    STDMETHOD(SetOverlayPosition)(LONG x, LONG y) PURE;
    STDMETHOD(SetPalette)(LPDIRECTDRAWPALETTE palette) PURE;
    STDMETHOD(Unlock)(LPVOID memory) PURE;
    STDMETHOD(UpdateOverlay)
    (LPRECT sourceRect, LPDIRECTDRAWSURFACE dest, LPRECT destRect, DWORD flags,
     LPDDOVERLAYFX fx) PURE;
    STDMETHOD(UpdateOverlayDisplay)(DWORD flags) PURE;
    STDMETHOD(UpdateOverlayZOrder)(DWORD flags, LPDIRECTDRAWSURFACE reference) PURE;
};

struct IDirectDraw : public IUnknown {
    STDMETHOD(Compact)() PURE;
    STDMETHOD(CreateClipper)(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) PURE;
    STDMETHOD(CreatePalette)
    (DWORD flags, LPPALETTEENTRY entries, LPDIRECTDRAWPALETTE* palette, IUnknown* outer) PURE;
    STDMETHOD(CreateSurface)
    (LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) PURE;
    STDMETHOD(DuplicateSurface)(LPDIRECTDRAWSURFACE source, LPDIRECTDRAWSURFACE* copy) PURE;
    STDMETHOD(EnumDisplayModes)
    (DWORD flags, LPDDSURFACEDESC filter, LPVOID context, LPDDENUMMODESCALLBACK callback) PURE;
    STDMETHOD(EnumSurfaces)
    (DWORD flags, LPDDSURFACEDESC filter, LPVOID context, LPDDENUMSURFACESCALLBACK callback) PURE;
    STDMETHOD(FlipToGDISurface)() PURE;
    STDMETHOD(GetCaps)(LPDDCAPS driverCaps, LPDDCAPS emulationCaps) PURE;
    STDMETHOD(GetDisplayMode)(LPDDSURFACEDESC desc) PURE;
    STDMETHOD(GetFourCCCodes)(LPDWORD count, LPDWORD codes) PURE;
    STDMETHOD(GetGDISurface)(LPDIRECTDRAWSURFACE* surface) PURE;
    STDMETHOD(GetMonitorFrequency)(LPDWORD frequency) PURE;
    STDMETHOD(GetScanLine)(LPDWORD line) PURE;
    STDMETHOD(GetVerticalBlankStatus)(LPBOOL inBlank) PURE;
    STDMETHOD(Initialize)(GUID* guid) PURE;
    STDMETHOD(RestoreDisplayMode)() PURE;
    STDMETHOD(SetCooperativeLevel)(HWND window, DWORD flags) PURE;
    STDMETHOD(SetDisplayMode)(DWORD width, DWORD height, DWORD bitsPerPixel) PURE;
    STDMETHOD(WaitForVerticalBlank)(DWORD flags, HANDLE event) PURE;
};

struct IDirectDraw2 : public IUnknown {
    STDMETHOD(Compact)() PURE;
    STDMETHOD(CreateClipper)(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) PURE;
    STDMETHOD(CreatePalette)
    (DWORD flags, LPPALETTEENTRY entries, LPDIRECTDRAWPALETTE* palette, IUnknown* outer) PURE;
    STDMETHOD(CreateSurface)
    (LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) PURE;
    STDMETHOD(DuplicateSurface)(LPDIRECTDRAWSURFACE source, LPDIRECTDRAWSURFACE* copy) PURE;
    STDMETHOD(EnumDisplayModes)
    (DWORD flags, LPDDSURFACEDESC filter, LPVOID context, LPDDENUMMODESCALLBACK callback) PURE;
    STDMETHOD(EnumSurfaces)
    (DWORD flags, LPDDSURFACEDESC filter, LPVOID context, LPDDENUMSURFACESCALLBACK callback) PURE;
    STDMETHOD(FlipToGDISurface)() PURE;
    STDMETHOD(GetCaps)(LPDDCAPS driverCaps, LPDDCAPS emulationCaps) PURE;
    STDMETHOD(GetDisplayMode)(LPDDSURFACEDESC desc) PURE;
    STDMETHOD(GetFourCCCodes)(LPDWORD count, LPDWORD codes) PURE;
    STDMETHOD(GetGDISurface)(LPDIRECTDRAWSURFACE* surface) PURE;
    STDMETHOD(GetMonitorFrequency)(LPDWORD frequency) PURE;
    STDMETHOD(GetScanLine)(LPDWORD line) PURE;
    STDMETHOD(GetVerticalBlankStatus)(LPBOOL inBlank) PURE;
    STDMETHOD(Initialize)(GUID* guid) PURE;
    STDMETHOD(RestoreDisplayMode)() PURE;
    STDMETHOD(SetCooperativeLevel)(HWND window, DWORD flags) PURE;
    STDMETHOD(SetDisplayMode)
    (DWORD width, DWORD height, DWORD bitsPerPixel, DWORD refreshRate, DWORD flags) PURE;
    STDMETHOD(WaitForVerticalBlank)(DWORD flags, HANDLE event) PURE;
    STDMETHOD(GetAvailableVidMem)(LPDDSCAPS caps, LPDWORD total, LPDWORD free) PURE;
};

#ifdef __cplusplus
extern "C" {
#endif

HRESULT WINAPI DirectDrawCreate(GUID* guid, LPDIRECTDRAW* directDraw, IUnknown* outer);

#ifdef __cplusplus
}
#endif

#endif
