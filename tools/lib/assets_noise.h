// Deterministic randomness for the generated data: integer hashing, a small generator,
// and gradient noise that repeats exactly over a chosen lattice (seamless textures).
#ifndef TOOLS_ASSETS_NOISE_H
#define TOOLS_ASSETS_NOISE_H

#include <stdint.h>

namespace assets {

uint32_t Hash(uint32_t x);

// The same sequence on every machine (unlike the standard distributions).
class Rng {
public:
    explicit Rng(uint32_t seed) : state(seed * 2654435761u + 0x9E3779B9u) {}
    uint32_t Next();
    float Uniform();      // 0 <= u < 1
    float Bipolar();      // -1 <= b < 1
    int Below(int bound); // 0 <= n < bound

private:
    uint32_t state;
};

// Gradient noise, about -1..1, repeating every periodX by periodY lattice cells.
float PeriodicNoise(float x, float y, int periodX, int periodY, uint32_t seed);
// Octaves of PeriodicNoise, each at twice the frequency (and twice the period in cells),
// so the sum repeats over the same area.
float PeriodicFbm(float x, float y, int periodX, int periodY, int octaves, uint32_t seed);

} // namespace assets

#endif
