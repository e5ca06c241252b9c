// sWinDriver: the display driver over DirectDraw 5 and Direct3D 5, and the process-wide
// DirectX state it shares with start-up, shut-down and the fatal paths.
#ifndef PRISMATEL_WINDRIVER_H
#define PRISMATEL_WINDRIVER_H

// The DirectX 5 interfaces and record layouts, whatever the SDK's default version.
#define DIRECTDRAW_VERSION 0x0500
#include <ddraw.h>
#include <d3d.h>

#include "bitmap.h"
#include "display.h"

// One texture format per BitmapKind, as Direct3D offered it.
struct sTextureFormat {
    DDPIXELFORMAT format;
    bool found;
};

// Buffers of a flipping chain: the front and up to two back buffers.
const int MAX_CHAIN_BUFFERS = 3;

class sWinDriver : public sDisplay {
public:
    sWinDriver();
    virtual ~sWinDriver();

    virtual void SetDisplayMode(sDisplayMode& mode);
    virtual void SetPalette(const sColor* colors);
    virtual void PrepareTextures(const sDisplayMode& mode);
    virtual void UploadTextures();
    virtual void TextureHook(int a, int b);
    virtual int FreeTextures();
    virtual void BeginFrame(void* mustBeNull);
    virtual void EndFrame();
    virtual void Begin3D(const sRect* area);
    virtual void End3D();
    // Describes the locked back buffer in `out`. When the back buffer cannot be locked,
    // `out` has no levels (levelCount 0, no level memory): the caller draws nothing.
    virtual void Lock(sBitmap& out);
    virtual void Unlock();
    virtual int GetBufferIndex();
    virtual void SetMouse(bool visible, int x, int y);
    virtual void SetClip(const sRect* clip);
    virtual void ClearClip();
    virtual void Plot(unsigned raw, int x, int y);
    virtual void HLine(unsigned raw, int x0, int x1, int y);
    virtual void VLine(unsigned raw, int x, int y0, int y1);
    virtual void Line(unsigned raw, int x0, int y0, int x1, int y1);
    using sDisplay::FillRect;
    virtual void FillRect(unsigned raw, int x0, int y0, int x1, int y1);
    using sDisplay::FrameRect;
    virtual void FrameRect(unsigned raw, int x0, int y0, int x1, int y1);
    virtual void Blit(sTexture* t, sBlitRect& r);
    virtual void BlitMono(sTexture* t, sBlitRect& r, unsigned color);
    virtual void BlitMono(sTexture* t, sBlitRect& r, unsigned set, unsigned clear);
    virtual void BlitBitmap(sBitmap* b, sBlitRect& r);
    virtual sVertex* SetVertexCount(int n);
    virtual sVertex* GetVertices(int n);
    virtual void SetRenderMode(unsigned mode);
    virtual void SetTexture(sTexture* t);
    virtual void SetColor(int r, int g, int b, int a);
    virtual void SetColor(const sColor& c);
    virtual void DrawStrip(int n);
    virtual void DrawFan(int n);

    // The one lock state of the back buffer: software drawing locks lazily, every
    // DirectDraw blit unlocks first. LockBack is false when the lock failed.
    bool LockBack();
    void UnlockBack();

    uint32_t videoMemory;
    IDirectDrawSurface* primary;
    IDirectDrawSurface* back;
    IDirectDrawSurface* zBuffer;
    DDSURFACEDESC lockDesc;
    bool locked;
    DDBLTFX fillFx;
    int32_t bufferIndex;
    bool palettePending;
    sColor paletteColors[256];
    bool mouseVisible;
    int32_t mouseX, mouseY;
    IDirectDrawSurface* pointerImage;
    IDirectDrawSurface* saveUnder[MAX_CHAIN_BUFFERS];
    sRect saveRect[MAX_CHAIN_BUFFERS];
    bool saved[MAX_CHAIN_BUFFERS];
    sVertex* vertices; // allocated with new[], freed with delete[]
    int32_t vertexCount;
    sColor color;
    D3DTEXTUREHANDLE currentTexture;
    uint32_t renderMode;
    bool clipOn;
    sRect clip;

private:
    void ListModes();
    void TearDownMode();
    void CreateFlippingChain(sDisplayMode& mode);
    void CreateZBuffer(const sDisplayMode& mode);
    void Start3D(const sDisplayMode& mode);
    void SetUpPointer();
    void ReleasePointer();
    void DrawPointer();
    void RestorePointerBackground();
    void ApplyPendingPalette();
    // 2D drawing helpers: the address of a pixel of the locked back buffer, a blitter
    // colour fill, and BlitBitmap's conversions.
    uint8_t* BackPixel(int x, int y);
    void ColorFill(unsigned raw, int x0, int y0, int x1, int y1);
    void BlitIndexedTo16(sBitmap& b, const sBlitRect& r);
    void Blit16To16(sBitmap& b, const sBlitRect& r, int from, int to);
    // 3D helpers: the current colour as ARGB, and the three fields of the mode word.
    uint32_t PackedColor() const;
    void FillVertexColors(uint32_t argb);
    void ApplyShading(unsigned field);
    void ApplyDepth(unsigned field);
    void ApplyBlending(unsigned field);
};

// ---- process-wide DirectX state ----------------------------------------------------------

extern IDirectDraw* directDraw;
extern IDirectDraw2* directDraw2;
extern IDirect3D2* direct3D;
extern IDirect3DDevice2* device3D;
extern IDirect3DViewport2* viewport;
extern IDirect3DMaterial2* frontMaterial;
extern D3DMATERIALHANDLE frontMaterialHandle;
extern IDirect3DMaterial2* backMaterial;
extern D3DMATERIALHANDLE backMaterialHandle;
extern IDirectDrawPalette* palette;
extern bool deviceFound;
extern D3DDEVICEDESC hardwareDesc;
extern D3DDEVICEDESC emulationDesc;
extern D3DDEVICEDESC chosenDesc;
extern GUID deviceGuid;
extern const char* deviceName;
extern sTextureFormat textureFormats[BITMAP_KINDS];
extern sWinDriver* theDisplay;

// Starts COM, DirectDraw with exclusive full-screen access and the Direct3D enumeration.
void StartDirectDraw();
// Releases the DirectDraw and Direct3D objects and gives back exclusive access; safe to
// call repeatedly and from the fatal paths.
void ReleaseDirectDraw();
// What a pixel format is classified for: a screen is known by its colour masks alone, a
// texture by its alpha mask too.
enum FormatUse { FU_SCREEN, FU_TEXTURE };
// BitmapKind of a pixel format for that use, or -1.
int PixelKindOf(const DDPIXELFORMAT& pf, FormatUse use);
// BitmapKind of a screen pixel format, or -1 after saying which format it is.
int ClassifyPixelFormat(const DDPIXELFORMAT& pf);

#endif
