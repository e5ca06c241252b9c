// PNG in and out through libpng. The browser build has neither libpng nor a folder to
// record to (the page is the picture), so there the recording's PNG calls fail.
#include "capture.h"

#include <stdio.h>

#ifndef __EMSCRIPTEN__
#include <png.h>

namespace capture {
namespace {

struct File {
    FILE* f;
    explicit File(FILE* file) : f(file) {}
    ~File() {
        if (f) fclose(f);
    }
};

} // namespace

bool WritePng(const std::string& path, const uint32_t* rgb, int width, int height) {
    if (width <= 0 || height <= 0) return false;
    File file(fopen(path.c_str(), "wb"));
    if (!file.f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row((size_t)width * 3);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_init_io(png, file.f);
    // Frames are written many times a second: fast compression keeps capture cheap.
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; y++) {
        const uint32_t* src = rgb + (size_t)y * width;
        for (int x = 0; x < width; x++) {
            row[x * 3 + 0] = (png_byte)(src[x] >> 16);
            row[x * 3 + 1] = (png_byte)(src[x] >> 8);
            row[x * 3 + 2] = (png_byte)src[x];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool ReadPng(const std::string& path, std::vector<uint32_t>& rgb, int& width, int& height) {
    File file(fopen(path.c_str(), "rb"));
    if (!file.f) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        return false;
    }
    png_init_io(png, file.f);
    png_read_info(png, info);
    int type = png_get_color_type(png, info);
    if (png_get_bit_depth(png, info) != 8 ||
        (type != PNG_COLOR_TYPE_RGB && type != PNG_COLOR_TYPE_RGBA)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    width = (int)png_get_image_width(png, info);
    height = (int)png_get_image_height(png, info);
    int channels = type == PNG_COLOR_TYPE_RGBA ? 4 : 3;
    row.resize((size_t)width * channels);
    rgb.assign((size_t)width * height, 0);
    for (int y = 0; y < height; y++) {
        png_read_row(png, row.data(), nullptr);
        for (int x = 0; x < width; x++) {
            const png_byte* p = &row[(size_t)x * channels];
            rgb[(size_t)y * width + x] = (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace capture

#else

namespace capture {

bool WritePng(const std::string&, const uint32_t*, int, int) {
    return false;
}

bool ReadPng(const std::string&, std::vector<uint32_t>&, int&, int&) {
    return false;
}

} // namespace capture

#endif
