// sBitmap: the engine's in-memory image of one of eight pixel kinds, with up to
// fifteen mip levels and, for kinds of eight bits or fewer, a palette. The kind
// tables are shared with the display driver, whose modes and textures use the
// same kind values.
#ifndef PRISMATEL_BITMAP_H
#define PRISMATEL_BITMAP_H

#include <stdint.h>

struct sBlitRect;
class sFile;

enum BitmapKind {
    BK_MONO = 0,
    BK_INDEX4 = 1,
    BK_INDEX8 = 2,
    BK_0565 = 3,
    BK_1555 = 4,
    BK_4444 = 5,
    BK_0888 = 6,
    BK_8888 = 7,
};

const int BITMAP_KINDS = 8;

// Indexed by kind: "Mono" ... "8888-32", and 1, 4, 8, 16, 16, 16, 24, 32.
extern const char* const bitmapKindName[BITMAP_KINDS];
extern const int32_t bitmapKindBits[BITMAP_KINDS];

// The byte order of a DirectDraw palette entry, so a palette goes to the display as is.
struct sColor {
    uint8_t r, g, b, a;
};

// Level arrays have room for 16; Create allows 1-15 levels, CreateExternal 0-15.
const int BITMAP_LEVEL_SLOTS = 16;
const int BITMAP_MAX_LEVELS = 15;

// Bytes of the levels Create makes for these arguments (rounding and row padding
// included), or -1 when the arguments are not ones Create accepts.
int64_t BitmapBytes(int width, int height, int kind, int levelCount);

class sBitmap {
public:
    sBitmap();
    ~sBitmap();

    void Free();
    void Create(int width, int height, BitmapKind kind, int levelCount);
    void CreateExternal(int width, int height, BitmapKind kind, int bitsPerPixel, int levelCount);
    void SetExternalLevel(int pitch, void* memory, int level);
    void SetExternalPalette(int count, sColor* memory);

    // No bounds checks: callers keep x, y and level inside the bitmap.
    uint8_t* PixelAddress(int x, int y, int level);
    sColor* PaletteEntry(int index);
    void SetPixel(uint32_t value, int x, int y, int level);
    uint32_t GetPixel(int x, int y, int level) const;

    int32_t ColorToIndex(int r, int g, int b, int a) const;
    int32_t ColorToIndex(const sColor& color) const;
    void IndexToColor(uint32_t value, sColor& out) const;

    void Fill(uint32_t value);
    void ConvertFrom(const sBitmap& source, const sBlitRect& region);
    void RemapToRange(int low, int high);

    void Load(sFile& file);
    void Load(const char* fileName);

    int32_t width;
    int32_t height;
    int32_t kind;
    int32_t bitsPerPixel;
    int32_t levelCount;
    int32_t paletteCount;
    uint8_t* levelData[BITMAP_LEVEL_SLOTS];
    int32_t levelPitch[BITMAP_LEVEL_SLOTS];
    int32_t levelSize[BITMAP_LEVEL_SLOTS];
    sColor* palette;
    bool externalMemory;

private:
    sBitmap(const sBitmap&) = delete;
    sBitmap& operator=(const sBitmap&) = delete;

    int32_t NearestPaletteEntry(int r, int g, int b) const;
    void MakeGreyPalette();
    void FillWords(uint32_t pattern);
    void FillRows24(uint32_t value);
};

#endif
