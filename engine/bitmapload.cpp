// sBitmap::Load: the bitmap file ("BMAP" ... "bmap"), stored exactly as the pixels lie
// in memory, so each stored row is read straight to its place in the level.
#include "bitmap.h"
#include "file.h"
#include "system.h"

namespace {

const uint32_t BITMAP_HEAD_TAG = 0x50414D42; // "BMAP"
const uint32_t BITMAP_END_TAG = 0x70616D62;  // "bmap"
const int FLAG_PALETTE = 1;
const int FLAG_PIXELS = 2;
const int FLAG_LEVEL_COUNT = 4;
const int FILE_PALETTE_CAPACITY = 256;
// The file may name 16 levels; Create then refuses more than 15.
const int FILE_MAX_LEVELS = 16;

// A file gets no more bitmap memory than a fixed multiple of the row bytes it holds
// (plus a little for small images and their rounding), so a damaged header cannot ask
// for gigabytes. Real images stay well below: 1-bit rows read as 8-bit rows take 8 bytes
// per stored byte, and the 16-byte padding of a very narrow row at most 16.
const int64_t BYTES_PER_STORED_BYTE = 64;
const int64_t SMALL_BITMAP_BYTES = 65536;

int KindOfFileBits(int bits) {
    switch (bits) {
    case 1: return BK_MONO;
    case 8: return BK_INDEX8;
    case 16: return BK_0565;
    case 24: return BK_0888;
    }
    return -1;
}

struct FileGeometry {
    uint16_t width = 0, height = 0, rowBytes = 0;
    uint8_t levelCount = 1;

    int64_t StoredBytes() const {
        int64_t total = 0;
        for (int l = 0; l < levelCount && l < FILE_MAX_LEVELS; l++)
            total += int64_t(height >> l) * (rowBytes >> l);
        return total;
    }
};

// The rows the header announces must be in the file, and the bitmap must be one the
// file can justify; anything else is a damaged file and fails like any format error.
void CheckGeometry(sFile& file, const FileGeometry& g, int kind) {
    int64_t stored = g.StoredBytes();
    ASSERT(stored + 4 <= file.BytesLeft());
    int64_t needed = BitmapBytes(g.width, g.height, kind, g.levelCount);
    ASSERT(needed <= stored * BYTES_PER_STORED_BYTE + SMALL_BITMAP_BYTES);
}

} // namespace

void sBitmap::Load(sFile& file) {
    uint32_t tag = 0;
    file.Read(&tag, 4);
    ASSERT(tag == BITMAP_HEAD_TAG);
    uint8_t bits = 0, flags = 0;
    file.Read(&bits, 1);
    file.Read(&flags, 1);
    int fileKind = KindOfFileBits(bits);
    ASSERT(fileKind >= 0);
    BitmapKind newKind = BitmapKind(fileKind);

    sColor filePalette[FILE_PALETTE_CAPACITY];
    uint16_t fileColors = 0;
    if (flags & FLAG_PALETTE) {
        newKind = BK_INDEX8;
        file.Read(&fileColors, 2);
        ASSERT(fileColors <= FILE_PALETTE_CAPACITY);
        file.Read(filePalette, fileColors * int(sizeof(sColor)));
    }

    if (flags & FLAG_PIXELS) {
        FileGeometry g;
        file.Read(&g.width, 2);
        file.Read(&g.height, 2);
        file.Read(&g.rowBytes, 2);
        if (flags & FLAG_LEVEL_COUNT) file.Read(&g.levelCount, 1);
        ASSERT(g.levelCount >= 1 && g.levelCount <= FILE_MAX_LEVELS);
        CheckGeometry(file, g, newKind);
        Create(g.width, g.height, newKind, g.levelCount);
        for (int l = 0; l < levelCount; l++) {
            int rows = g.height >> l, rowBytes = g.rowBytes >> l;
            for (int y = 0; y < rows; y++) {
                ASSERT(rowBytes <= levelPitch[l]);
                file.Read(PixelAddress(0, y, l), rowBytes);
            }
        }
    } else {
        Create(1, 1, newKind, 1);
    }

    if (fileColors > 0) MemCopy(palette, filePalette, fileColors * int(sizeof(sColor)));

    tag = 0;
    file.Read(&tag, 4);
    ASSERT(tag == BITMAP_END_TAG);
}

void sBitmap::Load(const char* fileName) {
    sFile file;
    file.Open(fileName, 1);
    Load(file);
    file.Close();
}
