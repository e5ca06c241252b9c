// sDisplay: the abstract display device and the records that cross its interface.
#ifndef PRISMATEL_DISPLAY_H
#define PRISMATEL_DISPLAY_H

#include "system.h"

class sBitmap;
struct sColor;
struct IDirectDrawSurface;
typedef DWORD D3DTEXTUREHANDLE;

struct sDisplayMode {
    sDisplayMode() {}
    sDisplayMode(int width, int height, int kind);
    void SetBitsFromKind();

    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0;
    int32_t kind = 0;
    int32_t refreshRate = 0;
    int32_t backBuffers = 0;
    int32_t backBuffersWithZ = 0;
    int32_t memoryLeft = 0;
    bool hasZBuffer = false;
    bool has3D = false;
};

// The render-mode word of SetRenderMode: three fields of four bits.
// Shading, bits 0-3: one value of the field. Odd values are Gouraud; textured values take
// the texture as a decal when flat and modulate it when Gouraud.
const unsigned RM_SHADING_MASK = 0x00F;
const unsigned RM_FLAT = 0x000;            // the current colour
const unsigned RM_GOURAUD = 0x001;         // the vertex colours
const unsigned RM_DECAL = 0x002;           // textured, flat
const unsigned RM_MODULATE = 0x003;        // textured, Gouraud
const unsigned RM_DECAL_LINEAR = 0x004;    // textured with linear filtering, flat
const unsigned RM_MODULATE_LINEAR = 0x005; // textured with linear filtering, Gouraud
// Depth, bits 4-7: two flags (with neither, no Z-buffer). Larger depth is nearer.
const unsigned RM_DEPTH_MASK = 0x0F0;
const unsigned RM_DEPTH_TEST = 0x010;  // draw only where nearer or as near
const unsigned RM_DEPTH_WRITE = 0x020; // store the depth drawn
// Blending, bits 8-11: one value of the field.
const unsigned RM_BLEND_MASK = 0xF00;
const unsigned RM_OPAQUE = 0x000;
const unsigned RM_BLEND_ALPHA = 0x100; // by the source's alpha
const unsigned RM_BLEND_ADD = 0x200;   // added to what is there

enum TextureType {
    TT_IMAGE = 1,
    TT_TEXTURE = 2,
};

struct sTexture {
    sBitmap* bitmap;
    const char* fileName;
    int32_t tag;
    int32_t type;
    bool flag0;
    bool flag1;
    int32_t width, height;
    int32_t levelCount;
    int32_t kind;
    bool prepared;
    IDirectDrawSurface* systemSurface;
    IDirectDrawSurface* videoSurface;
    D3DTEXTUREHANDLE textureHandle;
};

// One transformed and lit vertex in the layout Direct3D takes it.
struct sVertex {
    float x, y, z, rhw;
    uint32_t color;
    uint32_t specular;
    float u, v;
};

const int MAX_TEXTURES = 256;

class sDisplay : public sDevice {
public:
    sDisplay();
    virtual ~sDisplay();

    virtual int GetKind();
    virtual int GetModeCount();
    virtual sDisplayMode* GetMode(int i);
    virtual bool FindMode(sDisplayMode& request);
    virtual void SetDisplayMode(sDisplayMode& mode) = 0;
    virtual void GetDisplayMode(sDisplayMode& out);
    virtual void SetPalette(const sColor* colors) = 0;
    virtual int AddTexture(sTexture* t);
    virtual void RemoveTexture(sTexture* t);
    virtual int GetTextureCount();
    virtual sTexture* GetTexture(int i);
    virtual void PrepareTextures(const sDisplayMode& mode) = 0;
    virtual void UploadTextures() = 0;
    virtual void TextureHook(int a, int b) = 0;
    virtual int FreeTextures() = 0;
    virtual unsigned ColorToIndex(const sColor& c);
    virtual unsigned ColorToIndex(int r, int g, int b, int a);
    virtual void IndexToColor(unsigned raw, sColor& out);
    virtual void BeginFrame(void* mustBeNull) = 0;
    virtual void EndFrame() = 0;
    virtual void Begin3D(const sRect* area) = 0;
    virtual void End3D() = 0;
    virtual void Lock(sBitmap& out) = 0;
    virtual void Unlock() = 0;
    virtual int GetBufferIndex() = 0;
    virtual void SetMouse(bool visible, int x, int y) = 0;
    virtual void SetClip(const sRect* clip) = 0;
    virtual void ClearClip() = 0;
    virtual void Plot(unsigned raw, int x, int y) = 0;
    virtual void HLine(unsigned raw, int x0, int x1, int y) = 0;
    virtual void VLine(unsigned raw, int x, int y0, int y1) = 0;
    virtual void Line(unsigned raw, int x0, int y0, int x1, int y1) = 0;
    virtual void FillRect(unsigned raw, const sRect& r);
    virtual void FillRect(unsigned raw, int x0, int y0, int x1, int y1) = 0;
    virtual void FrameRect(unsigned raw, const sRect& r);
    virtual void FrameRect(unsigned raw, int x0, int y0, int x1, int y1) = 0;
    virtual void Blit(sTexture* t, sBlitRect& r) = 0;
    virtual void BlitMono(sTexture* t, sBlitRect& r, unsigned color) = 0;
    virtual void BlitMono(sTexture* t, sBlitRect& r, unsigned set, unsigned clear) = 0;
    virtual void BlitBitmap(sBitmap* b, sBlitRect& r) = 0;
    virtual sVertex* SetVertexCount(int n) = 0;
    virtual sVertex* GetVertices(int n) = 0;
    virtual void SetRenderMode(unsigned mode) = 0;
    virtual void SetTexture(sTexture* t) = 0;
    virtual void SetColor(int r, int g, int b, int a) = 0;
    virtual void SetColor(const sColor& c) = 0;
    virtual void DrawStrip(int n) = 0;
    virtual void DrawFan(int n) = 0;

    sDisplayMode* modes;
    sDisplayMode current;
    int32_t modeCount;
    int32_t kind;
    sTexture* textures[MAX_TEXTURES];
    int32_t textureCount;
};

// The score that orders candidate modes for a request; smaller is closer.
int ScoreMode(const sDisplayMode& request, const sDisplayMode& m);
extern const uint8_t KindDistance[8][8];

#endif
