// The show's ten images, generated: three backgrounds, the logo, four titles and two
// warp textures, each an Index 8 picture with its palette, plus what a preview needs
// to show it as the screen will.
#ifndef TOOLS_ASSETS_ART_H
#define TOOLS_ASSETS_ART_H

#include <string>
#include <vector>

#include "assets_raster.h"

namespace assets {

// How the show treats an image's pixels before they reach the screen.
struct ArtImage {
    std::string name; // inside the pack, e.g. "vd/q47_back.scl"
    IndexedImage image;
    int remapLow = -1; // >= 0: the show remaps by palette red into remapLow..remapHigh
    int remapHigh = -1;
    bool title = false; // shown as a quarter-size grey mask
};

// Palette ranges the show computes (at full level) and the fixed colours it fades between.
Rgb ShowColor(int index);
// Pixel p of an image as the show stores it in the back buffer (after its remap).
uint8_t ScreenIndex(const ArtImage& art, uint8_t p);

// Everything, in the pack's order. fontDir holds the DejaVu TrueType files.
bool MakeAllArt(const std::string& fontDir, std::vector<ArtImage>& out, std::string& error);

// The individual pieces (names as in the pack).
IndexedImage MakeGridBackground();  // "vd/q47_back.scl"
IndexedImage MakePanelBackground(); // "vd/q47_bac2.scl"
bool MakeClosingBackground(const std::string& fontDir, IndexedImage& out, std::string& error);
IndexedImage MakeLogo(); // "vd/q47_logo.scl"
bool MakeTitle(const std::string& fontDir, const std::string& name, IndexedImage& out,
               std::string& error); // worl, domi, elit, date
IndexedImage MakeChevronWarp();     // "vd/q47_arro.scl"
IndexedImage MakeMarbleWarp();      // "vd/q47_drog.scl"

// The quarter-size grey mask (levels 0..16) the show builds from a title at a phase.
Plane TitleMask(const IndexedImage& image, int phase);
int Darkness(const Rgb& c);

// Helpers shared by the generators.
IndexedImage FromLevels(int width, int height, const std::vector<uint8_t>& indices);
void SetGreyPalette(IndexedImage& image);

// Previews as RGB rows: the image through the show's palette.
std::vector<Rgb> Preview(const ArtImage& art);
// A picture of the screen with titles at rest over a white page, frames drawn.
std::vector<Rgb> TitleLayoutPreview(const std::vector<ArtImage>& art);
// A picture of the screen with the second background and every warp panel open.
std::vector<Rgb> PanelLayoutPreview(const std::vector<ArtImage>& art);

} // namespace assets

#endif
