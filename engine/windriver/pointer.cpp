// The mouse pointer: a 16 x 16 arrow in a system-memory surface, drawn into the back
// buffer at the end of a frame over a saved copy of what it covers, one per buffer.
#include "windriver/windriver.h"

#include <string.h>

static const int POINTER_SIZE = 16;

// '1' white, '2' outline, '0' transparent; the terminating zero is the 16th pixel.
static const char pointerRows[POINTER_SIZE][POINTER_SIZE] = {
    "222222220000000", "211111120000000", "211111200000000", "211112000000000",
    "211111200000000", "211211120000000", "212021112000000", "220002111200000",
    "000000212000000", "000000020000000", "000000000000000", "000000000000000",
    "000000000000000", "000000000000000", "000000000000000", "000000000000000",
};

static IDirectDrawSurface* CreatePointerSurface() {
    DDSURFACEDESC desc;
    memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = POINTER_SIZE;
    desc.dwHeight = POINTER_SIZE;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface* surface = NULL;
    HRESULT hr = directDraw2->CreateSurface(&desc, &surface, NULL);
    ASSERT(SUCCEEDED(hr));
    return surface;
}

static void StorePixel(uint8_t* p, int bitsPerPixel, uint32_t value) {
    for (int i = 0; i < bitsPerPixel / 8; i++) p[i] = (uint8_t)(value >> (8 * i));
}

void sWinDriver::ReleasePointer() {
    for (int i = 0; i < MAX_CHAIN_BUFFERS; i++) {
        if (saveUnder[i]) saveUnder[i]->Release();
        saveUnder[i] = NULL;
    }
    if (pointerImage) pointerImage->Release();
    pointerImage = NULL;
}

void sWinDriver::SetUpPointer() {
    ReleasePointer();
    pointerImage = CreatePointerSurface();
    for (int i = 0; i < MAX_CHAIN_BUFFERS; i++) {
        saveUnder[i] = CreatePointerSurface();
        // New save-under surfaces hold nothing worth putting back.
        saved[i] = false;
    }
    // The arrow in the screen's own format: white and a dark outline, 0 transparent.
    uint32_t white = ColorToIndex(255, 255, 255, 255);
    uint32_t outline = ColorToIndex(0, 0, 8, 255);
    if (kind <= BK_INDEX8) {
        white = 255;
        outline = 1;
    }
    DDSURFACEDESC desc;
    memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    if (SUCCEEDED(pointerImage->Lock(NULL, &desc, DDLOCK_WAIT, NULL))) {
        for (int y = 0; y < POINTER_SIZE; y++) {
            uint8_t* row = (uint8_t*)desc.lpSurface + y * desc.lPitch;
            for (int x = 0; x < POINTER_SIZE; x++) {
                char c = pointerRows[y][x];
                uint32_t v = c == '1' ? white : c == '2' ? outline : 0;
                StorePixel(row + x * current.bitsPerPixel / 8, current.bitsPerPixel, v);
            }
        }
        pointerImage->Unlock(NULL);
    }
    DDCOLORKEY key;
    key.dwColorSpaceLowValue = 0;
    key.dwColorSpaceHighValue = 0;
    pointerImage->SetColorKey(DDCKEY_SRCBLT, &key);
}

void sWinDriver::DrawPointer() {
    int i = GetBufferIndex();
    sRect& r = saveRect[i];
    r.x0 = mouseX;
    r.y0 = mouseY;
    r.x1 = Min(mouseX + POINTER_SIZE, current.width);
    r.y1 = Min(mouseY + POINTER_SIZE, current.height);
    if (r.x1 <= r.x0 || r.y1 <= r.y0) return;
    RECT area = {r.x0, r.y0, r.x1, r.y1};
    saveUnder[i]->BltFast(0, 0, back, &area, DDBLTFAST_WAIT);
    RECT image = {0, 0, r.x1 - r.x0, r.y1 - r.y0};
    back->BltFast((DWORD)mouseX, (DWORD)mouseY, pointerImage, &image,
                  DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
    saved[i] = true;
}

void sWinDriver::RestorePointerBackground() {
    int i = GetBufferIndex();
    if (!saved[i]) return;
    const sRect& r = saveRect[i];
    RECT area = {0, 0, r.x1 - r.x0, r.y1 - r.y0};
    back->BltFast((DWORD)r.x0, (DWORD)r.y0, saveUnder[i], &area, DDBLTFAST_WAIT);
    saved[i] = false;
}
