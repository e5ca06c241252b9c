// The software rasterizer behind DrawPrimitive: the state of one primitive, gathered from
// the device's render states once, and the triangle drawing on it.
#ifndef PRISMATEL_D3D_RASTER_H
#define PRISMATEL_D3D_RASTER_H

#include <d3d.h>

#include "raster_pixels.h"

namespace ddsoft {

struct RasterTarget {
    uint8_t* memory = nullptr;
    long pitch = 0;
    int width = 0;
    int height = 0;
    PixelLayout layout;
};

struct RasterDepth {
    uint8_t* memory = nullptr; // null: no Z-buffer in use
    long pitch = 0;
    int bytes = 0;
    uint32_t maximum = 0; // the stored value of depth 1.0
    bool test = false;
    bool write = false;
    DWORD function = D3DCMP_ALWAYS;
};

struct RasterTexture {
    const uint8_t* memory = nullptr; // null: untextured
    long pitch = 0;
    int width = 0;
    int height = 0;
    int wrapX = -1; // width - 1 for power-of-two widths, where wrapping is a mask
    int wrapY = -1;
    PixelLayout layout;
    bool bilinear = false;
    bool perspective = true;
    DWORD blend = D3DTBLEND_MODULATE;
};

struct RasterState {
    RasterTarget target;
    RasterDepth depth;
    RasterTexture texture;
    bool gouraud = true;
    bool dither = false; // ordered dither into targets of fewer than 8 bits a channel
    DWORD cull = D3DCULL_NONE;
    bool blend = false;
    DWORD sourceBlend = D3DBLEND_ONE;
    DWORD destBlend = D3DBLEND_ZERO;
};

// Draws one triangle; flat shading takes its colour from the vertex flat.
void DrawTriangle(const RasterState& state, const D3DTLVERTEX& a, const D3DTLVERTEX& b,
                  const D3DTLVERTEX& c, const D3DTLVERTEX& flat);

} // namespace ddsoft

#endif
