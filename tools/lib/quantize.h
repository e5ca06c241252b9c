// Colour reduction for the tools: an exact palette when a picture has at most 256
// colours, median cut otherwise, and nearest-entry mapping.
#ifndef TOOLS_QUANTIZE_H
#define TOOLS_QUANTIZE_H

#include <stdint.h>

#include <vector>

#include "pngio.h"

namespace quantize {

using pngio::Rgba;

// At most maxColors entries; a picture with no more distinct colours gets exactly
// its own colours, in order of first appearance.
std::vector<Rgba> MakePalette(const std::vector<Rgba>& pixels, int maxColors);

// Index of the entry nearest to c (squared distance over r, g, b and a; the lowest
// index among equals).
int Nearest(const std::vector<Rgba>& palette, Rgba c);

// Nearest entries for a whole picture, remembering colours already seen.
std::vector<uint8_t> MapToPalette(const std::vector<Rgba>& pixels,
                                  const std::vector<Rgba>& palette);

} // namespace quantize

#endif
