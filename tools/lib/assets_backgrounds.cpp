// The three full-screen pictures. Two are grey pictures the show squeezes into the
// sixteen entries 32..47; the one behind the warp panels is stored in the show's own
// indices (grey ramp 0..16 and background ramp 32..47).
#include <math.h>

#include "assets_art.h"
#include "assets_layout.h"
#include "assets_noise.h"
#include "assets_text.h"

namespace assets {

namespace {

const float PI = 3.14159265358979f;

// The sixteen greys a remapped background can show, as the screen shows them.
std::vector<int> BackgroundRamp() {
    std::vector<int> levels;
    for (int k = 0; k < 16; k++) levels.push_back(ShowRampGrey(32 + k, 32, 47));
    return levels;
}

// Level k is stored as index k with red k * 17, which the show's remap turns back
// into exactly 32 + k.
IndexedImage RemappedPicture(const Plane& displayed) {
    std::vector<uint8_t> levels = DiffuseOnto(displayed, BackgroundRamp());
    // Paper stays paper: no dither error may speckle a pure white area.
    for (size_t i = 0; i < levels.size(); i++)
        if (displayed.v[i] >= 1.0f) levels[i] = 15;
    IndexedImage image = FromLevels(displayed.width, displayed.height, levels);
    SetGreyPalette(image);
    for (int k = 0; k < 16; k++)
        image.palette[k] = Rgb{uint8_t(k * 17), uint8_t(k * 17), uint8_t(k * 17)};
    return image;
}

bool InCell(float x, float y, float grow) {
    for (int row = 0; row < 3; row++)
        for (int col = 0; col < 4; col++) {
            if (row == EMPTY_ROW && col == EMPTY_COL) continue;
            if (x >= CELL_COLS[col][0] - grow && x < CELL_COLS[col][1] + grow &&
                y >= CELL_ROWS[row][0] - grow && y < CELL_ROWS[row][1] + grow)
                return true;
        }
    return false;
}

// Light fanning out from a point below the left edge, broken by a few crystal facets.
float RefractionField(float x, float y) {
    float base = 0.50f + 0.30f * (x / 640.0f) - 0.12f * (y / 480.0f);
    float angle = atan2f(620.0f - y, x + 180.0f);
    static const float RAYS[][3] = {{0.42f, 0.030f, 0.30f},
                                    {0.55f, 0.050f, 0.22f},
                                    {0.66f, 0.020f, 0.35f},
                                    {0.78f, 0.060f, 0.18f},
                                    {0.90f, 0.025f, 0.28f}};
    for (const auto& ray : RAYS) {
        float d = (angle - ray[0]) / ray[1];
        base += ray[2] * expf(-d * d);
    }
    // Facets: the sign pattern of four lines picks a shade step for each region.
    static const float LINES[][3] = {{0.8f, 0.6f, -330.0f},
                                     {-0.5f, 0.87f, -40.0f},
                                     {0.96f, -0.28f, -420.0f},
                                     {0.2f, 0.98f, -300.0f}};
    uint32_t pattern = 0;
    float edge = 1e9f;
    for (int i = 0; i < 4; i++) {
        float s = LINES[i][0] * x + LINES[i][1] * y + LINES[i][2];
        if (s > 0) pattern |= 1u << i;
        edge = fminf(edge, fabsf(s));
    }
    base += (float(Hash(pattern + 11) & 255) / 255.0f - 0.5f) * 0.16f;
    base += 0.10f * Coverage(edge - 0.75f); // a fine bright seam along each facet edge
    return Clamp01(base);
}

} // namespace

IndexedImage MakeGridBackground() {
    // Shown only while it fades in behind the frames: the picture fills the cells and
    // the page around them stays white, so the titles' white boxes vanish into it.
    Plane displayed(SCREEN_W, SCREEN_H, 1.0f);
    auto sample = [](float px, float py) {
        return InCell(px, py, 1.0f) ? RefractionField(px, py) : 1.0f;
    };
    for (int y = 0; y < SCREEN_H; y++)
        for (int x = 0; x < SCREEN_W; x++) displayed.At(x, y) = PixelAverage(sample, x, y, 4);
    return RemappedPicture(displayed);
}

namespace {

// The greys the second background may use: both of the show's grey ramps.
struct PanelTones {
    std::vector<int> greys;
    std::vector<uint8_t> indices;
    PanelTones() {
        for (int i = 0; i <= 16; i++) {
            greys.push_back(ShowRampGrey(i, 0, 16));
            indices.push_back(uint8_t(i));
        }
        for (int i = 32; i <= 47; i++) {
            greys.push_back(ShowRampGrey(i, 32, 47));
            indices.push_back(uint8_t(i));
        }
    }
};

struct Facets {
    static const int STEP_X = 80, STEP_Y = 70, COLS = 10, ROWS = 9;
    float px[ROWS][COLS], py[ROWS][COLS], height[ROWS][COLS];

    Facets() {
        Rng rng(47);
        for (int r = 0; r < ROWS; r++)
            for (int c = 0; c < COLS; c++) {
                bool border = r == 0 || c == 0 || r == ROWS - 1 || c == COLS - 1;
                float jitter = border ? 0.0f : 22.0f;
                px[r][c] = float(c * STEP_X - 40 + (r & 1) * STEP_X / 2) + rng.Bipolar() * jitter;
                py[r][c] = float(r * STEP_Y - 40) + rng.Bipolar() * jitter;
                height[r][c] = rng.Uniform() * 60.0f;
            }
    }

    // Flat-shaded tone of the triangle holding (x, y), lit from the upper left.
    float Tone(float x, float y) const {
        int r0 = int((y + 40.0f) / STEP_Y);
        for (int r = r0 - 1; r <= r0 + 1; r++)
            for (int c = 0; c < COLS - 1; c++) {
                if (r < 0 || r >= ROWS - 1) continue;
                // Odd rows sit half a step to the right, so the quad's diagonal leans
                // one way or the other with the row's parity.
                bool odd = r & 1;
                const int a[3][2] = {{r, c}, {r, c + 1}, {r + 1, odd ? c + 1 : c}};
                const int b[3][2] = {{r + 1, c}, {r + 1, c + 1}, {r, odd ? c : c + 1}};
                float tone;
                if (Shade(a, x, y, tone) || Shade(b, x, y, tone)) return tone;
            }
        return 0.2f;
    }

    bool Shade(const int v[3][2], float x, float y, float& tone) const {
        float xs[3], ys[3], zs[3];
        for (int k = 0; k < 3; k++) {
            int r = v[k][0], c = v[k][1];
            if (c < 0 || c >= COLS) return false;
            xs[k] = px[r][c], ys[k] = py[r][c], zs[k] = height[r][c];
        }
        float d0 = (xs[1] - xs[0]) * (y - ys[0]) - (ys[1] - ys[0]) * (x - xs[0]);
        float d1 = (xs[2] - xs[1]) * (y - ys[1]) - (ys[2] - ys[1]) * (x - xs[1]);
        float d2 = (xs[0] - xs[2]) * (y - ys[2]) - (ys[0] - ys[2]) * (x - xs[2]);
        bool inside = (d0 >= 0 && d1 >= 0 && d2 >= 0) || (d0 <= 0 && d1 <= 0 && d2 <= 0);
        if (!inside) return false;
        float ux = xs[1] - xs[0], uy = ys[1] - ys[0], uz = zs[1] - zs[0];
        float vx = xs[2] - xs[0], vy = ys[2] - ys[0], vz = zs[2] - zs[0];
        float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        if (nz < 0) nx = -nx, ny = -ny, nz = -nz;
        float len = sqrtf(nx * nx + ny * ny + nz * nz);
        float light = (-0.5f * nx - 0.6f * ny + 0.62f * nz) / len;
        float cx = (xs[0] + xs[1] + xs[2]) / 3.0f, cy = (ys[0] + ys[1] + ys[2]) / 3.0f;
        float glow = 1.0f - Clamp01(hypotf(cx - 250.0f, cy - 250.0f) / 520.0f);
        tone = 0.07f + 0.20f * light * light + 0.12f * glow;
        return true;
    }
};

// The emblem's outline where the logo stood, drawn as light lines on the dark facets.
float GhostEmblem(float x, float y) {
    // Same geometry as the logo, in screen pixels.
    float ox = 218.0f, oy = 221.0f;
    float ax = ox + 32.0f, ay = oy + 2.0f, lx = ox + 7.0f, ly = oy + 63.0f, rx = ox + 57.0f;
    float d = fminf(SegmentDistance(x, y, ax, ay, lx, ly), SegmentDistance(x, y, ax, ay, rx, ly));
    d = fminf(d, SegmentDistance(x, y, lx, ly, rx, ly));
    float beam = SegmentDistance(x, y, ox - 24.0f, oy + 32.0f, ox + 19.5f, oy + 32.0f);
    return fmaxf(Coverage(d - 0.5f), 0.6f * Coverage(beam - 0.5f));
}

} // namespace

IndexedImage MakePanelBackground() {
    static const Facets facets;
    PanelTones tones;
    Plane displayed(SCREEN_W, SCREEN_H);
    auto sample = [](float px, float py) { return facets.Tone(px, py); };
    for (int y = 0; y < SCREEN_H; y++)
        for (int x = 0; x < SCREEN_W; x++) {
            float tone = PixelAverage(sample, x, y, 4);
            displayed.At(x, y) = Mix(tone, 0.62f, GhostEmblem(float(x) + 0.5f, float(y) + 0.5f));
        }
    // Flat facets want flat tones: nearest grey, no dither.
    std::vector<uint8_t> chosen = QuantizeOnto(displayed, tones.greys);
    IndexedImage image = FromLevels(SCREEN_W, SCREEN_H, chosen);
    for (uint8_t& p : image.pixels) p = tones.indices[p];
    for (int i = 0; i < 256; i++) image.palette[i] = ShowColor(i);
    return image;
}

bool MakeClosingBackground(const std::string& fontDir, IndexedImage& out, std::string& error) {
    Plane displayed(SCREEN_W, SCREEN_H);
    const float ax = 320.0f, ay = 92.0f, lx = 204.0f, rx = 436.0f, by = 312.0f;
    const float tri[6] = {ax, ay, rx, by, lx, by};
    // The beam meets the left face at entry and leaves the right face at exit.
    const float entryT = 0.56f, exitT = 0.46f;
    const float ex = ax + (lx - ax) * entryT, ey = ay + (by - ay) * entryT;
    const float qx = ax + (rx - ax) * exitT, qy = ay + (by - ay) * exitT;
    auto sample = [&](float px, float py) {
        float dxc = (px - 320.0f) / 400.0f, dyc = (py - 220.0f) / 330.0f;
        float v = 0.99f - 0.30f * (dxc * dxc + dyc * dyc);
        // The dispersed fan: six bands from dark to light, fanning downwards.
        float angle = atan2f(py - qy, px - qx);
        if (px > qx) {
            float a = (angle - 0.02f) / 0.075f;
            if (a >= 0.0f && a < 6.0f) {
                int band = int(a);
                float fade = SmoothStep(640.0f, 420.0f, px) * 0.35f + 0.65f;
                v = Mix(v, 0.18f + 0.13f * float(band), fade);
            }
        }
        // The incoming beam.
        float beam = SegmentDistance(px, py, -10.0f, 268.0f, ex, ey);
        v = Mix(v, 0.16f, Coverage(beam - 2.5f));
        // The prism: two facets and a dark rim, the beam bent inside it.
        float inside = ConvexPolygonDistance(px, py, tri, 3);
        if (inside < 0.5f) {
            float facet = px < ax + (py - ay) * 0.05f ? 0.80f : 0.90f;
            float body =
                Mix(facet, 0.55f, Coverage(SegmentDistance(px, py, ex, ey, qx, qy) - 3.0f));
            v = Mix(v, body, Coverage(inside));
        }
        v = Mix(v, 0.10f, Coverage(fabsf(inside) - 2.0f));
        return v;
    };
    for (int y = 0; y < SCREEN_H; y++)
        for (int x = 0; x < SCREEN_W; x++) displayed.At(x, y) = PixelAverage(sample, x, y, 3);
    // The name under the emblem, set wide in the light weight.
    struct Line {
        const char* text;
        const char* font;
        int size;
        float tracking, grey;
        int baseline;
    };
    static const Line LINES[] = {
        {"PRISMATEL", "DejaVuSans-ExtraLight.ttf", 40, 16.0f, 0.16f, 392},
        {"LIGHT IN EIGHT BITS", "DejaVuSans.ttf", 12, 5.0f, 0.45f, 420},
    };
    for (const Line& line : LINES) {
        TextInk ink;
        if (!SetText(TextSetting{fontDir + "/" + line.font, line.size, line.tracking}, line.text,
                     ink, error))
            return false;
        int left = (SCREEN_W - ink.coverage.width) / 2, top = line.baseline - ink.baseline;
        for (int y = 0; y < ink.coverage.height; y++)
            for (int x = 0; x < ink.coverage.width; x++)
                Paint(displayed, left + x, top + y, line.grey, ink.coverage.At(x, y));
    }
    out = RemappedPicture(displayed);
    return true;
}

} // namespace assets
