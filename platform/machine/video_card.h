// The simulated video card behind DirectDraw and Direct3D: the modes, video memory and
// 3D devices it offers, the picture it sends to the host's screen, and the hooks tests use
// to change it and to look at its screen.
#ifndef PRISMATEL_MACHINE_VIDEO_CARD_H
#define PRISMATEL_MACHINE_VIDEO_CARD_H

#include <ddraw.h>
#include <d3d.h>

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

namespace video {

struct ModeSpec {
    DWORD width;
    DWORD height;
    DDPIXELFORMAT format;
    DWORD refreshRate;
};

struct DeviceSpec {
    GUID guid;
    std::string description;
    std::string name;
    D3DDEVICEDESC hardware; // colour model 0: a software device
    D3DDEVICEDESC emulation;
};

struct CardSpec {
    std::vector<ModeSpec> modes;
    DWORD videoMemory = 0; // bytes on the card
    bool videoMemoryQueryFails = false;
    std::vector<DeviceSpec> devices; // in enumeration order
    std::vector<DDPIXELFORMAT> textureFormats;
    int refreshRate = 60; // Hz of the presented picture
    // Start-up failures of the DirectX runtime.
    bool directDrawMissing = false;
    bool exclusiveRefused = false;
    bool directDraw2Missing = false;
    bool direct3DMissing = false;
};

// Pixel formats of the card.
DDPIXELFORMAT Index8Format();
DDPIXELFORMAT Rgb565Format();
DDPIXELFORMAT Rgb555Format();
DDPIXELFORMAT Argb1555Format();
DDPIXELFORMAT Argb4444Format();
DDPIXELFORMAT Rgb888Format();   // 24 bits
DDPIXELFORMAT Xrgb8888Format(); // 32 bits, no alpha (a screen)
DDPIXELFORMAT Argb8888Format(); // 32 bits with alpha (a texture)
DDPIXELFORMAT YuyvFormat();     // a format no engine kind matches

// A 1998 card: 320 x 200, 640 x 480, 800 x 600 and 1024 x 768 in 8, 16 (5-6-5) and 32 bits,
// 8 MB, the ramp and RGB emulation devices and one HAL device with 16-, 24-
// and 32-bit Z, and the texture formats 1555, 4444, 0565, 8888 and Index 8.
CardSpec DefaultCard();
D3DDEVICEDESC HalDeviceDesc();
D3DDEVICEDESC SoftwareDeviceDesc(D3DCOLORMODEL model);

// The card in use; changing it also empties video memory, which loses every surface there.
const CardSpec& Card();
void SetCard(const CardSpec& card);

// ---- video memory ------------------------------------------------------------------

DWORD VideoMemoryFree();
DWORD VideoMemoryUsed();
bool ChargeVideoMemory(DWORD bytes);
void ReturnVideoMemory(DWORD bytes);
// The display driver hears here when video memory's contents are gone (SetCard).
void AddVideoMemoryLostListener(std::function<void()> listener);

// ---- injected failures ---------------------------------------------------------------

// The next `count` surface creations fail with `error`.
void FailSurfaceCreations(int count, HRESULT error = DDERR_OUTOFVIDEOMEMORY);
// Consumes one pending failure, if any; DD_OK otherwise.
HRESULT TakeSurfaceCreationFailure();

// ---- the screen ----------------------------------------------------------------------

// The picture the card sends to the screen: the display driver's front buffer and the
// palette in force.
struct ScanOut {
    const uint8_t* memory = nullptr;
    long pitch = 0;
    int width = 0;
    int height = 0;
    DDPIXELFORMAT format = {};
    const PALETTEENTRY* palette = nullptr; // null: all black (8-bit formats)
};

// The display driver tells the card where to find the picture now; the source answers
// false when there is none (no primary surface).
void SetScanOutSource(std::function<bool(ScanOut*)> source);
// Sends a flipped frame to the host's frame sink as frame number `frame`.
void ShowFrame(const ScanOut& picture, int64_t frame);

struct Screen {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    DDPIXELFORMAT format = {};
    std::vector<uint8_t> pixels;    // rows of width * bitsPerPixel / 8 bytes, top first
    PALETTEENTRY palette[256] = {}; // the palette in force (8-bit modes)
    bool hasPalette = false;
    std::vector<uint32_t> rgb; // what the viewer sees: 0x00RRGGBB per pixel
};

// The picture now (the primary surface's front buffer with the palette attached to it);
// empty (width 0) when there is none.
Screen ReadScreen();
// Frames sent to the host's screen since the last reset.
int64_t FramesPresented();

// Turns one surface row into 0x00RRGGBB pixels by its pixel format (and palette for
// 8-bit formats); unknown formats give black.
void ConvertRow(const uint8_t* row, int width, const DDPIXELFORMAT& format,
                const PALETTEENTRY* palette, uint32_t* out);

// The same for a whole surface of `height` rows `pitch` bytes apart, into width * height
// pixels.
void ConvertFrame(const uint8_t* pixels, long pitch, int width, int height,
                  const DDPIXELFORMAT& format, const PALETTEENTRY* palette, uint32_t* out);

// Restores the default card and forgets every injected failure (also on machine reset).
void ResetForTest();

} // namespace video

#endif
