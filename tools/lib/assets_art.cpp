#include "assets_art.h"

#include <math.h>

#include "assets_layout.h"

namespace assets {

namespace {

struct ColorRange {
    int first, last;
    Rgb from, to;
};

// The computed palette ranges at full level: the grey ramp, the backgrounds' ramp and
// the two warm ramps of the warp textures.
const ColorRange SHOW_RANGES[] = {
    {0, 16, {0, 0, 0}, {255, 255, 255}},
    {32, 47, {0, 0, 0}, {255, 255, 255}},
    {128, 191, {20, 5, 7}, {255, 222, 0}},
    {192, 255, {91, 0, 27}, {255, 222, 0}},
};

uint8_t RampChannel(int from, int to, float g) {
    return uint8_t(int(float(from) + float(to - from) * g));
}

} // namespace

Rgb ShowColor(int index) {
    for (const ColorRange& range : SHOW_RANGES) {
        if (index < range.first || index > range.last) continue;
        float s = float(index - range.first) / float(range.last - range.first);
        float g = 1.0f - (1.0f - s) * (1.0f - s);
        return Rgb{RampChannel(range.from.r, range.to.r, g),
                   RampChannel(range.from.g, range.to.g, g),
                   RampChannel(range.from.b, range.to.b, g)};
    }
    return Rgb{0, 0, 0};
}

uint8_t ScreenIndex(const ArtImage& art, uint8_t p) {
    if (art.remapLow < 0) return p;
    int red = art.image.palette[p].r;
    return uint8_t(art.remapLow + (red * (art.remapHigh - art.remapLow)) / 255);
}

IndexedImage FromLevels(int width, int height, const std::vector<uint8_t>& indices) {
    IndexedImage image;
    image.width = width;
    image.height = height;
    image.pixels = indices;
    return image;
}

void SetGreyPalette(IndexedImage& image) {
    for (int i = 0; i < 256; i++) image.palette[i] = Rgb{uint8_t(i), uint8_t(i), uint8_t(i)};
}

int Darkness(const Rgb& c) {
    return ((255 - c.r) * 8) / 255;
}

Plane TitleMask(const IndexedImage& image, int phase) {
    int mw = MaskWidth(image.width), mh = MaskHeight(image.height);
    std::vector<int> sum(size_t(mw) * mh, 0);
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++)
            sum[size_t(y / 4) * mw + (x + phase) / 4] += Darkness(image.palette[image.At(x, y)]);
    Plane mask(mw, mh);
    for (size_t i = 0; i < sum.size(); i++) mask.v[i] = float(16 - (sum[i] >> 3));
    return mask;
}

bool MakeAllArt(const std::string& fontDir, std::vector<ArtImage>& out, std::string& error) {
    out.clear();
    auto add = [&](const char* name, IndexedImage image, int low, int high, bool title) {
        ArtImage art;
        art.name = name;
        art.image = std::move(image);
        art.remapLow = low;
        art.remapHigh = high;
        art.title = title;
        out.push_back(std::move(art));
    };
    add("vd/q47_back.scl", MakeGridBackground(), 32, 47, false);
    add("vd/q47_bac2.scl", MakePanelBackground(), -1, -1, false);
    IndexedImage closing;
    if (!MakeClosingBackground(fontDir, closing, error)) return false;
    add("vd/good.scl", std::move(closing), 32, 47, false);
    add("vd/q47_logo.scl", MakeLogo(), -1, -1, true);
    for (const char* name :
         {"vd/q47_date.scl", "vd/q47_worl.scl", "vd/q47_domi.scl", "vd/q47_elit.scl"}) {
        IndexedImage title;
        if (!MakeTitle(fontDir, name, title, error)) return false;
        add(name, std::move(title), -1, -1, true);
    }
    add("vd/q47_arro.scl", MakeChevronWarp(), 128, 191, false);
    add("vd/q47_drog.scl", MakeMarbleWarp(), 192, 255, false);
    return true;
}

std::vector<Rgb> Preview(const ArtImage& art) {
    const IndexedImage& image = art.image;
    std::vector<Rgb> rgb(image.pixels.size());
    for (size_t i = 0; i < rgb.size(); i++) {
        uint8_t p = image.pixels[i];
        rgb[i] = art.title ? image.palette[p] : ShowColor(ScreenIndex(art, p));
    }
    return rgb;
}

namespace {

struct Screen {
    std::vector<uint8_t> index = std::vector<uint8_t>(size_t(SCREEN_W) * SCREEN_H, 16);

    void Set(int x, int y, uint8_t v) {
        if (x >= 0 && y >= 0 && x < SCREEN_W && y < SCREEN_H) index[size_t(y) * SCREEN_W + x] = v;
    }
    void Fill(const Box& b, uint8_t v) {
        for (int y = b.y0; y < b.y1; y++)
            for (int x = b.x0; x < b.x1; x++) Set(x, y, v);
    }
    std::vector<Rgb> Colors() const {
        std::vector<Rgb> rgb(index.size());
        for (size_t i = 0; i < rgb.size(); i++) rgb[i] = ShowColor(index[i]);
        return rgb;
    }
};

const ArtImage* Find(const std::vector<ArtImage>& art, const std::string& name) {
    for (const ArtImage& a : art)
        if (a.name == name) return &a;
    return nullptr;
}

void DrawFrames(Screen& screen) {
    for (int row = 0; row < 3; row++)
        for (int col = 0; col < 4; col++) {
            if (row == EMPTY_ROW && col == EMPTY_COL) continue;
            int x0 = CELL_COLS[col][0] - 2, x1 = CELL_COLS[col][1] + 2;
            int y0 = CELL_ROWS[row][0] - 2, y1 = CELL_ROWS[row][1] + 2;
            screen.Fill(Box{x0, y0, x1, y0 + 2}, 0);
            screen.Fill(Box{x0, y1 - 2, x1, y1}, 0);
            screen.Fill(Box{x0, y0, x0 + 2, y1}, 0);
            screen.Fill(Box{x1 - 2, y0, x1, y1}, 0);
        }
}

// The warp panel's bilinear lookup, in floats: close enough for a preview.
uint8_t WarpSample(const ArtImage& warp, float u, float v) {
    float fu = floorf(u), fv = floorf(v);
    int c0 = int(fu) & 1023, r0 = int(fv) & 127;
    int c1 = (c0 + 1) & 1023, r1 = (r0 + 1) & 127;
    float fx = u - fu, fy = v - fv;
    auto at = [&](int c, int r) { return float(ScreenIndex(warp, warp.image.At(c, r))); };
    float top = at(c0, r0) + (at(c1, r0) - at(c0, r0)) * fx;
    float bottom = at(c0, r1) + (at(c1, r1) - at(c0, r1)) * fx;
    return uint8_t(top + (bottom - top) * fy);
}

} // namespace

std::vector<Rgb> TitleLayoutPreview(const std::vector<ArtImage>& art) {
    Screen screen;
    screen.Fill(Box{0, 10, SCREEN_W, 12}, 0);
    for (const Box& c : CONNECTORS) screen.Fill(c, 0);
    for (const TitlePlace& place : TITLE_PLACES) {
        const ArtImage* a = Find(art, place.name);
        if (!a) continue;
        int phase = int(place.x * 4.0f) & 3;
        Plane mask = TitleMask(a->image, phase);
        Box box = MaskBox(place, a->image.width, a->image.height);
        for (int y = 0; y < mask.height; y++)
            for (int x = 0; x < mask.width; x++)
                screen.Set(box.x0 + x, box.y0 + y, uint8_t(mask.At(x, y)));
    }
    DrawFrames(screen);
    return screen.Colors();
}

std::vector<Rgb> PanelLayoutPreview(const std::vector<ArtImage>& art) {
    Screen screen;
    const ArtImage* back = Find(art, "vd/q47_bac2.scl");
    const ArtImage* warps[2] = {Find(art, "vd/q47_arro.scl"), Find(art, "vd/q47_drog.scl")};
    if (back)
        for (int y = 0; y < SCREEN_H; y++)
            for (int x = 0; x < SCREEN_W; x++) screen.Set(x, y, back->image.At(x, y));
    if (!warps[0] || !warps[1]) return screen.Colors();
    float t = 21500.0f;
    float zoom = sinf(t * 0.001f) * 0.2f + 0.5f;
    float dx = sinf(t * 0.00033333333f) * 200.0f, dy = sinf(t * 0.0002f) * 200.0f;
    int panel = 0;
    for (int row = 0; row < 3; row++)
        for (int col = 0; col < 4; col++) {
            if (row == EMPTY_ROW && col == EMPTY_COL) continue;
            const ArtImage& warp = *warps[(panel++ * 7 / 3) & 1];
            for (int y = CELL_ROWS[row][0]; y < CELL_ROWS[row][1]; y++)
                for (int x = CELL_COLS[col][0]; x < CELL_COLS[col][1]; x++) {
                    float u = (float(x) - 320.0f) * zoom + dx;
                    float v = (float(y) - 240.0f) * zoom + dy;
                    screen.Set(x, y, WarpSample(warp, u + 1024.0f * 8, v + 128.0f * 64));
                }
        }
    return screen.Colors();
}

} // namespace assets
