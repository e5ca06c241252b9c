// Fuzz target: the bitmap loader, then the whole-bitmap operations on what it made.
#include "bitmap.h"
#include "fuzz_support.h"
#include "system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = WriteInputFile(data, size);
    sBitmap bitmap;
    try {
        bitmap.Load(path);
        bitmap.Fill(0x00A5C3E1);
        sBitmap copy;
        copy.Create(bitmap.width, bitmap.height, BK_8888, bitmap.levelCount);
        sBlitRect all = {0, 0, 0, 0, bitmap.width, bitmap.height};
        copy.ConvertFrom(bitmap, all);
        if (bitmap.kind == BK_INDEX8 && bitmap.paletteCount == 256) bitmap.RemapToRange(128, 191);
    } catch (const FuzzStop&) {
    }
    return 0;
}
