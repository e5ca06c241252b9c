// The face pattern: rainbow bands running diagonally, broken into tiles by dark seams, so
// that both the perspective and the Gouraud light show on it.
#include "bitmap.h"
#include "spin.h"

namespace {

const int TEXTURE_SIZE = 64;
const int TILE = 16;

// A hue from 0 to 1535 around the colour wheel, at full saturation.
void Hue(int h, int& r, int& g, int& b) {
    int sector = (h / 256) % 6, f = h % 256;
    const int up = f, down = 255 - f;
    const int table[6][3] = {{255, up, 0},   {down, 255, 0}, {0, 255, up},
                             {0, down, 255}, {up, 0, 255},   {255, 0, down}};
    r = table[sector][0];
    g = table[sector][1];
    b = table[sector][2];
}

uint32_t PatternAt(const sBitmap& bitmap, int x, int y) {
    int r, g, b;
    Hue(((x + y) * 1536 / (2 * TEXTURE_SIZE)) % 1536, r, g, b);
    // Lighter in alternate tiles, dark on the seams between tiles.
    bool light = ((x / TILE) + (y / TILE)) & 1;
    if (light) {
        r = (r + 255) / 2;
        g = (g + 255) / 2;
        b = (b + 255) / 2;
    }
    bool seam = x % TILE == 0 || y % TILE == 0;
    if (seam) r = g = b = 24;
    return (uint32_t)bitmap.ColorToIndex(r, g, b, 255);
}

} // namespace

void MakePrismTexture(sTexture& record) {
    sBitmap* bitmap = new sBitmap;
    bitmap->Create(TEXTURE_SIZE, TEXTURE_SIZE, BK_0888, 1);
    for (int y = 0; y < TEXTURE_SIZE; y++)
        for (int x = 0; x < TEXTURE_SIZE; x++) bitmap->SetPixel(PatternAt(*bitmap, x, y), x, y, 0);
    MemFill(&record, 0, sizeof record);
    record.bitmap = bitmap;
    record.type = TT_TEXTURE;
}
