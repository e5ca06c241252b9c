// Four floats as one value, for the stages that work on four subbands or outputs at once.
// Each lane does exactly the operations of the one-at-a-time form, so results are the same
// to the bit; GCC and Clang map the type to a vector register (SSE2 on x86-64) and split it
// into scalar operations on a target without one (the 32-bit Windows baseline).
#ifndef PRISMATEL_VEC4_H
#define PRISMATEL_VEC4_H

#include <string.h>

typedef float Vec4 __attribute__((vector_size(16)));

inline Vec4 Load4(const float* p) {
    Vec4 v;
    memcpy(&v, p, sizeof v);
    return v;
}

inline void Store4(float* p, Vec4 v) {
    memcpy(p, &v, sizeof v);
}

inline Vec4 Splat4(float f) {
    Vec4 v = {f, f, f, f};
    return v;
}

#endif
