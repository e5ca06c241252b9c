// PNG in and out for the tools, over libpng. Images are kept in the form they were
// stored in (palette, grey, RGB or RGBA, eight bits per sample) so a tool can decide
// how to turn them into a bitmap without losing what the file said.
#ifndef TOOLS_PNGIO_H
#define TOOLS_PNGIO_H

#include <stdint.h>

#include <string>
#include <vector>

namespace pngio {

struct Rgba {
    uint8_t r, g, b, a;
    bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
    bool operator!=(const Rgba& o) const { return !(*this == o); }
};

enum class Layout { Palette, Grey, Rgb, Rgba };

struct Image {
    int width = 0;
    int height = 0;
    Layout layout = Layout::Rgb;
    // Palette and Grey: one byte per pixel (index or grey level); Rgb: three; Rgba: four.
    std::vector<uint8_t> samples;
    // Palette layout only; alpha from the file's transparency chunk, else 255.
    std::vector<Rgba> palette;

    int Channels() const;
    // The colour of pixel (x, y) whatever the layout.
    Rgba ColorAt(int x, int y) const;
};

// Grey-with-alpha files are read as Rgba; 16-bit samples are cut to 8 bits and
// 1, 2 and 4-bit samples widened to one byte each.
bool Read(const std::string& path, Image& out, std::string& error);
bool Write(const std::string& path, const Image& image, std::string& error);

} // namespace pngio

#endif
