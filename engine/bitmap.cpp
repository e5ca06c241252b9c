// sBitmap construction, pixel access, colour conversion and whole-bitmap operations.
// Loading from the bitmap file format lives in bitmapload.cpp.
#include "bitmap.h"

#include <string.h>

#include "system.h"

const char* const bitmapKindName[BITMAP_KINDS] = {"Mono",    "Index 4", "Index 8", "0565-16",
                                                  "1555-16", "4444-16", "0888-24", "8888-32"};
const int32_t bitmapKindBits[BITMAP_KINDS] = {1, 4, 8, 16, 16, 16, 24, 32};

namespace {

const int64_t MAX_LEVEL_BYTES = 0x7FFFFFFF; // levelSize is a 32-bit count

bool ValidKind(int kind) {
    return kind >= 0 && kind < BITMAP_KINDS;
}

int64_t RoundToLevels(int size, int levelCount) {
    int64_t step = int64_t(1) << (levelCount - 1);
    return (int64_t(size) + step - 1) / step * step;
}

// Rows are padded to 16 bytes so that every row starts on a 128-bit boundary.
int64_t RowPitch(int64_t levelWidth, int bitsPerPixel) {
    return (levelWidth * bitsPerPixel + 127) / 128 * 16;
}

int HalfFloorOne(int size) {
    return size > 1 ? size / 2 : 1;
}

void StoreLittleEndian(uint8_t* p, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; i++) p[i] = uint8_t(value >> (8 * i));
}

uint32_t LoadLittleEndian(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; i++) value |= uint32_t(p[i]) << (8 * i);
    return value;
}

// The value repeated in every pixel position of a 32-bit word.
uint32_t FillPattern(uint32_t value, int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 1: return (value & 1) ? 0xFFFFFFFFu : 0;
    case 4: return (value & 0xF) * 0x11111111u;
    case 8: return (value & 0xFF) * 0x01010101u;
    case 16: return (value & 0xFFFF) * 0x00010001u;
    default: return value;
    }
}

int Distance(int a, int b) {
    return a > b ? a - b : b - a;
}

} // namespace

int64_t BitmapBytes(int width, int height, int kind, int levelCount) {
    if (width <= 0 || height <= 0 || !ValidKind(kind) || levelCount < 1 ||
        levelCount > BITMAP_MAX_LEVELS)
        return -1;
    int64_t w = RoundToLevels(width, levelCount), h = RoundToLevels(height, levelCount);
    int64_t total = 0;
    for (int l = 0; l < levelCount; l++) {
        total += RowPitch(w, bitmapKindBits[kind]) * h;
        w = HalfFloorOne(w);
        h = HalfFloorOne(h);
    }
    return total;
}

sBitmap::sBitmap()
    : width(0), height(0), kind(0), bitsPerPixel(0), levelCount(0), paletteCount(0),
      palette(nullptr), externalMemory(false) {
    for (int l = 0; l < BITMAP_LEVEL_SLOTS; l++) {
        levelData[l] = nullptr;
        levelPitch[l] = 0;
        levelSize[l] = 0;
    }
}

sBitmap::~sBitmap() {
    Free();
}

void sBitmap::Free() {
    if (!externalMemory) {
        for (int l = 0; l < BITMAP_LEVEL_SLOTS; l++) delete[] levelData[l];
        delete[] palette;
    }
    for (int l = 0; l < BITMAP_LEVEL_SLOTS; l++) levelData[l] = nullptr;
    palette = nullptr;
    externalMemory = false;
}

void sBitmap::MakeGreyPalette() {
    palette = new sColor[paletteCount];
    if (paletteCount == 2) {
        palette[0] = {0, 0, 0, 0};
        palette[1] = {255, 255, 255, 255};
        return;
    }
    for (int i = 0; i < paletteCount; i++) {
        uint8_t grey = uint8_t(i * 255 / (paletteCount - 1));
        palette[i] = {grey, grey, grey, 255};
    }
}

void sBitmap::Create(int newWidth, int newHeight, BitmapKind newKind, int newLevelCount) {
    Free();
    ASSERT(newWidth > 0);
    ASSERT(newHeight > 0);
    ASSERT(ValidKind(newKind));
    ASSERT(newLevelCount >= 1 && newLevelCount <= BITMAP_MAX_LEVELS);
    int64_t roundedWidth = RoundToLevels(newWidth, newLevelCount);
    int64_t roundedHeight = RoundToLevels(newHeight, newLevelCount);
    ASSERT(roundedWidth <= MAX_LEVEL_BYTES && roundedHeight <= MAX_LEVEL_BYTES);
    width = int32_t(roundedWidth);
    height = int32_t(roundedHeight);
    kind = newKind;
    levelCount = newLevelCount;
    bitsPerPixel = bitmapKindBits[newKind];
    paletteCount = bitsPerPixel <= 8 ? 1 << bitsPerPixel : 0;
    if (paletteCount) MakeGreyPalette();
    int64_t w = width, h = height;
    for (int l = 0; l < levelCount; l++) {
        int64_t pitch = RowPitch(w, bitsPerPixel);
        ASSERT(pitch * h <= MAX_LEVEL_BYTES);
        levelPitch[l] = int32_t(pitch);
        levelSize[l] = int32_t(pitch * h);
        levelData[l] = new uint8_t[size_t(levelSize[l])];
        w = HalfFloorOne(w);
        h = HalfFloorOne(h);
    }
}

void sBitmap::CreateExternal(int newWidth, int newHeight, BitmapKind newKind, int newBitsPerPixel,
                             int newLevelCount) {
    ASSERT(newLevelCount >= 0 && newLevelCount <= BITMAP_MAX_LEVELS);
    Free();
    width = newWidth;
    height = newHeight;
    kind = newKind;
    bitsPerPixel = newBitsPerPixel;
    levelCount = newLevelCount;
    paletteCount = 0;
    externalMemory = true;
}

void sBitmap::SetExternalLevel(int pitch, void* memory, int level) {
    ASSERT(externalMemory);
    ASSERT(level >= 0 && level < levelCount);
    levelData[level] = static_cast<uint8_t*>(memory);
    levelPitch[level] = pitch;
    levelSize[level] = pitch * (height >> level);
}

void sBitmap::SetExternalPalette(int count, sColor* memory) {
    ASSERT(externalMemory);
    palette = memory;
    paletteCount = count;
}

uint8_t* sBitmap::PixelAddress(int x, int y, int level) {
    return levelData[level] + y * levelPitch[level] + (x * bitsPerPixel) / 8;
}

sColor* sBitmap::PaletteEntry(int index) {
    return &palette[index];
}

void sBitmap::SetPixel(uint32_t value, int x, int y, int level) {
    uint8_t* p = PixelAddress(x, y, level);
    switch (kind) {
    case BK_MONO: {
        uint8_t bit = uint8_t(0x80 >> (x & 7));
        *p = (value & 1) ? uint8_t(*p | bit) : uint8_t(*p & ~bit);
        break;
    }
    case BK_INDEX4:
        *p = (x & 1) ? uint8_t((*p & 0xF0) | (value & 0x0F))
                     : uint8_t((*p & 0x0F) | (value & 0x0F) << 4);
        break;
    case BK_INDEX8: *p = uint8_t(value); break;
    case BK_0565:
    case BK_1555:
    case BK_4444: StoreLittleEndian(p, value, 2); break;
    case BK_0888: StoreLittleEndian(p, value, 3); break;
    case BK_8888: StoreLittleEndian(p, value, 4); break;
    }
}

uint32_t sBitmap::GetPixel(int x, int y, int level) const {
    const uint8_t* p = levelData[level] + y * levelPitch[level] + (x * bitsPerPixel) / 8;
    switch (kind) {
    case BK_MONO: return (*p >> (7 - (x & 7))) & 1;
    case BK_INDEX4: return (x & 1) ? (*p & 0x0F) : (*p >> 4);
    case BK_INDEX8: return *p;
    case BK_0565:
    case BK_1555:
    case BK_4444: return LoadLittleEndian(p, 2);
    case BK_0888: return LoadLittleEndian(p, 3);
    case BK_8888: return LoadLittleEndian(p, 4);
    }
    return 0xFFFFFFFFu;
}

int32_t sBitmap::NearestPaletteEntry(int r, int g, int b) const {
    if (paletteCount < 2) return -10;
    // Entry 0 is never chosen; among equally near entries the lowest index stays.
    int32_t best = 1;
    int bestDistance = -1;
    for (int i = 1; i < paletteCount; i++) {
        const sColor& e = palette[i];
        int d = Distance(r, e.r) + Distance(g, e.g) + Distance(b, e.b);
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

int32_t sBitmap::ColorToIndex(int r, int g, int b, int a) const {
    uint32_t ur = uint32_t(r), ug = uint32_t(g), ub = uint32_t(b), ua = uint32_t(a);
    switch (kind) {
    case BK_MONO:
    case BK_INDEX4:
    case BK_INDEX8: return NearestPaletteEntry(r, g, b);
    case BK_0565: return int32_t((ur >> 3) << 11 | (ug >> 2) << 5 | (ub >> 3));
    case BK_1555: return int32_t((ua >> 7) << 15 | (ur >> 3) << 10 | (ug >> 3) << 5 | (ub >> 3));
    case BK_4444: return int32_t((ua >> 4) << 12 | (ur >> 4) << 8 | (ug >> 4) << 4 | (ub >> 4));
    case BK_0888: return int32_t(ur << 16 | ug << 8 | ub);
    case BK_8888: return int32_t(ua << 24 | ur << 16 | ug << 8 | ub);
    }
    Fatal("sBitmap::ColorToIndex() unknown bitmap kind");
}

int32_t sBitmap::ColorToIndex(const sColor& color) const {
    return ColorToIndex(color.r, color.g, color.b, color.a);
}

void sBitmap::IndexToColor(uint32_t value, sColor& out) const {
    switch (kind) {
    case BK_MONO:
    case BK_INDEX4:
    case BK_INDEX8:
        if (palette && paletteCount > 0) out = palette[value & uint32_t(paletteCount - 1)];
        break;
    case BK_0565:
        out = {uint8_t((value >> 8) & 0xF8), uint8_t((value >> 3) & 0xFC),
               uint8_t((value << 3) & 0xFF), 255};
        break;
    case BK_1555:
        out = {uint8_t((value >> 7) & 0xF8), uint8_t((value >> 2) & 0xF8),
               uint8_t((value << 3) & 0xFF), uint8_t((value & 0x8000) ? 255 : 0)};
        break;
    case BK_4444:
        out = {uint8_t(((value >> 8) & 0xF) * 17), uint8_t(((value >> 4) & 0xF) * 17),
               uint8_t((value & 0xF) * 17), uint8_t(((value >> 12) & 0xF) * 17)};
        break;
    case BK_0888:
        out.r = uint8_t(value >> 16);
        out.g = uint8_t(value >> 8);
        out.b = uint8_t(value);
        break;
    case BK_8888:
        out = {uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value), uint8_t(value >> 24)};
        break;
    }
}

void sBitmap::FillWords(uint32_t pattern) {
    uint8_t bytes[4];
    StoreLittleEndian(bytes, pattern, 4);
    for (int l = 0; l < levelCount; l++) {
        uint8_t* p = levelData[l];
        if (!p) continue;
        for (int i = 0; i < levelSize[l] / 4; i++) memcpy(p + 4 * i, bytes, 4);
    }
}

void sBitmap::FillRows24(uint32_t value) {
    int64_t w = width, h = height;
    for (int l = 0; l < levelCount; l++) {
        for (int y = 0; levelData[l] && y < h; y++) {
            uint8_t* row = levelData[l] + y * levelPitch[l];
            for (int x = 0; x < w; x++) StoreLittleEndian(row + 3 * x, value, 3);
        }
        w = HalfFloorOne(w);
        h = HalfFloorOne(h);
    }
}

void sBitmap::Fill(uint32_t value) {
    if (bitsPerPixel == 24)
        FillRows24(value);
    else
        FillWords(FillPattern(value, bitsPerPixel));
}

void sBitmap::ConvertFrom(const sBitmap& source, const sBlitRect& region) {
    int levels = Min(levelCount, source.levelCount);
    int64_t w = region.width, h = region.height;
    for (int l = 0; l < levels; l++) {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                // A 0888 source leaves alpha alone: start opaque, as 0565 gives.
                sColor c = {0, 0, 0, 255};
                source.IndexToColor(source.GetPixel(x, y, l), c);
                SetPixel(uint32_t(ColorToIndex(c)), x, y, l);
            }
        w = HalfFloorOne(w);
        h = HalfFloorOne(h);
    }
}

void sBitmap::RemapToRange(int low, int high) {
    ASSERT(kind == BK_INDEX8);
    ASSERT(paletteCount == 256);
    for (int y = 0; y < height; y++) {
        uint8_t* row = levelData[0] + y * levelPitch[0];
        for (int x = 0; x < width; x++)
            row[x] = uint8_t(low + (palette[row[x]].r * (high - low)) / 255);
    }
}
