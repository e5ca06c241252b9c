#include "bmapfile.h"

#include <stdio.h>

namespace bmapfile {

namespace {

const char HEAD_TAG[4] = {'B', 'M', 'A', 'P'};
const char END_TAG[4] = {'b', 'm', 'a', 'p'};

bool SupportedDepth(int bits) {
    return bits == 1 || bits == 8 || bits == 16 || bits == 24;
}

void PutU8(std::vector<uint8_t>& out, int v) {
    out.push_back(uint8_t(v));
}
void PutU16(std::vector<uint8_t>& out, int v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void PutTag(std::vector<uint8_t>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

// Reads little-endian fields and remembers the first short read.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Bytes(void* out, size_t n) {
        if (size_ - pos_ < n) return false;
        const uint8_t* p = data_ + pos_;
        for (size_t i = 0; i < n; i++) static_cast<uint8_t*>(out)[i] = p[i];
        pos_ += n;
        return true;
    }
    bool U8(int& v) {
        uint8_t b;
        if (!Bytes(&b, 1)) return false;
        v = b;
        return true;
    }
    bool U16(int& v) {
        uint8_t b[2];
        if (!Bytes(b, 2)) return false;
        v = b[0] | (b[1] << 8);
        return true;
    }
    bool Tag(const char* tag) {
        char t[4];
        return Bytes(t, 4) && t[0] == tag[0] && t[1] == tag[1] && t[2] == tag[2] && t[3] == tag[3];
    }
    size_t Position() const { return pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

int KindBitsAfterLoad(const Image& image) {
    // A palette makes the loader create an Index 8 bitmap whatever the stored depth.
    return image.palette.empty() ? image.bitsPerPixel : 8;
}

// The engine refuses a bitmap needing more memory than 64 times its stored row bytes
// plus 64 KiB: a damaged header must not make it allocate gigabytes.
bool CheckMemoryJustified(const Image& image, int levelCount, std::string& error) {
    int64_t stored = 0, needed = 0;
    int bits = KindBitsAfterLoad(image);
    int64_t rows = EngineRounded(image.height, levelCount);
    for (int l = 0; l < levelCount; l++) {
        stored += int64_t(image.LevelRows(l)) * image.LevelRowBytes(l);
        needed += int64_t(EnginePitch(image.width, bits, levelCount, l)) * rows;
        rows = rows > 1 ? rows / 2 : 1;
    }
    if (needed > stored * 64 + 65536) {
        error = "the bitmap would need " + std::to_string(needed) + " bytes for " +
                std::to_string(stored) + " stored bytes; the loader refuses that";
        return false;
    }
    return true;
}

bool CheckRowsFit(const Image& image, int levelCount, std::string& error) {
    int bits = KindBitsAfterLoad(image);
    for (int l = 0; l < levelCount; l++) {
        if (image.LevelRows(l) == 0) continue;
        if (image.LevelRowBytes(l) > EnginePitch(image.width, bits, levelCount, l)) {
            error = "rows of level " + std::to_string(l) + " are longer than the bitmap's pitch";
            return false;
        }
    }
    return true;
}

bool ValidateHeader(const Image& image, int levelCount, std::string& error) {
    if (!SupportedDepth(image.bitsPerPixel)) {
        error = "bits per pixel must be 1, 8, 16 or 24";
        return false;
    }
    if (image.palette.size() > size_t(MAX_PALETTE)) {
        error = "more than 256 palette entries";
        return false;
    }
    if (!image.hasPixels) return true;
    if (image.width < 1 || image.height < 1 || image.width > 65535 || image.height > 65535) {
        error = "width and height must be 1..65535";
        return false;
    }
    if (image.rowBytes < 0 || image.rowBytes > 65535) {
        error = "row bytes must be 0..65535";
        return false;
    }
    if (levelCount < 1 || levelCount > MAX_LEVELS) {
        error = "level count must be 1..15";
        return false;
    }
    if (levelCount > 1 && !image.storeLevelCount) {
        error = "several levels need the level count stored";
        return false;
    }
    return CheckRowsFit(image, levelCount, error) && CheckMemoryJustified(image, levelCount, error);
}

bool DecodePalette(Reader& in, Image& out, std::string& error) {
    int count;
    if (!in.U16(count)) {
        error = "file ends in the palette count";
        return false;
    }
    if (count > MAX_PALETTE) {
        error = "palette of " + std::to_string(count) + " entries (at most 256)";
        return false;
    }
    out.palette.resize(count);
    for (int i = 0; i < count; i++) {
        uint8_t c[4];
        if (!in.Bytes(c, 4)) {
            error = "file ends in the palette";
            return false;
        }
        out.palette[i] = {c[0], c[1], c[2], c[3]};
    }
    return true;
}

bool DecodePixels(Reader& in, int flags, Image& out, std::string& error) {
    if (!in.U16(out.width) || !in.U16(out.height) || !in.U16(out.rowBytes)) {
        error = "file ends in the size";
        return false;
    }
    int levelCount = 1;
    out.storeLevelCount = (flags & FLAG_LEVELS) != 0;
    if (out.storeLevelCount && !in.U8(levelCount)) {
        error = "file ends in the level count";
        return false;
    }
    if (out.width == 0 || out.height == 0) {
        error = "width or height is 0";
        return false;
    }
    if (levelCount < 1 || levelCount > MAX_LEVELS) {
        error = "level count " + std::to_string(levelCount) + " (1..15 usable)";
        return false;
    }
    if (!CheckRowsFit(out, levelCount, error) || !CheckMemoryJustified(out, levelCount, error))
        return false;
    out.levels.assign(levelCount, {});
    for (int l = 0; l < levelCount; l++) {
        size_t bytes = size_t(out.LevelRows(l)) * out.LevelRowBytes(l);
        out.levels[l].resize(bytes);
        if (!in.Bytes(out.levels[l].data(), bytes)) {
            error = "file ends in the rows of level " + std::to_string(l);
            return false;
        }
    }
    return true;
}

} // namespace

int EngineRounded(int size, int levelCount) {
    int step = 1 << (levelCount - 1);
    return (size + step - 1) / step * step;
}

int EnginePitch(int width, int bitsPerPixel, int levelCount, int level) {
    long levelWidth = EngineRounded(width, levelCount);
    for (int l = 0; l < level; l++) levelWidth = levelWidth > 1 ? levelWidth / 2 : 1;
    long bits = levelWidth * bitsPerPixel;
    return int((bits + 127) / 128 * 16);
}

bool Validate(const Image& image, std::string& error) {
    int levelCount = image.hasPixels ? int(image.levels.size()) : 1;
    if (!ValidateHeader(image, levelCount, error)) return false;
    if (!image.hasPixels) return true;
    for (int l = 0; l < levelCount; l++) {
        if (image.levels[l].size() != size_t(image.LevelRows(l)) * image.LevelRowBytes(l)) {
            error = "level " + std::to_string(l) + " does not hold its rows";
            return false;
        }
    }
    return true;
}

bool Encode(const Image& image, std::vector<uint8_t>& out, std::string& error) {
    if (!Validate(image, error)) return false;
    int flags = (image.palette.empty() ? 0 : FLAG_PALETTE) | (image.hasPixels ? FLAG_PIXELS : 0) |
                (image.hasPixels && image.storeLevelCount ? FLAG_LEVELS : 0);
    out.clear();
    PutTag(out, HEAD_TAG);
    PutU8(out, image.bitsPerPixel);
    PutU8(out, flags);
    if (flags & FLAG_PALETTE) {
        PutU16(out, int(image.palette.size()));
        for (const Rgba& c : image.palette) {
            PutU8(out, c.r);
            PutU8(out, c.g);
            PutU8(out, c.b);
            PutU8(out, c.a);
        }
    }
    if (image.hasPixels) {
        PutU16(out, image.width);
        PutU16(out, image.height);
        PutU16(out, image.rowBytes);
        if (flags & FLAG_LEVELS) PutU8(out, int(image.levels.size()));
        for (const auto& level : image.levels) out.insert(out.end(), level.begin(), level.end());
    }
    PutTag(out, END_TAG);
    return true;
}

bool Decode(const uint8_t* data, size_t size, Image& out, std::string& error, size_t* consumed) {
    Reader in(data, size);
    out = Image();
    if (!in.Tag(HEAD_TAG)) {
        error = "no BMAP head tag";
        return false;
    }
    int flags;
    if (!in.U8(out.bitsPerPixel) || !in.U8(flags)) {
        error = "file ends in the header";
        return false;
    }
    if (!SupportedDepth(out.bitsPerPixel)) {
        error = "bits per pixel " + std::to_string(out.bitsPerPixel) + " (1, 8, 16 or 24)";
        return false;
    }
    if ((flags & FLAG_PALETTE) && !DecodePalette(in, out, error)) return false;
    out.hasPixels = (flags & FLAG_PIXELS) != 0;
    if (out.hasPixels && !DecodePixels(in, flags, out, error)) return false;
    if (!in.Tag(END_TAG)) {
        error = "no bmap end tag";
        return false;
    }
    if (consumed) *consumed = in.Position();
    return true;
}

bool WriteFile(const std::string& path, const Image& image, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!Encode(image, bytes, error)) return false;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot create " + path;
        return false;
    }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (fclose(f) == 0) && ok;
    if (!ok) error = "write error on " + path;
    return ok;
}

bool ReadFile(const std::string& path, Image& out, std::string& error) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    return Decode(bytes.data(), bytes.size(), out, error);
}

} // namespace bmapfile
