// The spinning solid: a small world of its own (vectors, the turning transform, the
// perspective projection, the light) drawn through the display's 3D operations.
#ifndef PRISMATEL_SAMPLES_SPIN_H
#define PRISMATEL_SAMPLES_SPIN_H

#include "display.h"

struct sVec3 {
    float x, y, z;
};

// Where the world lands on the screen.
struct sCamera {
    float centreX, centreY; // screen centre in pixels
    float focal;            // pixels per unit at distance 1
    float distance;         // from the eye to the solid's centre
};

// The solid's pose at one moment: two rotation angles in radians.
struct sPose {
    float yaw, pitch;
};

// Pattern for the solid's faces: a 64 x 64 texture record of type TT_TEXTURE, its bitmap
// generated in code (the display deletes it when the textures are freed).
void MakePrismTexture(sTexture& record);

// Fills the whole screen with a vertical colour gradient (no texture, no depth).
void DrawBackdrop(sDisplay& display, int width, int height);

// The textured, lit cube (depth tested and written) and the translucent shell around it
// (depth tested, not written, blended by its alpha), in that order.
void DrawSolid(sDisplay& display, sTexture& texture, const sCamera& camera, const sPose& pose);

#endif
