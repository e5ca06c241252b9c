// The simulated video card: defaults, video memory, injected failures and the screen.
#include "video_card.h"

#include "host/host.h"
#include "machine.h"
#include "pixels.h"

#include <string.h>

#include <mutex>
#include <vector>

namespace video {
namespace {

struct CardState {
    CardSpec card;
    DWORD used = 0;
    int failuresLeft = 0;
    HRESULT failure = DD_OK;
    std::vector<std::function<void()>> memoryLostListeners;
    std::function<bool(ScanOut*)> scanOutSource;
    int64_t framesPresented = 0;
};

CardState& State() {
    static CardState* state = [] {
        CardState* s = new CardState;
        s->card = DefaultCard();
        machine::AddResetHook([] { ResetForTest(); });
        return s;
    }();
    return *state;
}

DDPIXELFORMAT RgbFormat(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof(f);
    f.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
}

const GUID halGuid = {0x84E63DE0, 0x46AA, 0x11CF, {0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20, 0x15, 0x6E}};
const GUID rgbGuid = {0xA4665C60, 0x2673, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
const GUID rampGuid = {
    0xF2086B20, 0x259F, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};

D3DDEVICEDESC BaseDesc() {
    D3DDEVICEDESC d = {};
    d.dwSize = sizeof(d);
    d.dwFlags = D3DDD_COLORMODEL | D3DDD_DEVCAPS | D3DDD_TRICAPS | D3DDD_DEVICERENDERBITDEPTH |
                D3DDD_DEVICEZBUFFERBITDEPTH;
    d.dwDevCaps =
        D3DDEVCAPS_FLOATTLVERTEX | D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY;
    d.dpcTriCaps.dwSize = sizeof(D3DPRIMCAPS);
    d.dpcTriCaps.dwShadeCaps = D3DPSHADECAPS_COLORFLATRGB | D3DPSHADECAPS_COLORGOURAUDRGB;
    d.dpcTriCaps.dwTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE;
    d.dpcTriCaps.dwTextureFilterCaps = D3DPTFILTERCAPS_NEAREST | D3DPTFILTERCAPS_LINEAR;
    d.dpcTriCaps.dwTextureBlendCaps = D3DPTBLENDCAPS_DECAL | D3DPTBLENDCAPS_MODULATE;
    d.dpcTriCaps.dwZCmpCaps = D3DPCMPCAPS_ALWAYS | D3DPCMPCAPS_GREATEREQUAL;
    d.dpcTriCaps.dwSrcBlendCaps = D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCALPHA;
    d.dpcTriCaps.dwDestBlendCaps =
        D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_INVSRCALPHA;
    d.dpcLineCaps = d.dpcTriCaps;
    d.dwDeviceRenderBitDepth = DDBD_8 | DDBD_16 | DDBD_32;
    d.dwMaxVertexCount = 65535;
    d.dwMinTextureWidth = d.dwMinTextureHeight = 1;
    d.dwMaxTextureWidth = d.dwMaxTextureHeight = 1024;
    return d;
}

ModeSpec Mode(DWORD w, DWORD h, const DDPIXELFORMAT& f) {
    return ModeSpec{w, h, f, 60};
}

int BytesPerPixel(const DDPIXELFORMAT& f) {
    return (int)BitsOf(f) / 8;
}

} // namespace

DDPIXELFORMAT Index8Format() {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof(f);
    f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
    f.dwRGBBitCount = 8;
    return f;
}
DDPIXELFORMAT Rgb565Format() {
    return RgbFormat(16, 0xF800, 0x07E0, 0x001F, 0);
}
DDPIXELFORMAT Rgb555Format() {
    return RgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0);
}
DDPIXELFORMAT Argb1555Format() {
    return RgbFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000);
}
DDPIXELFORMAT Argb4444Format() {
    return RgbFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000);
}
DDPIXELFORMAT Rgb888Format() {
    return RgbFormat(24, 0xFF0000, 0xFF00, 0xFF, 0);
}
DDPIXELFORMAT Xrgb8888Format() {
    return RgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0);
}
DDPIXELFORMAT Argb8888Format() {
    return RgbFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
}
DDPIXELFORMAT YuyvFormat() {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof(f);
    f.dwFlags = DDPF_FOURCC | DDPF_YUV;
    f.dwFourCC = 0x56595559; // "YUYV"
    f.dwYUVBitCount = 16;
    return f;
}

D3DDEVICEDESC HalDeviceDesc() {
    D3DDEVICEDESC d = BaseDesc();
    d.dcmColorModel = D3DCOLOR_RGB;
    // The accelerator draws into 16- and 32-bit screens only; Direct3D's own emulation
    // devices also draw into 8-bit palettised ones.
    d.dwDeviceRenderBitDepth = DDBD_16 | DDBD_32;
    d.dwDevCaps |= D3DDEVCAPS_TEXTUREVIDEOMEMORY;
    d.dwDeviceZBufferBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
    return d;
}

D3DDEVICEDESC SoftwareDeviceDesc(D3DCOLORMODEL model) {
    D3DDEVICEDESC d = BaseDesc();
    d.dcmColorModel = model;
    d.dwDevCaps |= D3DDEVCAPS_TEXTURESYSTEMMEMORY;
    d.dwDeviceZBufferBitDepth = DDBD_16;
    return d;
}

CardSpec DefaultCard() {
    CardSpec c;
    const DWORD sizes[4][2] = {{320, 200}, {640, 480}, {800, 600}, {1024, 768}};
    const DDPIXELFORMAT formats[3] = {Index8Format(), Rgb565Format(), Xrgb8888Format()};
    // Only RGB and palette modes: display modes in a YUV format are a quirk a test sets up
    // (its card lists one), not something a desktop card of 1998 offered.
    for (const auto& s : sizes)
        for (const auto& f : formats) c.modes.push_back(Mode(s[0], s[1], f));
    c.videoMemory = 8 * 1024 * 1024;
    D3DDEVICEDESC none = {};
    none.dwSize = sizeof(none);
    c.devices.push_back(DeviceSpec{rampGuid, "Microsoft Direct3D Mono(Ramp) Software Emulation",
                                   "Ramp Emulation", none, SoftwareDeviceDesc(D3DCOLOR_MONO)});
    c.devices.push_back(DeviceSpec{rgbGuid, "Microsoft Direct3D RGB Software Emulation",
                                   "RGB Emulation", none, SoftwareDeviceDesc(D3DCOLOR_RGB)});
    c.devices.push_back(
        DeviceSpec{halGuid, "Prismatel 3D Accelerator", "Direct3D HAL", HalDeviceDesc(), none});
    c.textureFormats = {Argb1555Format(), Argb4444Format(), Rgb565Format(), Argb8888Format(),
                        Index8Format()};
    return c;
}

const CardSpec& Card() {
    return State().card;
}

void SetCard(const CardSpec& card) {
    State().card = card;
    State().used = 0;
    for (auto& listener : State().memoryLostListeners) listener();
}

DWORD VideoMemoryUsed() {
    return State().used;
}
DWORD VideoMemoryFree() {
    CardState& s = State();
    return s.used >= s.card.videoMemory ? 0 : s.card.videoMemory - s.used;
}

bool ChargeVideoMemory(DWORD bytes) {
    if (bytes > VideoMemoryFree()) return false;
    State().used += bytes;
    return true;
}

void ReturnVideoMemory(DWORD bytes) {
    CardState& s = State();
    s.used = bytes > s.used ? 0 : s.used - bytes;
}

void AddVideoMemoryLostListener(std::function<void()> listener) {
    State().memoryLostListeners.push_back(std::move(listener));
}

void FailSurfaceCreations(int count, HRESULT error) {
    State().failuresLeft = count;
    State().failure = error;
}

HRESULT TakeSurfaceCreationFailure() {
    CardState& s = State();
    if (s.failuresLeft <= 0) return DD_OK;
    s.failuresLeft--;
    return s.failure;
}

void ConvertRow(const uint8_t* row, int width, const DDPIXELFORMAT& format,
                const PALETTEENTRY* palette, uint32_t* out) {
    if (format.dwFlags & DDPF_PALETTEINDEXED8) {
        for (int x = 0; x < width; x++) {
            const PALETTEENTRY& p = palette[row[x]];
            out[x] = (uint32_t)p.peRed << 16 | (uint32_t)p.peGreen << 8 | p.peBlue;
        }
        return;
    }
    int bytes = (format.dwFlags & DDPF_RGB) ? BytesPerPixel(format) : 0;
    if (bytes < 2 || bytes > 4) {
        memset(out, 0, sizeof(uint32_t) * width);
        return;
    }
    Channel r = ChannelOf(format.dwRBitMask), g = ChannelOf(format.dwGBitMask),
            b = ChannelOf(format.dwBBitMask);
    for (int x = 0; x < width; x++) {
        uint32_t v = LoadPixel(row + x * bytes, bytes);
        out[x] = Widen(v, r) << 16 | Widen(v, g) << 8 | Widen(v, b);
    }
}

void ConvertFrame(const uint8_t* pixels, long pitch, int width, int height,
                  const DDPIXELFORMAT& format, const PALETTEENTRY* palette, uint32_t* out) {
    if (!(format.dwFlags & DDPF_PALETTEINDEXED8)) {
        for (int y = 0; y < height; y++)
            ConvertRow(pixels + (size_t)y * pitch, width, format, palette, out + (size_t)y * width);
        return;
    }
    // One lookup per pixel: the palette turned into screen colours once per frame.
    uint32_t colours[256];
    for (int i = 0; i < 256; i++)
        colours[i] = (uint32_t)palette[i].peRed << 16 | (uint32_t)palette[i].peGreen << 8 |
                     palette[i].peBlue;
    for (int y = 0; y < height; y++) {
        const uint8_t* row = pixels + (size_t)y * pitch;
        uint32_t* dst = out + (size_t)y * width;
        for (int x = 0; x < width; x++) dst[x] = colours[row[x]];
    }
}

void SetScanOutSource(std::function<bool(ScanOut*)> source) {
    State().scanOutSource = std::move(source);
}

void ShowFrame(const ScanOut& picture, int64_t frame) {
    static const PALETTEENTRY black[256] = {};
    static std::vector<uint32_t>& rgb = *new std::vector<uint32_t>; // outlives exit handlers
    rgb.resize((size_t)picture.width * picture.height);
    ConvertFrame(picture.memory, picture.pitch, picture.width, picture.height, picture.format,
                 picture.palette ? picture.palette : black, rgb.data());
    host::Current().frames->Show(rgb.data(), picture.width, picture.height, frame);
    State().framesPresented++;
}

Screen ReadScreen() {
    Screen screen;
    ScanOut picture;
    CardState& s = State();
    if (!s.scanOutSource || !s.scanOutSource(&picture)) return screen;
    screen.width = picture.width;
    screen.height = picture.height;
    screen.format = picture.format;
    screen.bitsPerPixel = (int)BitsOf(picture.format);
    int rowBytes = screen.width * screen.bitsPerPixel / 8;
    screen.pixels.resize((size_t)rowBytes * screen.height);
    if (picture.palette) {
        memcpy(screen.palette, picture.palette, sizeof(screen.palette));
        screen.hasPalette = true;
    }
    screen.rgb.resize((size_t)screen.width * screen.height);
    for (int y = 0; y < screen.height; y++) {
        const uint8_t* row = picture.memory + (size_t)y * picture.pitch;
        memcpy(&screen.pixels[(size_t)y * rowBytes], row, rowBytes);
        ConvertRow(row, screen.width, screen.format, screen.palette,
                   &screen.rgb[(size_t)y * screen.width]);
    }
    return screen;
}

int64_t FramesPresented() {
    return State().framesPresented;
}

void ResetForTest() {
    CardState& s = State();
    s.card = DefaultCard();
    s.failuresLeft = 0;
    s.failure = DD_OK;
    s.used = 0;
    s.framesPresented = 0;
}

} // namespace video
