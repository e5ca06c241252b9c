// The two warp textures. The warp panels read them with both coordinates wrapped
// (1024 columns, 128 rows), so every pattern here repeats a whole number of times
// across each edge and the seams cannot be seen.
#include <math.h>

#include "assets_art.h"
#include "assets_noise.h"

namespace assets {

namespace {

const int WARP_W = 1024;
const int WARP_H = 128;
const float TAU = 6.28318530718f;

IndexedImage GreyImage(const Plane& plane) {
    std::vector<uint8_t> pixels(plane.v.size());
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = uint8_t(lroundf(Clamp01(plane.v[i]) * 255.0f));
    IndexedImage image = FromLevels(plane.width, plane.height, pixels);
    SetGreyPalette(image);
    return image;
}

const float CELL = 32.0f;

// Signed distance to a ">" of two strokes meeting at the tip, centred in its cell.
float ChevronDistance(float u, float v, float size) {
    float tipX = 16.0f + 7.0f * size, armX = 16.0f - 7.0f * size;
    float reach = 11.0f * size;
    float d = fminf(SegmentDistance(u, v, armX, 16.0f - reach, tipX, 16.0f),
                    SegmentDistance(u, v, armX, 16.0f + reach, tipX, 16.0f));
    return d - 3.2f * size;
}

// Nearest chevron of the field (rows of cells, alternate rows shifted by half a cell),
// looking into the neighbouring cells so soft wakes cross cell borders unbroken.
float ChevronFieldDistance(float px, float py, float size, float behind) {
    float best = 1e9f;
    int row0 = int(floorf(py / CELL));
    for (int row = row0 - 1; row <= row0 + 1; row++) {
        float shift = (row & 1) ? CELL * 0.5f : 0.0f;
        int col0 = int(floorf((px + shift) / CELL));
        for (int col = col0 - 1; col <= col0 + 1; col++) {
            float u = px + shift - float(col) * CELL + behind;
            float v = py - float(row) * CELL;
            best = fminf(best, ChevronDistance(u, v, size));
        }
    }
    return best;
}

} // namespace

IndexedImage MakeChevronWarp() {
    // Rows of arrows pointing along the drift, alternate rows half a cell apart; each
    // arrow glows at its tip and trails a soft wake. Size and brightness breathe across
    // the sheet with whole-period waves.
    // Distances give the strokes their own anti-aliasing: one sample per pixel will do.
    Plane plane(WARP_W, WARP_H);
    for (int y = 0; y < WARP_H; y++)
        for (int x = 0; x < WARP_W; x++) {
            float px = float(x) + 0.5f, py = float(y) + 0.5f;
            float wave = 0.5f + 0.5f * sinf(TAU * (px / WARP_W * 3.0f + py / WARP_H));
            float size = 0.78f + 0.22f * wave;
            float arrow = Coverage(ChevronFieldDistance(px, py, size, 0.0f));
            // Wake: a soft band behind each arm, brightest just behind the stroke.
            float wake = expf(-fmaxf(ChevronFieldDistance(px, py, size, 5.0f), 0.0f) / 3.5f);
            float ground = 0.02f + 0.08f * (0.5f + 0.5f * sinf(TAU * (px / WARP_W * 2.0f)));
            float lit = 0.70f + 0.30f * wave;
            plane.At(x, y) = fmaxf(ground + 0.30f * wake * lit, arrow * lit);
        }
    return GreyImage(plane);
}

IndexedImage MakeMarbleWarp() {
    // Veined marble: a stripe field bent twice by periodic noise (domain warping), so
    // the bands curl into swirls. Lattice cells of 64 pixels: 16 across, 2 down.
    Plane plane(WARP_W, WARP_H);
    const float LATTICE = 64.0f;
    const int PX = WARP_W / 64, PY = WARP_H / 64;
    for (int y = 0; y < WARP_H; y++)
        for (int x = 0; x < WARP_W; x++) {
            float px = float(x) / LATTICE, py = float(y) / LATTICE;
            float qx = PeriodicFbm(px, py, PX, PY, 4, 101);
            float qy = PeriodicFbm(px, py, PX, PY, 4, 202);
            float rx = PeriodicFbm(px + 1.6f * qx, py + 1.6f * qy, PX, PY, 4, 303);
            float ry = PeriodicFbm(px + 1.6f * qx, py + 1.6f * qy, PX, PY, 4, 404);
            float phase = TAU * (float(x) / WARP_W * 6.0f + float(y) / WARP_H * 1.0f);
            float field = phase + 5.5f * rx + 3.0f * ry;
            float vein = 0.5f + 0.5f * sinf(field);
            float body = 0.5f + 0.5f * PeriodicFbm(px + 2.0f * rx, py + 2.0f * ry, PX, PY, 3, 505);
            plane.At(x, y) = Clamp01(0.03f + 0.80f * vein * vein + 0.25f * (body - 0.5f));
        }
    return GreyImage(plane);
}

} // namespace assets
