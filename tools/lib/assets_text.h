// Type for the generated titles: a line of text set with FreeType into a coverage plane.
#ifndef TOOLS_ASSETS_TEXT_H
#define TOOLS_ASSETS_TEXT_H

#include <string>

#include "assets_raster.h"

namespace assets {

struct TextSetting {
    std::string fontFile; // a TrueType file
    int pixelSize = 64;   // em size in pixels
    float tracking = 0;   // extra space between letters, in pixels
};

// The ink of a line, cropped to its bounds; baseline is the row of the baseline inside
// the plane (for capitals without descenders, the row just below the ink).
struct TextInk {
    Plane coverage; // 0 paper .. 1 ink
    int baseline = 0;
};

bool SetText(const TextSetting& setting, const std::string& text, TextInk& out, std::string& error);

} // namespace assets

#endif
