// Placeholder until the rasterizer arrives: DrawPrimitive accepts vertices without
// drawing them. The rasterizer's source replaces this function.
#include "d3d_internal.h"

namespace ddsoft {

HRESULT RasterizePrimitive(Device&, D3DPRIMITIVETYPE, D3DVERTEXTYPE, const void*, DWORD, DWORD) {
    return D3D_OK;
}

} // namespace ddsoft
