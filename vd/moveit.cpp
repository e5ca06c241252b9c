#include "moveit.h"

// ---- sImageEffect ----------------------------------------------------------------------

sImageEffect::sImageEffect() : image(nullptr) {
    MemFill(&texture, 0, sizeof(texture));
}

void sImageEffect::Load(const char* fileName) {
    image = new sBitmap;
    image->Load(fileName);
    ASSERT(image->kind == BK_INDEX8);
}

void sImageEffect::Remap(int low, int high) {
    ASSERT(image != nullptr);
    image->RemapToRange(low, high);
}

void sImageEffect::Prepare(sDisplay& display) {
    texture.bitmap = image;
    texture.fileName = nullptr;
    texture.tag = -1;
    texture.type = TT_IMAGE;
    texture.flag0 = false;
    texture.flag1 = false;
    display.AddTexture(&texture);
}

void sImageEffect::Draw(sDisplay& display, float) {
    ASSERT(image != nullptr);
    sBlitRect r = {0, 0, 0, 0, image->width, image->height};
    display.Blit(&texture, r);
}

// ---- sSpriteEffect ---------------------------------------------------------------------

sSpriteEffect::sSpriteEffect() : image(nullptr), x(320.0f), y(240.0f) {
    for (auto& m : masks) m = nullptr;
}

sSpriteEffect::~sSpriteEffect() {
    delete image;
    for (auto* m : masks) delete m;
}

// Darkness of every pixel from its palette entry's red: 8 for black, 0 for white.
static void ConvertToDarkness(sBitmap& image) {
    for (int y = 0; y < image.height; y++) {
        uint8_t* row = image.PixelAddress(0, y, 0);
        for (int x = 0; x < image.width; x++)
            row[x] = (uint8_t)(((255 - image.palette[row[x]].r) * 8) / 255);
    }
}

// The 4:1 reduction of the darkness image shifted right by phase image pixels, as grey
// levels 0 (black) .. 16 (white).
static sBitmap* BuildMask(const sBitmap& image, int phase) {
    sBitmap* mask = new sBitmap;
    mask->Create((image.width + 3) / 4 + 1, (image.height + 3) / 4, BK_INDEX8, 1);
    mask->Fill(0);
    for (int y = 0; y < image.height; y++) {
        const uint8_t* src = image.levelData[0] + y * image.levelPitch[0];
        uint8_t* dst = mask->levelData[0] + (y / 4) * mask->levelPitch[0];
        for (int x = 0; x < image.width; x++) dst[(x + phase) / 4] += src[x];
    }
    for (int y = 0; y < mask->height; y++) {
        uint8_t* row = mask->levelData[0] + y * mask->levelPitch[0];
        for (int x = 0; x < mask->width; x++) row[x] = (uint8_t)(16 - (row[x] >> 3));
    }
    return mask;
}

void sSpriteEffect::Load(const char* fileName) {
    image = new sBitmap;
    image->Load(fileName);
    ASSERT(image->kind == BK_INDEX8);
    ConvertToDarkness(*image);
    for (int i = 0; i < SPRITE_PHASES; i++) masks[i] = BuildMask(*image, i);
}

void sSpriteEffect::Draw(sDisplay& display, float) {
    sBitmap* mask = masks[(int)(x * 4.0f) & 3];
    ASSERT(mask != nullptr);
    sBlitRect r = {0,           0,           (int)(x - mask->width), (int)(y - mask->height),
                   mask->width, mask->height};
    sRect clip = {0, 0, 640, 480};
    if (ClipBlitRect(r, clip, mask->width, mask->height)) display.BlitBitmap(mask, r);
}
