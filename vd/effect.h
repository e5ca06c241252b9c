// sEffect and the show's drawing effects: warp panel, shaded rectangle, palette fade
// and growing frame, with the palette and shade table they share.
#ifndef VD_EFFECT_H
#define VD_EFFECT_H

#include "display.h"
#include "bitmap.h"

class sEffect {
public:
    sEffect() : windowMask(0) {}
    virtual ~sEffect() {}
    virtual void Draw(sDisplay& display, float t) = 0;
    virtual void Prepare(sDisplay& display) { (void)display; }

    uint32_t windowMask;
};

extern sColor demoPalette[256];
extern bool paletteDirty;
// Palette index -> grey level 0..16 (an index of the grey ramp).
extern uint8_t shadeTable[256];
extern sBitmap* warpImageA;
extern sBitmap* warpImageB;

// A black rectangle with anti-aliased edges, drawn into the back buffer.
void ShadeRectangle(sDisplay& display, float x0, float y0, float x1, float y1);

class sWarpEffect : public sEffect {
public:
    sWarpEffect();
    void Draw(sDisplay& display, float t) override;

    int randomBits;
    float x0, y0, x1, y1;
};

class sShadeRectEffect : public sEffect {
public:
    void Draw(sDisplay& display, float t) override;

    float x0 = 0.0f, y0 = 0.0f, x1 = 640.0f, y1 = 480.0f;
};

class sPaletteFadeEffect : public sEffect {
public:
    void Draw(sDisplay& display, float t) override;

    float lastLevel = -1.0f;
    float level = 1.0f;
    float first = 0.0f, last = 16.0f;
    float colorA[3] = {0.0f, 0.0f, 0.0f};
    float colorB[3] = {255.0f, 255.0f, 255.0f};
    float fade[3] = {0.0f, 0.0f, 0.0f};
};

class sFrameEffect : public sEffect {
public:
    void Draw(sDisplay& display, float t) override;

    float x0 = 100.0f, y0 = 100.0f, x1 = 300.0f, y1 = 300.0f;
    float grow = 1.0f;
};

#endif
