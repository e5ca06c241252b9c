#include "assets_noise.h"

#include <math.h>

namespace assets {

uint32_t Hash(uint32_t x) {
    // A well-mixed 32-bit integer hash (xor-shift-multiply rounds).
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

uint32_t Rng::Next() {
    state = state * 747796405u + 2891336453u;
    return Hash(state);
}

float Rng::Uniform() {
    return float(Next() >> 8) * (1.0f / 16777216.0f);
}

float Rng::Bipolar() {
    return Uniform() * 2.0f - 1.0f;
}

int Rng::Below(int bound) {
    return bound > 0 ? int(Next() % uint32_t(bound)) : 0;
}

static int Wrap(int i, int period) {
    return ((i % period) + period) % period;
}

static void Gradient(int ix, int iy, uint32_t seed, float& gx, float& gy) {
    uint32_t h = Hash(uint32_t(ix) * 73856093u ^ Hash(uint32_t(iy) * 19349663u ^ seed));
    float angle = float(h & 0xFFFF) * (6.28318530718f / 65536.0f);
    gx = cosf(angle);
    gy = sinf(angle);
}

static float Fade(float t) {
    return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}

float PeriodicNoise(float x, float y, int periodX, int periodY, uint32_t seed) {
    float fx = floorf(x), fy = floorf(y);
    int x0 = int(fx), y0 = int(fy);
    float tx = x - fx, ty = y - fy;
    float corner[4];
    for (int k = 0; k < 4; k++) {
        int dx = k & 1, dy = k >> 1;
        float gx, gy;
        Gradient(Wrap(x0 + dx, periodX), Wrap(y0 + dy, periodY), seed, gx, gy);
        corner[k] = gx * (tx - float(dx)) + gy * (ty - float(dy));
    }
    float u = Fade(tx), v = Fade(ty);
    float top = corner[0] + (corner[1] - corner[0]) * u;
    float bottom = corner[2] + (corner[3] - corner[2]) * u;
    return (top + (bottom - top) * v) * 1.41421356f;
}

float PeriodicFbm(float x, float y, int periodX, int periodY, int octaves, uint32_t seed) {
    float sum = 0.0f, amplitude = 1.0f, norm = 0.0f;
    for (int o = 0; o < octaves; o++) {
        sum += amplitude * PeriodicNoise(x, y, periodX, periodY, seed + uint32_t(o) * 1013u);
        norm += amplitude;
        amplitude *= 0.5f;
        x *= 2.0f;
        y *= 2.0f;
        periodX *= 2;
        periodY *= 2;
    }
    return sum / norm;
}

} // namespace assets
