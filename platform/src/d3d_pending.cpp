// Placeholders until texture objects and the rasterizer arrive: a texture surface offers
// no IDirect3DTexture2 yet, and DrawPrimitive accepts vertices without drawing them.
// The texture and rasterizer sources replace these two functions.
#include "d3d_internal.h"

namespace ddsoft {

HRESULT QueryTextureInterface(Surface*, void** object) {
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT RasterizePrimitive(Device&, D3DPRIMITIVETYPE, D3DVERTEXTYPE, const void*, DWORD, DWORD) {
    return D3D_OK;
}

} // namespace ddsoft
