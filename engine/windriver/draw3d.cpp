// Direct3D drawing: screen-space vertices in a driver-owned array, drawn as strips and
// fans, with one packed mode word for shading, texturing, depth and blending.
#include "windriver/windriver.h"

namespace {

// The three fields of the render-mode word.
unsigned ShadingField(unsigned mode) {
    return mode & 0xF;
}
unsigned DepthField(unsigned mode) {
    return (mode >> 4) & 0xF;
}
unsigned BlendField(unsigned mode) {
    return (mode >> 8) & 0xF;
}

const uint32_t OPAQUE_WHITE = 0xFFFFFFFFu;
const DWORD DRAW_FLAGS = D3DDP_WAIT | D3DDP_DONOTCLIP | D3DDP_DONOTUPDATEEXTENTS;

void SetState(D3DRENDERSTATETYPE state, DWORD value) {
    device3D->SetRenderState(state, value);
}

} // namespace

void sWinDriver::Begin3D(const sRect* area) {
    RECT r = {0, 0, current.width, current.height};
    if (area) r = RECT{area->x0, area->y0, area->x1, area->y1};
    UnlockBack();
    if (zBuffer) {
        // Larger depth is nearer: the buffer starts at the far end, 0.
        fillFx.dwSize = sizeof fillFx;
        fillFx.dwFillDepth = 0;
        zBuffer->Blt(&r, NULL, NULL, DDBLT_DEPTHFILL | DDBLT_WAIT, &fillFx);
    }
    device3D->BeginScene();
    device3D->SetLightState(D3DLIGHTSTATE_MATERIAL, frontMaterialHandle);
    SetState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    SetState(D3DRENDERSTATE_DITHERENABLE, TRUE);
    SetState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, TRUE);
    SetState(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_MODULATE);
    SetState(D3DRENDERSTATE_TEXTUREHANDLE, 0);
    SetColor(255, 255, 255, 255);
    SetTexture(NULL);
    SetRenderMode(0);
}

void sWinDriver::End3D() {
    device3D->EndScene();
}

sVertex* sWinDriver::SetVertexCount(int n) {
    delete[] vertices;
    vertices = NULL;
    vertexCount = n;
    if (n > 0) {
        vertices = new sVertex[n];
        MemFill(vertices, 0, n * (int)sizeof(sVertex));
    }
    SetColor(color);
    return vertices;
}

sVertex* sWinDriver::GetVertices(int n) {
    ASSERT(vertices != NULL && n <= vertexCount);
    return vertices;
}

void sWinDriver::FillVertexColors(uint32_t argb) {
    for (int i = 0; i < vertexCount && vertices; i++) vertices[i].color = argb;
}

void sWinDriver::ApplyShading(unsigned field) {
    if (field > 5) return;
    bool gouraud = field & 1;
    SetState(D3DRENDERSTATE_SHADEMODE, gouraud ? D3DSHADE_GOURAUD : D3DSHADE_FLAT);
    SetState(D3DRENDERSTATE_TEXTUREHANDLE, field >= 2 ? currentTexture : 0);
    if (field >= 2)
        SetState(D3DRENDERSTATE_TEXTUREMAPBLEND, gouraud ? D3DTBLEND_MODULATE : D3DTBLEND_DECAL);
    if (field >= 4) SetState(D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_LINEAR);
    if (field == 0)
        FillVertexColors(PackedColor());
    else if (!gouraud)
        FillVertexColors(OPAQUE_WHITE);
}

void sWinDriver::ApplyDepth(unsigned field) {
    if (field > 3) return;
    SetState(D3DRENDERSTATE_ZENABLE, field != 0);
    SetState(D3DRENDERSTATE_ZWRITEENABLE, field >= 2);
    if (field == 0) return;
    SetState(D3DRENDERSTATE_ZFUNC, field == 2 ? D3DCMP_ALWAYS : D3DCMP_GREATEREQUAL);
}

void sWinDriver::ApplyBlending(unsigned field) {
    if (field > 2) return;
    SetState(D3DRENDERSTATE_ALPHABLENDENABLE, field != 0);
    SetState(D3DRENDERSTATE_SRCBLEND, field == 1 ? D3DBLEND_SRCALPHA : D3DBLEND_ONE);
    SetState(D3DRENDERSTATE_DESTBLEND, field == 0   ? D3DBLEND_ZERO
                                       : field == 1 ? D3DBLEND_INVSRCALPHA
                                                    : D3DBLEND_ONE);
}

void sWinDriver::SetRenderMode(unsigned mode) {
    ApplyShading(ShadingField(mode));
    ApplyDepth(DepthField(mode));
    ApplyBlending(BlendField(mode));
    renderMode = mode;
}

void sWinDriver::SetTexture(sTexture* t) {
    ASSERT(t == NULL || t->type == TT_TEXTURE);
    currentTexture = t ? t->textureHandle : 0;
    unsigned shading = ShadingField(renderMode);
    if (shading == 2 || shading == 3) SetState(D3DRENDERSTATE_TEXTUREHANDLE, currentTexture);
}

uint32_t sWinDriver::PackedColor() const {
    return (uint32_t)color.a << 24 | (uint32_t)color.r << 16 | (uint32_t)color.g << 8 | color.b;
}

void sWinDriver::SetColor(int r, int g, int b, int a) {
    color = sColor{(uint8_t)r, (uint8_t)g, (uint8_t)b, (uint8_t)a};
    FillVertexColors(PackedColor());
}

void sWinDriver::SetColor(const sColor& c) {
    SetColor(c.r, c.g, c.b, c.a);
}

void sWinDriver::DrawStrip(int n) {
    device3D->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DVT_TLVERTEX, vertices, n, DRAW_FLAGS);
}

void sWinDriver::DrawFan(int n) {
    device3D->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DVT_TLVERTEX, vertices, n, DRAW_FLAGS);
}
