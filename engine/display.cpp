// sDisplay: the driver-independent part of every display: the mode table and the search
// for the closest mode, colour packing for the screen's pixel kind, and the texture list.
#include "display.h"

#include "bitmap.h"

// Row: requested kind, column: offered kind. Palette kinds accept any deeper palette
// kind before a direct-colour one; direct-colour kinds prefer their own depth.
const uint8_t KindDistance[8][8] = {
    {0, 2, 1, 3, 3, 3, 4, 4}, {9, 0, 1, 3, 3, 3, 4, 4}, {9, 8, 0, 3, 3, 3, 4, 4},
    {9, 8, 7, 0, 3, 4, 5, 6}, {9, 8, 7, 3, 0, 4, 5, 6}, {9, 8, 7, 4, 3, 0, 5, 6},
    {9, 8, 7, 3, 4, 5, 0, 1}, {9, 8, 7, 3, 4, 5, 1, 0},
};

static const int DEFAULT_REFRESH_RATE = 75;

// ---- sDisplayMode ---------------------------------------------------------------------

sDisplayMode::sDisplayMode(int w, int h, int k)
    : width(w), height(h), kind(k), refreshRate(0), backBuffers(2), backBuffersWithZ(0),
      memoryLeft(0), hasZBuffer(false), has3D(false) {
    SetBitsFromKind();
}

void sDisplayMode::SetBitsFromKind() {
    ASSERT(kind >= 0 && kind < BITMAP_KINDS);
    bitsPerPixel = bitmapKindBits[kind];
}

// ---- sDisplay ---------------------------------------------------------------------------

sDisplay::sDisplay() : modes(NULL), modeCount(0), kind(0), textureCount(0) {}

sDisplay::~sDisplay() {}

int sDisplay::GetKind() {
    return kind;
}

int sDisplay::GetModeCount() {
    return modeCount;
}

sDisplayMode* sDisplay::GetMode(int i) {
    return &modes[i];
}

void sDisplay::GetDisplayMode(sDisplayMode& out) {
    out = current;
}

static bool ModeEligible(const sDisplayMode& request, const sDisplayMode& m) {
    if (request.hasZBuffer) {
        if (!m.hasZBuffer) return false;
        if (request.backBuffers != 0 && m.backBuffersWithZ == 0) return false;
    } else if (request.backBuffers != 0 && m.backBuffers == 0) {
        return false;
    }
    return m.memoryLeft >= request.memoryLeft;
}

static int Capped(int value) {
    return value > 255 ? 255 : value;
}

int ScoreMode(const sDisplayMode& request, const sDisplayMode& m) {
    int penalty = 0;
    if (request.hasZBuffer && !m.hasZBuffer) penalty += 1;
    if (request.has3D && !m.has3D) penalty += 2;
    int kindDistance = KindDistance[request.kind & 7][m.kind & 7];
    int size = 0;
    if (request.width != m.width || request.height != m.height)
        size = Capped(Abs(request.height - m.height) / 8 + Abs(request.width - m.width) / 8 + 1);
    int refresh = Capped(Abs(request.refreshRate - m.refreshRate));
    return ((penalty * 256 + kindDistance) * 256 + size) * 256 + refresh;
}

bool sDisplay::FindMode(sDisplayMode& request) {
    if (request.refreshRate == 0) request.refreshRate = DEFAULT_REFRESH_RATE;
    sDisplayMode* best = NULL;
    int bestScore = 0;
    for (int i = 0; i < GetModeCount(); i++) {
        sDisplayMode* m = GetMode(i);
        if (!ModeEligible(request, *m)) continue;
        int score = ScoreMode(request, *m);
        if (!best || score < bestScore) {
            best = m;
            bestScore = score;
        }
    }
    if (!best) return false;
    request.width = best->width;
    request.height = best->height;
    request.kind = best->kind;
    request.refreshRate = best->refreshRate;
    request.memoryLeft = best->memoryLeft;
    request.bitsPerPixel = best->bitsPerPixel;
    request.backBuffers = Min(request.backBuffers, best->backBuffers);
    return true;
}

// ---- colour packing ------------------------------------------------------------------------

unsigned sDisplay::ColorToIndex(const sColor& c) {
    return ColorToIndex(c.r, c.g, c.b, c.a);
}

unsigned sDisplay::ColorToIndex(int r, int g, int b, int a) {
    unsigned ur = (unsigned)r, ug = (unsigned)g, ub = (unsigned)b, ua = (unsigned)a;
    switch (kind) {
    case BK_MONO:
    case BK_INDEX4:
    case BK_INDEX8: return ur; // the palette index travels in the red argument
    case BK_0565: return (ur & 0xF8) << 8 | (ug & 0xFC) << 3 | ub >> 3;
    case BK_1555: return (ua & 0x80) << 8 | (ur & 0xF8) << 7 | (ug & 0xF8) << 2 | ub >> 3;
    case BK_4444: return (ua & 0xF0) << 8 | (ur & 0xF0) << 4 | (ug & 0xF0) | ub >> 4;
    case BK_0888: return ur << 16 | ug << 8 | ub;
    case BK_8888: return ua << 24 | ur << 16 | ug << 8 | ub;
    }
    Fatal("sDisplay::ColorToIndex() unknown bitmap kind");
}

static uint8_t Nibble(unsigned raw, int shift) {
    return (uint8_t)(((raw >> shift) & 0xF) * 17);
}

void sDisplay::IndexToColor(unsigned raw, sColor& out) {
    switch (kind) {
    case BK_MONO:
    case BK_INDEX4:
    case BK_INDEX8: return;
    case BK_0565:
        out.r = (uint8_t)((raw >> 8) & 0xF8);
        out.g = (uint8_t)((raw >> 3) & 0xFC);
        out.b = (uint8_t)((raw << 3) & 0xFF);
        out.a = 255;
        return;
    case BK_1555:
        out.r = (uint8_t)((raw >> 7) & 0xF8);
        out.g = (uint8_t)((raw >> 2) & 0xF8);
        out.b = (uint8_t)((raw << 3) & 0xFF);
        out.a = (raw & 0x8000) ? 255 : 0;
        return;
    case BK_4444:
        out.r = Nibble(raw, 8);
        out.g = Nibble(raw, 4);
        out.b = Nibble(raw, 0);
        out.a = Nibble(raw, 12);
        return;
    case BK_0888:
    case BK_8888:
        out.r = (uint8_t)(raw >> 16);
        out.g = (uint8_t)(raw >> 8);
        out.b = (uint8_t)raw;
        if (kind == BK_8888) out.a = (uint8_t)(raw >> 24);
        return;
    }
    Fatal("sDisplay::IndexToColor() unknown bitmap kind");
}

// ---- textures ---------------------------------------------------------------------------

// The list has room for MAX_TEXTURES; registering more is a caller's error and stops
// the program instead of writing past the list.
int sDisplay::AddTexture(sTexture* t) {
    ASSERT(textureCount < MAX_TEXTURES);
    textures[textureCount++] = t;
    return textureCount;
}

void sDisplay::RemoveTexture(sTexture* t) {
    int i = 0;
    while (i < textureCount && textures[i] != t) i++;
    ASSERT(i < textureCount);
    textures[i] = textures[--textureCount];
}

int sDisplay::GetTextureCount() {
    return textureCount;
}

sTexture* sDisplay::GetTexture(int i) {
    ASSERT(i >= 0 && i < textureCount);
    return textures[i];
}

// ---- rectangle overloads ------------------------------------------------------------------

void sDisplay::FillRect(unsigned raw, const sRect& r) {
    FillRect(raw, r.x0, r.y0, r.x1, r.y1);
}

void sDisplay::FrameRect(unsigned raw, const sRect& r) {
    FrameRect(raw, r.x0, r.y0, r.x1, r.y1);
}
