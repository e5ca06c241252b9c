#include "assets_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <vector>

namespace assets {

namespace {

struct Glyph {
    int left, top; // pixel position of the bitmap's top-left, baseline at y = 0
    int width, rows;
    std::vector<uint8_t> alpha;
};

class Library {
public:
    Library() { ok = FT_Init_FreeType(&library) == 0; }
    ~Library() {
        if (face) FT_Done_Face(face);
        if (ok) FT_Done_FreeType(library);
    }
    bool ok = false;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

bool RenderGlyph(FT_Face face, FT_UInt index, FT_Pos penX, Glyph& out) {
    // Unhinted outlines shifted by the pen's fraction keep the spacing exact.
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return false;
    FT_Outline_Translate(&face->glyph->outline, penX & 63, 0);
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return false;
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    out.left = int(penX >> 6) + face->glyph->bitmap_left;
    out.top = -face->glyph->bitmap_top;
    out.width = int(bitmap.width);
    out.rows = int(bitmap.rows);
    out.alpha.assign(size_t(out.width) * out.rows, 0);
    for (int y = 0; y < out.rows; y++)
        for (int x = 0; x < out.width; x++)
            out.alpha[size_t(y) * out.width + x] = bitmap.buffer[y * bitmap.pitch + x];
    return true;
}

} // namespace

bool SetText(const TextSetting& setting, const std::string& text, TextInk& out,
             std::string& error) {
    Library ft;
    if (!ft.ok) {
        error = "FreeType did not start";
        return false;
    }
    if (FT_New_Face(ft.library, setting.fontFile.c_str(), 0, &ft.face) != 0) {
        error = "cannot open font " + setting.fontFile;
        return false;
    }
    FT_Set_Pixel_Sizes(ft.face, 0, FT_UInt(setting.pixelSize));
    std::vector<Glyph> glyphs;
    FT_Pos pen = 0;
    FT_UInt previous = 0;
    for (unsigned char c : text) {
        FT_UInt index = FT_Get_Char_Index(ft.face, c);
        if (previous && FT_HAS_KERNING(ft.face)) {
            FT_Vector kern;
            FT_Get_Kerning(ft.face, previous, index, FT_KERNING_UNFITTED, &kern);
            pen += kern.x;
        }
        Glyph glyph;
        if (!RenderGlyph(ft.face, index, pen, glyph)) {
            error = "cannot render a glyph of \"" + text + "\"";
            return false;
        }
        if (glyph.width > 0 && glyph.rows > 0) glyphs.push_back(std::move(glyph));
        pen += ft.face->glyph->advance.x + FT_Pos(setting.tracking * 64.0f);
        previous = index;
    }
    if (glyphs.empty()) {
        error = "no ink in \"" + text + "\"";
        return false;
    }
    int left = 1 << 30, right = -(1 << 30), top = 1 << 30, bottom = -(1 << 30);
    for (const Glyph& g : glyphs) {
        left = std::min(left, g.left);
        right = std::max(right, g.left + g.width);
        top = std::min(top, g.top);
        bottom = std::max(bottom, g.top + g.rows);
    }
    out.coverage = Plane(right - left, bottom - top, 0.0f);
    out.baseline = -top;
    for (const Glyph& g : glyphs)
        for (int y = 0; y < g.rows; y++)
            for (int x = 0; x < g.width; x++) {
                float a = float(g.alpha[size_t(y) * g.width + x]) / 255.0f;
                float& p = out.coverage.At(g.left - left + x, g.top - top + y);
                p = std::min(1.0f, p + a); // touching letters add up, never beyond full ink
            }
    return true;
}

} // namespace assets
