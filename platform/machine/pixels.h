// How the video card's memory holds pixels.
#ifndef PRISMATEL_MACHINE_PIXELS_H
#define PRISMATEL_MACHINE_PIXELS_H

#include <ddraw.h>

namespace video {

// Bits one pixel of the format takes.
inline DWORD BitsOf(const DDPIXELFORMAT& format) {
    if (format.dwFlags & DDPF_PALETTEINDEXED8) return 8;
    if (format.dwFlags & DDPF_PALETTEINDEXED4) return 4;
    if (format.dwFlags & DDPF_PALETTEINDEXED2) return 2;
    if (format.dwFlags & DDPF_PALETTEINDEXED1) return 1;
    return format.dwRGBBitCount;
}

} // namespace video

#endif
