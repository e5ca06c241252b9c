// Direct3D drawing: screen-space vertices in a driver-owned array, drawn as strips and
// fans, with one packed mode word for shading, texturing, depth and blending.
#include "windriver/windriver.h"

namespace {

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

// Each Apply takes its field of the mode word in place; a value the field does not know
// changes nothing.
void sWinDriver::ApplyShading(unsigned shading) {
    if (shading > RM_MODULATE_LINEAR) return;
    bool gouraud = (shading & RM_GOURAUD) != 0;
    bool textured = shading >= RM_DECAL;
    SetState(D3DRENDERSTATE_SHADEMODE, gouraud ? D3DSHADE_GOURAUD : D3DSHADE_FLAT);
    SetState(D3DRENDERSTATE_TEXTUREHANDLE, textured ? currentTexture : 0);
    if (textured)
        SetState(D3DRENDERSTATE_TEXTUREMAPBLEND, gouraud ? D3DTBLEND_MODULATE : D3DTBLEND_DECAL);
    if (shading >= RM_DECAL_LINEAR) SetState(D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_LINEAR);
    if (shading == RM_FLAT)
        FillVertexColors(PackedColor());
    else if (!gouraud)
        FillVertexColors(OPAQUE_WHITE);
}

void sWinDriver::ApplyDepth(unsigned depth) {
    if (depth > (RM_DEPTH_TEST | RM_DEPTH_WRITE)) return;
    SetState(D3DRENDERSTATE_ZENABLE, depth != 0);
    SetState(D3DRENDERSTATE_ZWRITEENABLE, (depth & RM_DEPTH_WRITE) != 0);
    if (depth == 0) return;
    SetState(D3DRENDERSTATE_ZFUNC, (depth & RM_DEPTH_TEST) ? D3DCMP_GREATEREQUAL : D3DCMP_ALWAYS);
}

void sWinDriver::ApplyBlending(unsigned blend) {
    if (blend > RM_BLEND_ADD) return;
    SetState(D3DRENDERSTATE_ALPHABLENDENABLE, blend != RM_OPAQUE);
    SetState(D3DRENDERSTATE_SRCBLEND, blend == RM_BLEND_ALPHA ? D3DBLEND_SRCALPHA : D3DBLEND_ONE);
    SetState(D3DRENDERSTATE_DESTBLEND, blend == RM_OPAQUE        ? D3DBLEND_ZERO
                                       : blend == RM_BLEND_ALPHA ? D3DBLEND_INVSRCALPHA
                                                                 : D3DBLEND_ONE);
}

void sWinDriver::SetRenderMode(unsigned mode) {
    ApplyShading(mode & RM_SHADING_MASK);
    ApplyDepth(mode & RM_DEPTH_MASK);
    ApplyBlending(mode & RM_BLEND_MASK);
    renderMode = mode;
}

void sWinDriver::SetTexture(sTexture* t) {
    ASSERT(t == NULL || t->type == TT_TEXTURE);
    currentTexture = t ? t->textureHandle : 0;
    // Linear filtering takes a new texture at the next SetRenderMode only.
    unsigned shading = renderMode & RM_SHADING_MASK;
    if (shading == RM_DECAL || shading == RM_MODULATE)
        SetState(D3DRENDERSTATE_TEXTUREHANDLE, currentTexture);
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
