#include "bmapbuild.h"

#include <algorithm>
#include <functional>

#include "quantize.h"

namespace bmapbuild {

namespace {

using RowWriter = std::function<void(int level, int y, uint8_t* row)>;

bool CheckLevels(int levels, std::string& error) {
    if (levels < 1 || levels > bmapfile::MAX_LEVELS) {
        error = "level count must be 1..15";
        return false;
    }
    return true;
}

bool CheckSize(int width, int height, std::string& error) {
    if (width < 1 || height < 1 || width > 65535 || height > 65535) {
        error = "picture size must be 1..65535 on each side";
        return false;
    }
    return true;
}

// Fills every stored row of every level; bytes after the pixels stay zero.
void StoreRows(bmapfile::Image& out, int levels, const RowWriter& writeRow) {
    out.levels.assign(levels, {});
    for (int l = 0; l < levels; l++) {
        int rowBytes = out.LevelRowBytes(l);
        out.levels[l].assign(size_t(out.LevelRows(l)) * rowBytes, 0);
        for (int y = 0; y < out.LevelRows(l); y++)
            writeRow(l, y, &out.levels[l][size_t(y) * rowBytes]);
    }
}

void StartImage(bmapfile::Image& out, int bits, int width, int height, int rowBytes, int levels) {
    out = bmapfile::Image();
    out.bitsPerPixel = bits;
    out.width = width;
    out.height = height;
    out.rowBytes = rowBytes;
    out.storeLevelCount = levels > 1;
}

std::vector<Picture> MipChain(const Picture& level0, int levels) {
    std::vector<Picture> chain{level0};
    for (int l = 1; l < levels; l++) chain.push_back(HalfSize(chain.back()));
    return chain;
}

int Grey(Rgba c) {
    return (c.r * 299 + c.g * 587 + c.b * 114 + 500) / 1000;
}

// Smallest level-0 row length whose shifted lengths still hold every level's bits.
int MonoRowBytes(int width, int levels) {
    int rowBytes = 0;
    for (int l = 0; l < levels; l++) {
        int need = ((width >> l) + 7) / 8;
        rowBytes = std::max(rowBytes, need << l);
    }
    return rowBytes;
}

bool BuildMono(const std::vector<Picture>& chain, bmapfile::Image& out, std::string& error) {
    int levels = int(chain.size());
    StartImage(out, 1, chain[0].width, chain[0].height, MonoRowBytes(chain[0].width, levels),
               levels);
    StoreRows(out, levels, [&](int l, int y, uint8_t* row) {
        const Picture& p = chain[l];
        for (int x = 0; x < p.width; x++)
            if (Grey(p.pixels[size_t(y) * p.width + x]) >= 128)
                row[x / 8] |= uint8_t(0x80 >> (x % 8));
    });
    std::string why;
    if (out.rowBytes > 65535 || !bmapfile::Validate(out, why)) {
        error = "a Mono picture of this size cannot hold " + std::to_string(levels) + " levels";
        return false;
    }
    return true;
}

bool BuildTrueColor(const std::vector<Picture>& chain, Kind kind, bmapfile::Image& out,
                    std::string& error) {
    int levels = int(chain.size());
    int bytes = kind == Kind::Rgb565 ? 2 : 3;
    if (chain[0].width * bytes > 65535) {
        error = "picture too wide for the row length field";
        return false;
    }
    StartImage(out, bytes * 8, chain[0].width, chain[0].height, chain[0].width * bytes, levels);
    StoreRows(out, levels, [&](int l, int y, uint8_t* row) {
        const Picture& p = chain[l];
        for (int x = 0; x < p.width; x++) {
            Rgba c = p.pixels[size_t(y) * p.width + x];
            if (kind == Kind::Rgb565) {
                int v = (c.r >> 3) << 11 | (c.g >> 2) << 5 | (c.b >> 3);
                row[2 * x] = uint8_t(v);
                row[2 * x + 1] = uint8_t(v >> 8);
            } else {
                row[3 * x] = c.b;
                row[3 * x + 1] = c.g;
                row[3 * x + 2] = c.r;
            }
        }
    });
    return bmapfile::Validate(out, error);
}

// Level 0 indices as given, smaller levels from the colour averages.
bool BuildIndex8(const std::vector<Picture>& chain, const std::vector<uint8_t>& level0,
                 const std::vector<Rgba>& palette, bmapfile::Image& out, std::string& error) {
    int levels = int(chain.size());
    std::vector<std::vector<uint8_t>> indices{level0};
    for (int l = 1; l < levels; l++)
        indices.push_back(quantize::MapToPalette(chain[l].pixels, palette));
    StartImage(out, 8, chain[0].width, chain[0].height, chain[0].width, levels);
    out.palette = palette;
    StoreRows(out, levels, [&](int l, int y, uint8_t* row) {
        const Picture& p = chain[l];
        std::copy_n(&indices[l][size_t(y) * p.width], p.width, row);
    });
    return bmapfile::Validate(out, error);
}

std::vector<uint8_t> PadIndices(const std::vector<uint8_t>& in, int width, int height, int newWidth,
                                int newHeight) {
    std::vector<uint8_t> out(size_t(newWidth) * newHeight);
    for (int y = 0; y < newHeight; y++)
        for (int x = 0; x < newWidth; x++)
            out[size_t(y) * newWidth + x] =
                in[size_t(std::min(y, height - 1)) * width + std::min(x, width - 1)];
    return out;
}

std::vector<Rgba> GreyPalette() {
    std::vector<Rgba> palette(256);
    for (int i = 0; i < 256; i++) palette[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 255};
    return palette;
}

// What the engine's loader makes of a stored byte or word.
Rgba StoredColor(const bmapfile::Image& image, const uint8_t* row, int x) {
    if (!image.palette.empty()) {
        int i = row[x];
        return i < int(image.palette.size()) ? image.palette[i]
                                             : Rgba{uint8_t(i), uint8_t(i), uint8_t(i), 255};
    }
    switch (image.bitsPerPixel) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1 ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 0, 0};
    case 16: {
        int v = row[2 * x] | row[2 * x + 1] << 8;
        return {uint8_t((v >> 8) & 0xF8), uint8_t((v >> 3) & 0xFC), uint8_t((v << 3) & 0xFF), 255};
    }
    case 24: return {row[3 * x + 2], row[3 * x + 1], row[3 * x], 255};
    default: return {row[x], row[x], row[x], 255};
    }
}

int StoredBits(const bmapfile::Image& image) {
    return image.palette.empty() ? image.bitsPerPixel : 8;
}

bool IsGreyRamp(const std::vector<Rgba>& palette) {
    for (size_t i = 0; i < palette.size(); i++)
        if (palette[i] != Rgba{uint8_t(i), uint8_t(i), uint8_t(i), 255}) return false;
    return true;
}

} // namespace

bool ParseKind(const std::string& name, Kind& out) {
    static const struct {
        const char* name;
        Kind kind;
    } names[] = {{"mono", Kind::Mono},
                 {"index8", Kind::Index8},
                 {"0565", Kind::Rgb565},
                 {"0888", Kind::Rgb888}};
    for (const auto& n : names)
        if (name == n.name) {
            out = n.kind;
            return true;
        }
    return false;
}

Picture PadToMultiple(const Picture& picture, int step) {
    Picture out;
    out.width = (picture.width + step - 1) / step * step;
    out.height = (picture.height + step - 1) / step * step;
    out.pixels.resize(size_t(out.width) * out.height);
    for (int y = 0; y < out.height; y++)
        for (int x = 0; x < out.width; x++)
            out.pixels[size_t(y) * out.width + x] =
                picture.pixels[size_t(std::min(y, picture.height - 1)) * picture.width +
                               std::min(x, picture.width - 1)];
    return out;
}

Picture HalfSize(const Picture& picture) {
    Picture out;
    out.width = std::max(1, picture.width / 2);
    out.height = std::max(1, picture.height / 2);
    out.pixels.resize(size_t(out.width) * out.height);
    for (int y = 0; y < out.height; y++)
        for (int x = 0; x < out.width; x++) {
            int sum[4] = {0, 0, 0, 0};
            for (int dy = 0; dy < 2; dy++)
                for (int dx = 0; dx < 2; dx++) {
                    int sx = std::min(2 * x + dx, picture.width - 1);
                    int sy = std::min(2 * y + dy, picture.height - 1);
                    Rgba c = picture.pixels[size_t(sy) * picture.width + sx];
                    sum[0] += c.r;
                    sum[1] += c.g;
                    sum[2] += c.b;
                    sum[3] += c.a;
                }
            out.pixels[size_t(y) * out.width + x] = {
                uint8_t((sum[0] + 2) / 4), uint8_t((sum[1] + 2) / 4), uint8_t((sum[2] + 2) / 4),
                uint8_t((sum[3] + 2) / 4)};
        }
    return out;
}

bool FromIndexed(int width, int height, const std::vector<uint8_t>& indices,
                 const std::vector<Rgba>& palette, int levels, bmapfile::Image& out,
                 std::string& error) {
    if (!CheckSize(width, height, error) || !CheckLevels(levels, error)) return false;
    if (palette.empty() || palette.size() > 256) {
        error = "a palette needs 1 to 256 entries";
        return false;
    }
    if (indices.size() != size_t(width) * height) {
        error = "index count does not match the picture size";
        return false;
    }
    for (uint8_t i : indices)
        if (i >= palette.size()) {
            error = "index " + std::to_string(i) + " beyond the palette";
            return false;
        }
    int step = 1 << (levels - 1);
    int w = (width + step - 1) / step * step, h = (height + step - 1) / step * step;
    std::vector<uint8_t> padded = PadIndices(indices, width, height, w, h);
    Picture level0{w, h, {}};
    for (uint8_t i : padded) level0.pixels.push_back(palette[i]);
    return BuildIndex8(MipChain(level0, levels), padded, palette, out, error);
}

bool FromColors(const Picture& picture, Kind kind, int levels, bmapfile::Image& out,
                std::string& error) {
    if (!CheckSize(picture.width, picture.height, error) || !CheckLevels(levels, error))
        return false;
    if (picture.pixels.size() != size_t(picture.width) * picture.height) {
        error = "pixel count does not match the picture size";
        return false;
    }
    std::vector<Picture> chain = MipChain(PadToMultiple(picture, 1 << (levels - 1)), levels);
    switch (kind) {
    case Kind::Mono: return BuildMono(chain, out, error);
    case Kind::Rgb565:
    case Kind::Rgb888: return BuildTrueColor(chain, kind, out, error);
    case Kind::Index8: break;
    }
    std::vector<Rgba> palette = quantize::MakePalette(chain[0].pixels, 256);
    return BuildIndex8(chain, quantize::MapToPalette(chain[0].pixels, palette), palette, out,
                       error);
}

bool FromPng(const pngio::Image& png, const Kind* requested, int levels, bmapfile::Image& out,
             std::string& error) {
    bool keepIndices = requested == nullptr || *requested == Kind::Index8;
    if (keepIndices && png.layout == pngio::Layout::Palette)
        return FromIndexed(png.width, png.height, png.samples, png.palette, levels, out, error);
    if (keepIndices && png.layout == pngio::Layout::Grey)
        return FromIndexed(png.width, png.height, png.samples, GreyPalette(), levels, out, error);
    Picture picture{png.width, png.height, {}};
    picture.pixels.reserve(size_t(png.width) * png.height);
    for (int y = 0; y < png.height; y++)
        for (int x = 0; x < png.width; x++) picture.pixels.push_back(png.ColorAt(x, y));
    return FromColors(picture, requested ? *requested : Kind::Index8, levels, out, error);
}

bool LevelColors(const bmapfile::Image& image, int level, Picture& out, std::string& error) {
    if (!image.hasPixels || level < 0 || level >= int(image.levels.size())) {
        error = "no level " + std::to_string(level) + " stored";
        return false;
    }
    int levels = int(image.levels.size());
    int width = level == 0 ? image.width
                           : std::max(1, bmapfile::EngineRounded(image.width, levels) >> level);
    int rowBytes = image.LevelRowBytes(level);
    width = std::min(width, rowBytes * 8 / StoredBits(image));
    out = Picture{width, image.LevelRows(level), {}};
    if (out.width < 1 || out.height < 1) {
        error = "level " + std::to_string(level) + " has no stored pixels";
        return false;
    }
    out.pixels.reserve(size_t(out.width) * out.height);
    for (int y = 0; y < out.height; y++) {
        const uint8_t* row = &image.levels[level][size_t(y) * rowBytes];
        for (int x = 0; x < out.width; x++) out.pixels.push_back(StoredColor(image, row, x));
    }
    return true;
}

bool ToPng(const bmapfile::Image& image, int level, pngio::Image& out, std::string& error) {
    Picture picture;
    if (!LevelColors(image, level, picture, error)) return false;
    out = pngio::Image();
    out.width = picture.width;
    out.height = picture.height;
    bool indexed = !image.palette.empty() || image.bitsPerPixel == 8;
    if (indexed && IsGreyRamp(image.palette)) {
        out.layout = pngio::Layout::Grey;
        for (Rgba c : picture.pixels) out.samples.push_back(c.r);
    } else if (indexed) {
        // Indices beyond the file's palette show the loader's grey entries.
        int rowBytes = image.LevelRowBytes(level);
        int used = int(image.palette.size());
        for (int y = 0; y < out.height; y++)
            for (int x = 0; x < out.width; x++)
                used = std::max(used, image.levels[level][size_t(y) * rowBytes + x] + 1);
        std::vector<Rgba> grey = GreyPalette();
        out.palette = image.palette;
        for (int i = int(image.palette.size()); i < used; i++) out.palette.push_back(grey[i]);
        out.layout = pngio::Layout::Palette;
        for (int y = 0; y < out.height; y++)
            for (int x = 0; x < out.width; x++)
                out.samples.push_back(image.levels[level][size_t(y) * rowBytes + x]);
    } else if (image.bitsPerPixel == 1) {
        out.layout = pngio::Layout::Grey;
        for (Rgba c : picture.pixels) out.samples.push_back(c.r);
    } else {
        out.layout = pngio::Layout::Rgb;
        for (Rgba c : picture.pixels) {
            out.samples.push_back(c.r);
            out.samples.push_back(c.g);
            out.samples.push_back(c.b);
        }
    }
    return true;
}

} // namespace bmapbuild
