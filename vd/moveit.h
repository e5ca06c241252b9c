// Effects that put pictures from image files on the screen: full-screen images and
// quarter-size grey sprites placed with quarter-pixel precision.
#ifndef VD_MOVEIT_H
#define VD_MOVEIT_H

#include "effect.h"

class sImageEffect : public sEffect {
public:
    sImageEffect();
    void Load(const char* fileName);
    void Remap(int low, int high);
    void Prepare(sDisplay& display) override;
    void Draw(sDisplay& display, float t) override;

    // Registered with the display by Prepare; from then on the display owns the bitmap.
    sBitmap* image;
    sTexture texture;
};

const int SPRITE_PHASES = 4;

class sSpriteEffect : public sEffect {
public:
    sSpriteEffect();
    ~sSpriteEffect() override;
    void Load(const char* fileName);
    void Draw(sDisplay& display, float t) override;

    sBitmap* image;
    sBitmap* masks[SPRITE_PHASES];
    float x, y; // right and bottom edge on screen
};

#endif
