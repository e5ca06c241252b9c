// DirectDraw and Direct3D start-up and release, the screen formats the driver knows, and
// the driver's constructor with its mode table and video-memory budget.
#include "windriver/windriver.h"

#include <string.h>

IDirectDraw* directDraw;
IDirectDraw2* directDraw2;
IDirect3D2* direct3D;
IDirect3DDevice2* device3D;
IDirect3DViewport2* viewport;
IDirect3DMaterial2* frontMaterial;
D3DMATERIALHANDLE frontMaterialHandle;
IDirect3DMaterial2* backMaterial;
D3DMATERIALHANDLE backMaterialHandle;
IDirectDrawPalette* palette;
bool deviceFound;
D3DDEVICEDESC hardwareDesc;
D3DDEVICEDESC emulationDesc;
D3DDEVICEDESC chosenDesc;
GUID deviceGuid;
const char* deviceName;
sTextureFormat textureFormats[BITMAP_KINDS];
sWinDriver* theDisplay;

// The budget always assumes an 8 MB card, whatever the card reports.
static const uint32_t ASSUMED_VIDEO_MEMORY = 0x800000;
static const int BUDGET_GRANULE = 1024;

// ---- start-up ------------------------------------------------------------------------------

static HRESULT CALLBACK DeviceCallback(GUID* guid, LPSTR description, LPSTR name,
                                       LPD3DDEVICEDESC hardware, LPD3DDEVICEDESC emulation,
                                       LPVOID) {
    DebugPrint("d3d device <%s> <%s>\n", description, name);
    bool isHardware = hardware->dcmColorModel != 0;
    const D3DDEVICEDESC* standsFor = isHardware ? hardware : emulation;
    // A mono-model software device never replaces a device already taken.
    if (!isHardware && deviceFound && standsFor->dcmColorModel == D3DCOLOR_MONO)
        return D3DENUMRET_OK;
    deviceFound = true;
    hardwareDesc = *hardware;
    emulationDesc = *emulation;
    chosenDesc = *standsFor;
    deviceGuid = *guid;
    deviceName = name;
    return isHardware ? D3DENUMRET_CANCEL : D3DENUMRET_OK;
}

static void ClearDirectXPointers() {
    directDraw = NULL;
    directDraw2 = NULL;
    direct3D = NULL;
    device3D = NULL;
    viewport = NULL;
    frontMaterial = NULL;
    backMaterial = NULL;
}

void StartDirectDraw() {
    ClearDirectXPointers();
    frontMaterialHandle = 0;
    backMaterialHandle = 0;
    CoInitialize(NULL);
    if (FAILED(DirectDrawCreate(NULL, &directDraw, NULL)))
        FatalBox("No Direct Draw V5.0 or later installed!");
    if (FAILED(directDraw->SetCooperativeLevel(mainWindow, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN)))
        FatalBox("Could not get exclusive Direct Draw access");
    if (FAILED(directDraw->QueryInterface(IID_IDirectDraw2, (void**)&directDraw2)))
        FatalBox("No Direct Draw V5.0 or later installed!");
    if (FAILED(directDraw2->QueryInterface(IID_IDirect3D2, (void**)&direct3D)))
        FatalBox("No Direct 3D found");
    deviceFound = false;
    direct3D->EnumDevices(DeviceCallback, NULL);
    DebugPrint("d3d selected <%s>\n", deviceName ? deviceName : "(none)");
    DebugPrint("Info:\n");
    DebugPrint("Window %08x\ndd1 %08x\ndd2 %08x\nd3d %08x\n",
               (unsigned)(uintptr_t)mainWindow.load(), (unsigned)(uintptr_t)directDraw,
               (unsigned)(uintptr_t)directDraw2, (unsigned)(uintptr_t)direct3D);
}

template <class T> static void ReleaseIfSet(T* object) {
    if (object) object->Release();
}

void ReleaseDirectDraw() {
    ReleaseIfSet(viewport);
    ReleaseIfSet(frontMaterial);
    ReleaseIfSet(backMaterial);
    ReleaseIfSet(device3D);
    ReleaseIfSet(direct3D);
    ReleaseIfSet(directDraw2);
    if (directDraw) {
        directDraw->SetCooperativeLevel(mainWindow, DDSCL_NORMAL);
        directDraw->Release();
    }
    ClearDirectXPointers();
}

// ---- screen formats --------------------------------------------------------------------------

// The RGB kinds as DirectDraw lays them out. No screen is 4444; a screen's alpha bits, where
// it has any, are not looked at.
struct sKindLayout {
    int kind;
    DWORD bits, r, g, b, a;
    bool screen;
};
static const sKindLayout kindLayouts[] = {
    {BK_0565, 16, 0xF800, 0x07E0, 0x001F, 0, true},
    {BK_1555, 16, 0x7C00, 0x03E0, 0x001F, 0x8000, true},
    {BK_4444, 16, 0x0F00, 0x00F0, 0x000F, 0xF000, false},
    {BK_0888, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0, true},
    {BK_8888, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000, true},
};

static bool Matches(const DDPIXELFORMAT& pf, const sKindLayout& l, FormatUse use) {
    if (pf.dwRGBBitCount != l.bits || pf.dwRBitMask != l.r || pf.dwGBitMask != l.g ||
        pf.dwBBitMask != l.b)
        return false;
    if (use == FU_SCREEN) return l.screen;
    // A texture with alpha pixels is one of the alpha kinds, alpha mask and all.
    if (pf.dwFlags & DDPF_ALPHAPIXELS) return l.a != 0 && pf.dwRGBAlphaBitMask == l.a;
    return l.a == 0;
}

int PixelKindOf(const DDPIXELFORMAT& pf, FormatUse use) {
    if (pf.dwFlags & DDPF_PALETTEINDEXED1) return BK_MONO;
    // No kind has two-bit palettes: such a texture format is passed over.
    if (use == FU_TEXTURE && (pf.dwFlags & DDPF_PALETTEINDEXED2)) return -1;
    if (pf.dwFlags & DDPF_PALETTEINDEXED4) return BK_INDEX4;
    if (pf.dwFlags & DDPF_PALETTEINDEXED8) return BK_INDEX8;
    if (!(pf.dwFlags & DDPF_RGB)) return -1;
    for (const sKindLayout& l : kindLayouts)
        if (Matches(pf, l, use)) return l.kind;
    return -1;
}

int ClassifyPixelFormat(const DDPIXELFORMAT& pf) {
    int kind = PixelKindOf(pf, FU_SCREEN);
    if (kind >= 0) return kind;
    DebugPrint("\nUnknown Displayformat:%08x %02d : %08x %08x %08x", pf.dwFlags, pf.dwRGBBitCount,
               pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask);
    return -1;
}

// ---- the mode table ------------------------------------------------------------------------

struct sModeListing {
    sWinDriver* driver;
    int filled; // entries written so far; counting pass when the table is not there yet
};

static HRESULT CALLBACK CountMode(LPDDSURFACEDESC desc, LPVOID context) {
    sModeListing* listing = (sModeListing*)context;
    if (ClassifyPixelFormat(desc->ddpfPixelFormat) >= 0) listing->filled++;
    return DDENUMRET_OK;
}

static HRESULT CALLBACK FillMode(LPDDSURFACEDESC desc, LPVOID context) {
    sModeListing* listing = (sModeListing*)context;
    int kind = ClassifyPixelFormat(desc->ddpfPixelFormat);
    sWinDriver* d = listing->driver;
    if (kind < 0 || listing->filled >= d->modeCount) return DDENUMRET_OK;
    sDisplayMode& m = d->modes[listing->filled++];
    m = sDisplayMode((int)desc->dwWidth, (int)desc->dwHeight, kind);
    m.hasZBuffer = true;
    m.has3D = direct3D != NULL;
    return DDENUMRET_OK;
}

// How many buffers of this mode fit into the assumed video memory, front buffer first.
static void BudgetMode(sDisplayMode& m, uint32_t videoMemory) {
    m.SetBitsFromKind();
    int64_t frame = AlignUp(m.width * m.height * m.bitsPerPixel / 8, BUDGET_GRANULE);
    int64_t z = AlignUp(m.width * m.height * 2, BUDGET_GRANULE);
    m.backBuffers = 0;
    m.backBuffersWithZ = 0;
    m.hasZBuffer = false;
    int64_t left = (int64_t)videoMemory - frame;
    if (left > frame) {
        left -= frame;
        m.backBuffers = 1;
        m.backBuffersWithZ = 1;
        if (left > frame) m.backBuffers = 2;
    }
    if (left > z) {
        left -= z;
        m.hasZBuffer = true;
    }
    if (left > frame) {
        left -= frame;
        m.backBuffersWithZ += 1;
    }
    m.memoryLeft = (int32_t)left;
    m.has3D = direct3D != NULL;
    DebugPrint("Mode %04d x %04d, %02d (%s), %03d Hz, %d backbuffers, %5d kytes left%s\n", m.width,
               m.height, m.bitsPerPixel, bitmapKindName[m.kind], m.refreshRate, m.backBuffers,
               m.memoryLeft / 1024, m.hasZBuffer ? ", ZBuffer" : "");
}

void sWinDriver::ListModes() {
    sModeListing listing = {this, 0};
    directDraw2->EnumDisplayModes(0, NULL, &listing, CountMode);
    modeCount = listing.filled;
    modes = modeCount > 0 ? new sDisplayMode[modeCount] : NULL;
    listing.filled = 0;
    directDraw2->EnumDisplayModes(0, NULL, &listing, FillMode);
    modeCount = listing.filled; // the card may offer fewer modes the second time
    for (int i = 0; i < modeCount; i++) BudgetMode(modes[i], videoMemory);
}

// ---- the driver's construction ----------------------------------------------------------------

sWinDriver::sWinDriver()
    : primary(NULL), back(NULL), zBuffer(NULL), locked(false), bufferIndex(0),
      palettePending(false), mouseVisible(false), mouseX(0), mouseY(0), pointerImage(NULL),
      vertices(NULL), vertexCount(0), currentTexture(0), renderMode(0), clipOn(false) {
    modes = NULL;
    palette = NULL;
    for (int i = 0; i < MAX_CHAIN_BUFFERS; i++) {
        saveUnder[i] = NULL;
        saved[i] = false;
    }
    StrCopyN(name, "Primary Display", sizeof name);
    priority = 10;
    DDSCAPS caps;
    caps.dwCaps = DDSCAPS_VIDEOMEMORY;
    DWORD total = 0, free = 0;
    if (FAILED(directDraw2->GetAvailableVidMem(&caps, &total, &free)))
        Fatal("could not determine video memory size");
    videoMemory = ASSUMED_VIDEO_MEMORY;
    ListModes();
    memset(&fillFx, 0, sizeof fillFx);
    fillFx.dwSize = sizeof fillFx;
    memset(&lockDesc, 0, sizeof lockDesc);
    lockDesc.dwSize = sizeof lockDesc;
    RegisterDevice(DK_DISPLAY, this);
    theDisplay = this;
}
