// Turning pictures into bitmap files and back: the pixel kinds the tools write
// (Mono, Index 8, 0565, 0888), mip levels by averaging, and the colours of a stored
// level for the way back to PNG.
#ifndef TOOLS_BMAPBUILD_H
#define TOOLS_BMAPBUILD_H

#include <string>
#include <vector>

#include "bmapfile.h"

namespace bmapbuild {

using pngio::Rgba;

enum class Kind { Mono, Index8, Rgb565, Rgb888 };

// "mono", "index8", "0565", "0888"; false for anything else.
bool ParseKind(const std::string& name, Kind& out);

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels; // row by row, top row first
};

// Index 8 from indices into a given palette (at most 256 entries); level 0 keeps the
// indices, smaller levels take the palette entry nearest to the 2 by 2 average.
bool FromIndexed(int width, int height, const std::vector<uint8_t>& indices,
                 const std::vector<Rgba>& palette, int levels, bmapfile::Image& out,
                 std::string& error);

// Any kind from colours; Index 8 reduces the picture to a palette of at most 256
// colours (exact when it has no more). Mono sets a pixel when its grey is 128 or more.
bool FromColors(const Picture& picture, Kind kind, int levels, bmapfile::Image& out,
                std::string& error);

// Converts a PNG as the tools do: palette pictures keep their palette, grey pictures
// become Index 8 with a grey palette, colour pictures become the requested kind
// (Index 8 by reduction when none is requested).
bool FromPng(const pngio::Image& png, const Kind* requested, int levels, bmapfile::Image& out,
             std::string& error);

// Colours of one stored level as the engine would see them after loading.
bool LevelColors(const bmapfile::Image& image, int level, Picture& out, std::string& error);

// A PNG of one level: palette files give palette PNGs (grey PNGs for the plain grey
// ramp), Mono gives grey, 16 and 24 bits give RGB.
bool ToPng(const bmapfile::Image& image, int level, pngio::Image& out, std::string& error);

// Widens a picture by repeating its last column and row up to multiples of step.
Picture PadToMultiple(const Picture& picture, int step);
// Each pixel of the result averages a 2 by 2 block (rounded); sides halve with a floor of 1.
Picture HalfSize(const Picture& picture);

} // namespace bmapbuild

#endif
