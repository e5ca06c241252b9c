// Direct3D texture objects over texture surfaces, and the handle table that the device's
// rasterizer resolves texture handles through.
#ifndef PRISMATEL_D3D_TEXTURE_H
#define PRISMATEL_D3D_TEXTURE_H

#include "device.h"

namespace ddsoft {

// The live texture surface behind a handle that GetHandle gave out, or null (handle 0,
// unknown handles and surfaces released since).
Surface* TextureFromHandle(D3DTEXTUREHANDLE handle);

} // namespace ddsoft

#endif
