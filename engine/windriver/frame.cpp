// The frame cycle: the pointer drawn over each finished frame and taken off again, the
// flip, and the palette handed over during the frame.
#include "windriver/windriver.h"

void sWinDriver::SetPalette(const sColor* colors) {
    MemCopy(paletteColors, colors, sizeof paletteColors);
    palettePending = true;
}

int sWinDriver::GetBufferIndex() {
    return bufferIndex;
}

void sWinDriver::SetMouse(bool visible, int x, int y) {
    mouseVisible = visible;
    mouseX = x;
    mouseY = y;
}

void sWinDriver::BeginFrame(void* mustBeNull) {
    ASSERT(mustBeNull == NULL);
    clipOn = false;
    RestorePointerBackground();
}

void sWinDriver::EndFrame() {
    ASSERT(primary != NULL);
    UnlockBack();
    if (mouseVisible) DrawPointer();
    primary->Flip(NULL, DDFLIP_WAIT);
    ApplyPendingPalette();
    bufferIndex = (bufferIndex + 1) % (current.backBuffers + 1);
    // The next frame starts on an unlocked back buffer, restored if it had been lost.
    if (!LockBack()) return;
    UnlockBack();
}

// A palette reaches the screen only in a palette mode; elsewhere it waits for one.
void sWinDriver::ApplyPendingPalette() {
    if (!palettePending || kind != BK_INDEX8) return;
    PALETTEENTRY entries[256];
    for (int i = 0; i < 256; i++) {
        entries[i].peRed = paletteColors[i].r;
        entries[i].peGreen = paletteColors[i].g;
        entries[i].peBlue = paletteColors[i].b;
        entries[i].peFlags = 0;
    }
    if (palette) palette->Release();
    palette = NULL;
    if (SUCCEEDED(
            directDraw2->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, NULL)))
        primary->SetPalette(palette);
    palettePending = false;
}
