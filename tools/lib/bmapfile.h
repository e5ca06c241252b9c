// The bitmap file ("BMAP" ... "bmap") for the tools: encode from pixel rows, decode
// with every check the engine's loader makes (reported as text instead of ending the
// program), and the bounds of what the loader can hold.
#ifndef TOOLS_BMAPFILE_H
#define TOOLS_BMAPFILE_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "pngio.h"

namespace bmapfile {

using pngio::Rgba;

const int FLAG_PALETTE = 1;
const int FLAG_PIXELS = 2;
const int FLAG_LEVELS = 4;
const int MAX_PALETTE = 256;
const int MAX_LEVELS = 15;

struct Image {
    int bitsPerPixel = 8;        // 1, 8, 16 or 24
    std::vector<Rgba> palette;   // stored when not empty; the loader then makes the kind Index 8
    bool hasPixels = true;       // false: a header-only file, loaded as a 1 by 1 bitmap
    bool storeLevelCount = true; // write the level count even for one level
    int width = 0;
    int height = 0;
    int rowBytes = 0; // bytes per stored row of level 0
    // Level l holds (height >> l) rows of (rowBytes >> l) bytes, top row first.
    std::vector<std::vector<uint8_t>> levels;

    int LevelRows(int level) const { return height >> level; }
    int LevelRowBytes(int level) const { return rowBytes >> level; }
};

// The engine's row pitch of level l for a bitmap the loader creates (rows padded to
// 16 bytes, sizes rounded up to multiples of 2^(levels-1)).
int EnginePitch(int width, int bitsPerPixel, int levelCount, int level);
// Width or height after the engine's rounding for levelCount levels.
int EngineRounded(int size, int levelCount);

// Checks that the engine's loader would accept the image and that the rows are all there.
bool Validate(const Image& image, std::string& error);
bool Encode(const Image& image, std::vector<uint8_t>& out, std::string& error);
// Reads one bitmap from data[0..size); consumed is set to the bytes it took.
bool Decode(const uint8_t* data, size_t size, Image& out, std::string& error,
            size_t* consumed = nullptr);

bool WriteFile(const std::string& path, const Image& image, std::string& error);
bool ReadFile(const std::string& path, Image& out, std::string& error);

} // namespace bmapfile

#endif
