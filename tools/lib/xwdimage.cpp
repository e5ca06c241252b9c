// The XWD header is 25 big-endian 32-bit words, the window name up to its stated size, then
// one 12-byte colour record per colormap entry and the rows of pixels.
#include "xwdimage.h"

#include "fileio.h"

namespace xwdimage {
namespace {

enum Field {
    XWD_HEADER_SIZE,
    XWD_FILE_VERSION,
    XWD_PIXMAP_FORMAT,
    XWD_PIXMAP_DEPTH,
    XWD_PIXMAP_WIDTH,
    XWD_PIXMAP_HEIGHT,
    XWD_XOFFSET,
    XWD_BYTE_ORDER,
    XWD_BITMAP_UNIT,
    XWD_BITMAP_BIT_ORDER,
    XWD_BITMAP_PAD,
    XWD_BITS_PER_PIXEL,
    XWD_BYTES_PER_LINE,
    XWD_VISUAL_CLASS,
    XWD_RED_MASK,
    XWD_GREEN_MASK,
    XWD_BLUE_MASK,
    XWD_BITS_PER_RGB,
    XWD_COLORMAP_ENTRIES,
    XWD_NCOLORS,
    XWD_FIELD_COUNT = 25
};

const uint32_t kVersion = 7;
const uint32_t kZPixmap = 2;
const uint32_t kTrueColor = 4;
const uint32_t kDirectColor = 5;
const size_t kColorRecord = 12;

uint32_t BigEndian(const uint8_t* p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

int Shift(uint32_t mask) {
    int shift = 0;
    while (!((mask >> shift) & 1)) shift++;
    return shift;
}

// The top 8 bits of the field under mask.
uint8_t Channel(uint32_t pixel, uint32_t mask) {
    if (!mask) return 0;
    int shift = Shift(mask);
    uint32_t bits = mask >> shift;
    uint32_t v = (pixel & mask) >> shift;
    while (bits > 0xFF) {
        bits >>= 1;
        v >>= 1;
    }
    return (uint8_t)(bits == 0xFF ? v : (bits ? v * 255 / bits : 0));
}

} // namespace

bool Decode(const std::vector<uint8_t>& file, pngio::Image& out, std::string& error) {
    if (file.size() < XWD_FIELD_COUNT * 4) return error = "shorter than an XWD header", false;
    uint32_t h[XWD_FIELD_COUNT];
    for (int i = 0; i < XWD_FIELD_COUNT; i++) h[i] = BigEndian(&file[i * 4]);
    if (h[XWD_FILE_VERSION] != kVersion) return error = "not an XWD version 7 file", false;
    if (h[XWD_PIXMAP_FORMAT] != kZPixmap) return error = "not a ZPixmap dump", false;
    if (h[XWD_VISUAL_CLASS] != kTrueColor && h[XWD_VISUAL_CLASS] != kDirectColor)
        return error = "not a true-colour visual", false;
    uint32_t bpp = h[XWD_BITS_PER_PIXEL];
    if (bpp != 24 && bpp != 32) return error = "only 24 and 32 bits per pixel are read", false;
    uint64_t width = h[XWD_PIXMAP_WIDTH], height = h[XWD_PIXMAP_HEIGHT],
             pitch = h[XWD_BYTES_PER_LINE];
    if (!width || !height || width > 16384 || height > 16384 || pitch < width * (bpp / 8))
        return error = "impossible dimensions", false;
    uint64_t start = (uint64_t)h[XWD_HEADER_SIZE] + (uint64_t)h[XWD_NCOLORS] * kColorRecord;
    if (h[XWD_HEADER_SIZE] < XWD_FIELD_COUNT * 4 || start + pitch * height > file.size())
        return error = "pixel data cut short", false;
    bool msbFirst = h[XWD_BYTE_ORDER] != 0;
    int bytes = (int)bpp / 8;
    out = pngio::Image();
    out.width = (int)width;
    out.height = (int)height;
    out.layout = pngio::Layout::Rgb;
    out.samples.resize((size_t)width * height * 3);
    uint8_t* dst = out.samples.data();
    for (uint64_t y = 0; y < height; y++) {
        const uint8_t* row = &file[start + y * pitch];
        for (uint64_t x = 0; x < width; x++, dst += 3) {
            const uint8_t* p = row + x * bytes;
            uint32_t v = 0;
            for (int i = 0; i < bytes; i++)
                v |= (uint32_t)p[i] << (8 * (msbFirst ? bytes - 1 - i : i));
            dst[0] = Channel(v, h[XWD_RED_MASK]);
            dst[1] = Channel(v, h[XWD_GREEN_MASK]);
            dst[2] = Channel(v, h[XWD_BLUE_MASK]);
        }
    }
    return true;
}

bool Read(const std::string& path, pngio::Image& out, std::string& error) {
    std::vector<uint8_t> file;
    if (!fileio::ReadAll(path, file, error)) return false;
    if (!Decode(file, out, error)) return error = path + ": " + error, false;
    return true;
}

} // namespace xwdimage
