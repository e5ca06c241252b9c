// Direct3D 5 immediate mode: the interfaces the engine uses, their identifiers and results.
#ifndef PRISMATEL_D3D_H
#define PRISMATEL_D3D_H

#include <ddraw.h>
#include <d3dtypes.h>
#include <d3dcaps.h>

#define D3D_OK DD_OK
#define D3DENUMRET_CANCEL DDENUMRET_CANCEL
#define D3DENUMRET_OK DDENUMRET_OK

#define D3DERR_INVALID_DEVICE MAKE_DDHRESULT(705)
#define D3DERR_INITFAILED MAKE_DDHRESULT(706)
#define D3DERR_TEXTURE_LOAD_FAILED MAKE_DDHRESULT(731)
#define D3DERR_TEXTURE_GETSURF_FAILED MAKE_DDHRESULT(733)
#define D3DERR_MATERIAL_GETDATA_FAILED MAKE_DDHRESULT(754)
#define D3DERR_INVALIDPRIMITIVETYPE MAKE_DDHRESULT(745)
#define D3DERR_INVALIDVERTEXTYPE MAKE_DDHRESULT(746)
#define D3DERR_SURFACENOTINVIDMEM MAKE_DDHRESULT(747)
#define D3DERR_VIEWPORTHASNODEVICE MAKE_DDHRESULT(761)
#define D3DERR_SCENE_IN_SCENE MAKE_DDHRESULT(770)
#define D3DERR_SCENE_NOT_IN_SCENE MAKE_DDHRESULT(771)
#define D3DERR_INVALIDCURRENTVIEWPORT MAKE_DDHRESULT(781)
#define D3DERR_NOCURRENTVIEWPORT MAKE_DDHRESULT(787)

DEFINE_GUID(IID_IDirect3D, 0x3BBA0080, 0x2421, 0x11CF, 0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33,
            0x56);
DEFINE_GUID(IID_IDirect3D2, 0x6AAE1EC1, 0x662A, 0x11D0, 0x88, 0x9D, 0x00, 0xAA, 0x00, 0xBB, 0xB7,
            0x6A);
DEFINE_GUID(IID_IDirect3DRampDevice, 0xF2086B20, 0x259F, 0x11CF, 0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9,
            0x33, 0x56);
DEFINE_GUID(IID_IDirect3DRGBDevice, 0xA4665C60, 0x2673, 0x11CF, 0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9,
            0x33, 0x56);
DEFINE_GUID(IID_IDirect3DHALDevice, 0x84E63DE0, 0x46AA, 0x11CF, 0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20,
            0x15, 0x6E);
DEFINE_GUID(IID_IDirect3DMMXDevice, 0x881949A1, 0xD6F3, 0x11D0, 0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05,
            0x41, 0x29);
DEFINE_GUID(IID_IDirect3DDevice2, 0x93281501, 0x8CF8, 0x11D0, 0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05,
            0x41, 0x29);
DEFINE_GUID(IID_IDirect3DViewport2, 0x93281500, 0x8CF8, 0x11D0, 0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05,
            0x41, 0x29);
DEFINE_GUID(IID_IDirect3DTexture2, 0x93281502, 0x8CF8, 0x11D0, 0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05,
            0x41, 0x29);
DEFINE_GUID(IID_IDirect3DMaterial2, 0x93281503, 0x8CF8, 0x11D0, 0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05,
            0x41, 0x29);

struct IDirect3D2;
struct IDirect3DDevice2;
struct IDirect3DViewport2;
struct IDirect3DMaterial2;
struct IDirect3DTexture2;
struct IDirect3DLight;
struct _D3DFINDDEVICESEARCH;
struct _D3DFINDDEVICERESULT;
struct _D3DLIGHT;

typedef struct IDirect3D2* LPDIRECT3D2;
typedef struct IDirect3DDevice2* LPDIRECT3DDEVICE2;
typedef struct IDirect3DViewport2* LPDIRECT3DVIEWPORT2;
typedef struct IDirect3DMaterial2* LPDIRECT3DMATERIAL2;
typedef struct IDirect3DTexture2* LPDIRECT3DTEXTURE2;
typedef struct IDirect3DLight* LPDIRECT3DLIGHT;
typedef struct _D3DFINDDEVICESEARCH* LPD3DFINDDEVICESEARCH;
typedef struct _D3DFINDDEVICERESULT* LPD3DFINDDEVICERESULT;
typedef struct _D3DLIGHT* LPD3DLIGHT;

typedef HRESULT(CALLBACK* LPD3DENUMDEVICESCALLBACK)(GUID* guid, LPSTR description, LPSTR name,
                                                    LPD3DDEVICEDESC hardwareDesc,
                                                    LPD3DDEVICEDESC emulationDesc, LPVOID context);
typedef HRESULT(CALLBACK* LPD3DENUMTEXTUREFORMATSCALLBACK)(LPDDSURFACEDESC desc, LPVOID context);

struct IDirect3D2 : public IUnknown {
    STDMETHOD(EnumDevices)(LPD3DENUMDEVICESCALLBACK callback, LPVOID context) PURE;
    STDMETHOD(CreateLight)(LPDIRECT3DLIGHT* light, IUnknown* outer) PURE;
    STDMETHOD(CreateMaterial)(LPDIRECT3DMATERIAL2* material, IUnknown* outer) PURE;
    STDMETHOD(CreateViewport)(LPDIRECT3DVIEWPORT2* viewport, IUnknown* outer) PURE;
    STDMETHOD(FindDevice)(LPD3DFINDDEVICESEARCH search, LPD3DFINDDEVICERESULT result) PURE;
    STDMETHOD(CreateDevice)
    (REFCLSID type, LPDIRECTDRAWSURFACE surface, LPDIRECT3DDEVICE2* device) PURE;
};

struct IDirect3DDevice2 : public IUnknown {
    STDMETHOD(GetCaps)(LPD3DDEVICEDESC hardwareDesc, LPD3DDEVICEDESC emulationDesc) PURE;
    STDMETHOD(SwapTextureHandles)(LPDIRECT3DTEXTURE2 a, LPDIRECT3DTEXTURE2 b) PURE;
    STDMETHOD(GetStats)(LPD3DSTATS stats) PURE;
    STDMETHOD(AddViewport)(LPDIRECT3DVIEWPORT2 viewport) PURE;
    STDMETHOD(DeleteViewport)(LPDIRECT3DVIEWPORT2 viewport) PURE;
    STDMETHOD(NextViewport)
    (LPDIRECT3DVIEWPORT2 reference, LPDIRECT3DVIEWPORT2* next, DWORD flags) PURE;
    STDMETHOD(EnumTextureFormats)(LPD3DENUMTEXTUREFORMATSCALLBACK callback, LPVOID context) PURE;
    STDMETHOD(BeginScene)() PURE;
    STDMETHOD(EndScene)() PURE;
    STDMETHOD(GetDirect3D)(LPDIRECT3D2* direct3D) PURE;
    STDMETHOD(SetCurrentViewport)(LPDIRECT3DVIEWPORT2 viewport) PURE;
    STDMETHOD(GetCurrentViewport)(LPDIRECT3DVIEWPORT2* viewport) PURE;
    STDMETHOD(SetRenderTarget)(LPDIRECTDRAWSURFACE surface, DWORD flags) PURE;
    STDMETHOD(GetRenderTarget)(LPDIRECTDRAWSURFACE* surface) PURE;
    STDMETHOD(Begin)(D3DPRIMITIVETYPE type, D3DVERTEXTYPE vertexType, DWORD flags) PURE;
    STDMETHOD(BeginIndexed)
    (D3DPRIMITIVETYPE type, D3DVERTEXTYPE vertexType, LPVOID vertices, DWORD count,
     DWORD flags) PURE;
    STDMETHOD(Vertex)(LPVOID vertex) PURE;
    STDMETHOD(Index)(WORD index) PURE;
    STDMETHOD(End)(DWORD flags) PURE;
    STDMETHOD(GetRenderState)(D3DRENDERSTATETYPE state, LPDWORD value) PURE;
    STDMETHOD(SetRenderState)(D3DRENDERSTATETYPE state, DWORD value) PURE;
    STDMETHOD(GetLightState)(D3DLIGHTSTATETYPE state, LPDWORD value) PURE;
    STDMETHOD(SetLightState)(D3DLIGHTSTATETYPE state, DWORD value) PURE;
    STDMETHOD(SetTransform)(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) PURE;
    STDMETHOD(GetTransform)(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) PURE;
    STDMETHOD(MultiplyTransform)(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) PURE;
    STDMETHOD(DrawPrimitive)
    (D3DPRIMITIVETYPE type, D3DVERTEXTYPE vertexType, LPVOID vertices, DWORD count,
     DWORD flags) PURE;
    STDMETHOD(DrawIndexedPrimitive)
    (D3DPRIMITIVETYPE type, D3DVERTEXTYPE vertexType, LPVOID vertices, DWORD vertexCount,
     LPWORD indices, DWORD indexCount, DWORD flags) PURE;
    STDMETHOD(SetClipStatus)(LPD3DCLIPSTATUS status) PURE;
    STDMETHOD(GetClipStatus)(LPD3DCLIPSTATUS status) PURE;
};

struct IDirect3DViewport2 : public IUnknown {
    STDMETHOD(Initialize)(LPDIRECT3D2 direct3D) PURE;
    STDMETHOD(GetViewport)(LPD3DVIEWPORT data) PURE;
    STDMETHOD(SetViewport)(LPD3DVIEWPORT data) PURE;
    STDMETHOD(TransformVertices)(DWORD count, LPVOID data, DWORD flags, LPDWORD offscreen) PURE;
    STDMETHOD(LightElements)(DWORD count, LPVOID data) PURE;
    STDMETHOD(SetBackground)(D3DMATERIALHANDLE material) PURE;
    STDMETHOD(GetBackground)(LPD3DMATERIALHANDLE material, LPBOOL valid) PURE;
    STDMETHOD(SetBackgroundDepth)(LPDIRECTDRAWSURFACE surface) PURE;
    STDMETHOD(GetBackgroundDepth)(LPDIRECTDRAWSURFACE* surface, LPBOOL valid) PURE;
    STDMETHOD(Clear)(DWORD count, LPD3DRECT rects, DWORD flags) PURE;
    STDMETHOD(AddLight)(LPDIRECT3DLIGHT light) PURE;
    STDMETHOD(DeleteLight)(LPDIRECT3DLIGHT light) PURE;
    STDMETHOD(NextLight)(LPDIRECT3DLIGHT reference, LPDIRECT3DLIGHT* next, DWORD flags) PURE;
    STDMETHOD(GetViewport2)(LPD3DVIEWPORT2 data) PURE;
    STDMETHOD(SetViewport2)(LPD3DVIEWPORT2 data) PURE;
};

struct IDirect3DMaterial2 : public IUnknown {
    STDMETHOD(SetMaterial)(LPD3DMATERIAL data) PURE;
    STDMETHOD(GetMaterial)(LPD3DMATERIAL data) PURE;
    STDMETHOD(GetHandle)(LPDIRECT3DDEVICE2 device, LPD3DMATERIALHANDLE handle) PURE;
};

struct IDirect3DTexture2 : public IUnknown {
    STDMETHOD(GetHandle)(LPDIRECT3DDEVICE2 device, LPD3DTEXTUREHANDLE handle) PURE;
    STDMETHOD(PaletteChanged)(DWORD start, DWORD count) PURE;
    STDMETHOD(Load)(LPDIRECT3DTEXTURE2 source) PURE;
};

#endif
