// libpng reports errors by longjmp; every libpng call sits behind setjmp in the
// function that owns the png structures, and nothing with a destructor is created
// between setjmp and the calls that may jump.
#include "pngio.h"

#include <png.h>
#include <stdio.h>

#include <memory>

namespace pngio {

int Image::Channels() const {
    switch (layout) {
    case Layout::Palette:
    case Layout::Grey: return 1;
    case Layout::Rgb: return 3;
    case Layout::Rgba: return 4;
    }
    return 1;
}

Rgba Image::ColorAt(int x, int y) const {
    const uint8_t* p = &samples[(size_t(y) * width + x) * Channels()];
    switch (layout) {
    case Layout::Palette: return *p < palette.size() ? palette[*p] : Rgba{0, 0, 0, 255};
    case Layout::Grey: return {p[0], p[0], p[0], 255};
    case Layout::Rgb: return {p[0], p[1], p[2], 255};
    case Layout::Rgba: return {p[0], p[1], p[2], p[3]};
    }
    return {0, 0, 0, 255};
}

namespace {

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) fclose(f);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Largest picture the tools accept; the bitmap format itself stops at 65535.
const png_uint_32 MAX_SIDE = 65535;

void ReadPalette(png_structp png, png_infop info, Image& out) {
    png_colorp colors = nullptr;
    int count = 0;
    png_get_PLTE(png, info, &colors, &count);
    png_bytep alpha = nullptr;
    int alphaCount = 0;
    png_color_16p unused = nullptr;
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_get_tRNS(png, info, &alpha, &alphaCount, &unused);
    out.palette.resize(count);
    for (int i = 0; i < count; i++) {
        uint8_t a = (alpha && i < alphaCount) ? alpha[i] : 255;
        out.palette[i] = {colors[i].red, colors[i].green, colors[i].blue, a};
    }
}

bool ReadInto(FILE* file, Image& out, std::string& error) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        error = "out of memory";
        return false;
    }
    std::vector<png_bytep>* rows = new std::vector<png_bytep>();
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        delete rows;
        error = "not a readable PNG file";
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    int colorType = png_get_color_type(png, info);
    if (width == 0 || height == 0 || width > MAX_SIDE || height > MAX_SIDE) {
        png_destroy_read_struct(&png, &info, nullptr);
        delete rows;
        error = "picture size outside 1..65535";
        return false;
    }
    png_set_strip_16(png);
    png_set_packing(png);
    if (colorType == PNG_COLOR_TYPE_GRAY) png_set_expand_gray_1_2_4_to_8(png);
    if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    out.width = int(width);
    out.height = int(height);
    out.palette.clear();
    switch (colorType) {
    case PNG_COLOR_TYPE_PALETTE:
        out.layout = Layout::Palette;
        ReadPalette(png, info, out);
        break;
    case PNG_COLOR_TYPE_GRAY: out.layout = Layout::Grey; break;
    case PNG_COLOR_TYPE_RGB: out.layout = Layout::Rgb; break;
    default: out.layout = Layout::Rgba; break;
    }
    size_t rowBytes = png_get_rowbytes(png, info);
    size_t expected = size_t(width) * out.Channels();
    if (rowBytes != expected) {
        png_destroy_read_struct(&png, &info, nullptr);
        delete rows;
        error = "unexpected PNG row layout";
        return false;
    }
    out.samples.assign(rowBytes * height, 0);
    rows->resize(height);
    for (png_uint_32 y = 0; y < height; y++) (*rows)[y] = &out.samples[y * rowBytes];
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    delete rows;
    return true;
}

int PngColorType(Layout layout) {
    switch (layout) {
    case Layout::Palette: return PNG_COLOR_TYPE_PALETTE;
    case Layout::Grey: return PNG_COLOR_TYPE_GRAY;
    case Layout::Rgb: return PNG_COLOR_TYPE_RGB;
    case Layout::Rgba: return PNG_COLOR_TYPE_RGB_ALPHA;
    }
    return PNG_COLOR_TYPE_RGB;
}

// What libpng needs besides the image, made before any call that may jump.
struct WritePlan {
    std::vector<png_color> colors;
    std::vector<png_byte> alpha;
    bool anyAlpha = false;
    std::vector<png_bytep> rows;
};

WritePlan PlanWrite(const Image& image) {
    WritePlan plan;
    for (const Rgba& c : image.palette) {
        plan.colors.push_back({c.r, c.g, c.b});
        plan.alpha.push_back(c.a);
        plan.anyAlpha = plan.anyAlpha || c.a != 255;
    }
    size_t rowBytes = size_t(image.width) * image.Channels();
    for (int y = 0; y < image.height; y++)
        plan.rows.push_back(const_cast<png_bytep>(&image.samples[y * rowBytes]));
    return plan;
}

bool Encode(png_structp png, png_infop info, FILE* file, const Image& image, WritePlan& plan) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, image.width, image.height, 8, PngColorType(image.layout),
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (image.layout == Layout::Palette) {
        png_set_PLTE(png, info, plan.colors.data(), int(plan.colors.size()));
        if (plan.anyAlpha)
            png_set_tRNS(png, info, plan.alpha.data(), int(plan.alpha.size()), nullptr);
    }
    png_write_info(png, info);
    png_write_image(png, plan.rows.data());
    png_write_end(png, nullptr);
    return true;
}

bool WriteTo(FILE* file, const Image& image, std::string& error) {
    WritePlan plan = PlanWrite(image);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        error = "out of memory";
        return false;
    }
    bool ok = Encode(png, info, file, image, plan);
    png_destroy_write_struct(&png, &info);
    if (!ok) error = "PNG encoding failed";
    return ok;
}

bool CheckForWriting(const Image& image, std::string& error) {
    if (image.width <= 0 || image.height <= 0) {
        error = "empty picture";
        return false;
    }
    if (image.samples.size() != size_t(image.width) * image.height * image.Channels()) {
        error = "sample count does not match the picture size";
        return false;
    }
    if (image.layout == Layout::Palette && (image.palette.empty() || image.palette.size() > 256)) {
        error = "a palette picture needs 1 to 256 palette entries";
        return false;
    }
    return true;
}

} // namespace

bool Read(const std::string& path, Image& out, std::string& error) {
    FilePtr file(fopen(path.c_str(), "rb"));
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    return ReadInto(file.get(), out, error);
}

bool Write(const std::string& path, const Image& image, std::string& error) {
    if (!CheckForWriting(image, error)) return false;
    FilePtr file(fopen(path.c_str(), "wb"));
    if (!file) {
        error = "cannot create " + path;
        return false;
    }
    if (!WriteTo(file.get(), image, error)) return false;
    if (fflush(file.get()) != 0 || ferror(file.get())) {
        error = "write error on " + path;
        return false;
    }
    return true;
}

} // namespace pngio
