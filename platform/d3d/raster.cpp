// DrawPrimitive's drawing: the device's render states gathered into one raster state, then
// the primitive cut into triangles. Points and lines are accepted and draw nothing; the
// driver draws only strips and fans.
#include "device.h"
#include "raster.h"
#include "texture.h"

#include <algorithm>

namespace ddsoft {

namespace {

bool TargetOf(Surface& surface, RasterTarget& out) {
    // An 8-bit target is drawn with the palette it is shown with, colour by nearest entry.
    Palette* palette = surface.PaletteInForce();
    out.layout = LayoutOf(surface.Format(), palette ? palette->Entries() : nullptr);
    if (!out.layout.bytes) return false;
    out.memory = surface.Memory();
    out.pitch = surface.Pitch();
    out.width = (int)surface.Width();
    out.height = (int)surface.Height();
    return out.memory != nullptr;
}

void DepthOf(const Device& device, Surface& target, RasterState& s) {
    Surface* z = target.AttachedZ();
    if (!device.RenderState(D3DRENDERSTATE_ZENABLE) || !z || z->Lost() || !z->Memory()) return;
    DWORD bits = z->BitsPerPixel();
    if (bits != 16 && bits != 24 && bits != 32) return;
    RasterDepth& d = s.depth;
    d.memory = z->Memory();
    d.pitch = z->Pitch();
    d.bytes = (int)bits / 8;
    d.maximum = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    d.test = true;
    d.write = device.RenderState(D3DRENDERSTATE_ZWRITEENABLE) != 0;
    d.function = device.RenderState(D3DRENDERSTATE_ZFUNC);
    // Pixels beyond the Z-buffer are not drawn rather than read out of bounds.
    s.target.width = std::min(s.target.width, (int)z->Width());
    s.target.height = std::min(s.target.height, (int)z->Height());
}

void TextureOf(const Device& device, RasterState& s) {
    Surface* t = TextureFromHandle(device.RenderState(D3DRENDERSTATE_TEXTUREHANDLE));
    if (!t || t->Lost() || !t->Memory() || !t->Width() || !t->Height()) return;
    Palette* palette = t->AttachedPalette();
    RasterTexture& x = s.texture;
    x.layout = LayoutOf(t->Format(), palette ? palette->Entries() : nullptr);
    if (!x.layout.bytes) return; // a format it cannot read draws untextured
    x.memory = t->Memory();
    x.pitch = t->Pitch();
    x.width = (int)t->Width();
    x.height = (int)t->Height();
    if (!(x.width & (x.width - 1))) x.wrapX = x.width - 1;
    if (!(x.height & (x.height - 1))) x.wrapY = x.height - 1;
    x.bilinear = device.RenderState(D3DRENDERSTATE_TEXTUREMAG) == D3DFILTER_LINEAR;
    x.blend = device.RenderState(D3DRENDERSTATE_TEXTUREMAPBLEND);
}

bool StateOf(const Device& device, RasterState& s) {
    Surface& target = *device.Target();
    if (!TargetOf(target, s.target)) return false;
    DepthOf(device, target, s);
    TextureOf(device, s);
    s.texture.perspective = device.RenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE) != 0;
    s.gouraud = device.RenderState(D3DRENDERSTATE_SHADEMODE) != D3DSHADE_FLAT;
    s.cull = device.RenderState(D3DRENDERSTATE_CULLMODE);
    s.dither = device.RenderState(D3DRENDERSTATE_DITHERENABLE) && !s.target.layout.indexed &&
               s.target.layout.g.bits < 8;
    s.blend = device.RenderState(D3DRENDERSTATE_ALPHABLENDENABLE) != 0;
    s.sourceBlend = s.blend ? device.RenderState(D3DRENDERSTATE_SRCBLEND) : (DWORD)D3DBLEND_ONE;
    s.destBlend = s.blend ? device.RenderState(D3DRENDERSTATE_DESTBLEND) : (DWORD)D3DBLEND_ZERO;
    return true;
}

void DrawTriangles(const RasterState& s, D3DPRIMITIVETYPE type, const D3DTLVERTEX* v, DWORD count) {
    switch (type) {
    case D3DPT_TRIANGLELIST:
        for (DWORD i = 0; i + 2 < count; i += 3) DrawTriangle(s, v[i], v[i + 1], v[i + 2], v[i]);
        break;
    case D3DPT_TRIANGLESTRIP:
        // Every other triangle of a strip runs the other way round: swap two of its
        // corners so that the whole strip keeps one winding for culling.
        for (DWORD i = 0; i + 2 < count; i++) {
            if (i & 1)
                DrawTriangle(s, v[i + 1], v[i], v[i + 2], v[i]);
            else
                DrawTriangle(s, v[i], v[i + 1], v[i + 2], v[i]);
        }
        break;
    case D3DPT_TRIANGLEFAN:
        for (DWORD i = 0; i + 2 < count; i++) DrawTriangle(s, v[0], v[i + 1], v[i + 2], v[i + 1]);
        break;
    default: break;
    }
}

// Why a target cannot be drawn into: a failure the program sees, never a quiet D3D_OK.
HRESULT Undrawable(const Surface& target) {
    if (target.BitsPerPixel() == 8 && !target.PaletteInForce()) return DDERR_NOPALETTEATTACHED;
    if (!target.Memory()) return DDERR_SURFACELOST;
    return DDERR_INVALIDPIXELFORMAT;
}

} // namespace

HRESULT RasterizePrimitive(Device& device, D3DPRIMITIVETYPE type, D3DVERTEXTYPE vertexType,
                           const void* vertices, DWORD count, DWORD) {
    if (vertexType != D3DVT_TLVERTEX || !vertices || count < 3) return D3D_OK;
    RasterState state;
    if (!device.Target()) return D3D_OK;
    if (!StateOf(device, state)) return Undrawable(*device.Target());
    DrawTriangles(state, type, static_cast<const D3DTLVERTEX*>(vertices), count);
    return D3D_OK;
}

} // namespace ddsoft
