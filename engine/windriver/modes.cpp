// Switching display modes: the flipping chain, the Z-buffer and the Direct3D set-up, the
// lock discipline of the back buffer, and the driver's destructor.
#include "windriver/windriver.h"

#include <string.h>

static const int MAX_BACK_BUFFERS = 2;

// ---- the back buffer's one lock --------------------------------------------------------------

bool sWinDriver::LockBack() {
    if (locked) return true;
    if (!back) return false;
    lockDesc.dwSize = sizeof lockDesc;
    HRESULT hr = back->Lock(NULL, &lockDesc, DDLOCK_WAIT | DDLOCK_WRITEONLY, NULL);
    if (hr == DDERR_SURFACELOST) {
        back->Restore();
        hr = back->Lock(NULL, &lockDesc, DDLOCK_WAIT | DDLOCK_WRITEONLY, NULL);
    }
    if (FAILED(hr)) return false;
    locked = true;
    return true;
}

void sWinDriver::UnlockBack() {
    if (!locked) return;
    // Cleared first: the fatal end below prints, and printing unlocks again.
    locked = false;
    HRESULT hr = back->Unlock(NULL);
    if (hr == DDERR_SURFACELOST)
        back->Restore();
    else if (FAILED(hr))
        Fatal("could not unlock buffer");
}

void sWinDriver::Lock(sBitmap& out) {
    if (!LockBack()) {
        // No memory to describe: a bitmap without levels makes the caller draw nothing.
        out.CreateExternal(current.width, current.height, (BitmapKind)kind, current.bitsPerPixel,
                           0);
        return;
    }
    out.CreateExternal(current.width, current.height, (BitmapKind)kind, current.bitsPerPixel, 1);
    out.SetExternalLevel(lockDesc.lPitch, lockDesc.lpSurface, 0);
    out.SetExternalPalette(256, paletteColors);
}

void sWinDriver::Unlock() {
    UnlockBack();
}

// ---- texture formats ----------------------------------------------------------------------------

static HRESULT CALLBACK TextureFormatCallback(LPDDSURFACEDESC desc, LPVOID) {
    int kind = PixelKindOf(desc->ddpfPixelFormat, FU_TEXTURE);
    if (kind >= 0) {
        textureFormats[kind].format = desc->ddpfPixelFormat;
        textureFormats[kind].found = true;
    }
    return D3DENUMRET_OK;
}

static void FindTextureFormats() {
    for (int k = 0; k < BITMAP_KINDS; k++) textureFormats[k].found = false;
    device3D->EnumTextureFormats(TextureFormatCallback, NULL);
    DebugOutput("Texture formats found:");
    for (int k = 0; k < BITMAP_KINDS; k++) DebugOutput(textureFormats[k].found ? "1" : "0");
    DebugOutput("\n");
}

// ---- switching modes ----------------------------------------------------------------------------

template <class T> static void ReleaseAndClear(T*& object) {
    if (object) object->Release();
    object = NULL;
}

void sWinDriver::TearDownMode() {
    ReleaseAndClear(device3D);
    ReleaseAndClear(zBuffer);
    UnlockBack();
    ReleaseAndClear(back);
    ReleaseAndClear(primary);
    ReleaseAndClear(palette);
    ReleaseAndClear(frontMaterial);
    ReleaseAndClear(backMaterial);
    ReleaseAndClear(viewport);
}

static HRESULT CreateChain(IDirectDrawSurface** primary, DWORD backBuffers, DWORD memoryCaps) {
    DDSURFACEDESC desc;
    memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE | memoryCaps;
    desc.dwBackBufferCount = backBuffers;
    return directDraw2->CreateSurface(&desc, primary, NULL);
}

static void LogDirectDrawError(HRESULT hr) {
    DebugPrint("dderr %08x %d\n", (unsigned)hr, (int)(hr & 0xFFFF));
}

void sWinDriver::CreateFlippingChain(sDisplayMode& mode) {
    HRESULT hr;
    if (mode.backBuffers == 2) {
        hr = CreateChain(&primary, 2, DDSCAPS_VIDEOMEMORY);
        if (FAILED(hr)) {
            mode.backBuffers = 1;
            LogDirectDrawError(hr);
        }
    }
    if (mode.backBuffers == 1) {
        hr = CreateChain(&primary, 1, DDSCAPS_VIDEOMEMORY);
        if (FAILED(hr)) {
            mode.backBuffers = 0;
            LogDirectDrawError(hr);
        }
    }
    // Zero still means a chain with one back buffer, wherever DirectDraw can place it.
    if (mode.backBuffers == 0 && FAILED(CreateChain(&primary, 1, 0)))
        Fatal("Could not create display surfaces");
    DDSCAPS caps;
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    hr = primary->GetAttachedSurface(&caps, &back);
    if (FAILED(hr)) {
        LogDirectDrawError(hr);
        Fatal("could not get backbuffer");
    }
}

static int ZDepthOffered() {
    DWORD depths = hardwareDesc.dwDeviceZBufferBitDepth;
    if (depths & DDBD_32) return 32;
    if (depths & DDBD_24) return 24;
    if (depths & DDBD_16) return 16;
    return 0;
}

void sWinDriver::CreateZBuffer(const sDisplayMode& mode) {
    int depth = ZDepthOffered();
    if (!depth) Fatal("no z buffer");
    DDSURFACEDESC desc;
    memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_ZBUFFERBITDEPTH;
    desc.dwWidth = (DWORD)mode.width;
    desc.dwHeight = (DWORD)mode.height;
    desc.dwZBufferBitDepth = (DWORD)depth;
    desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
    if (FAILED(directDraw2->CreateSurface(&desc, &zBuffer, NULL)))
        Fatal("could not allocate Z-Buffer");
    if (FAILED(back->AddAttachedSurface(zBuffer))) Fatal("could not attach Z-Buffer");
}

static D3DCOLORVALUE Grey(float v) {
    D3DCOLORVALUE c;
    c.r = v;
    c.g = v;
    c.b = v;
    c.a = 0.0f;
    return c;
}

static D3DMATERIAL MaterialOf(float colour, float power, DWORD rampSize) {
    D3DMATERIAL m;
    memset(&m, 0, sizeof m);
    m.dwSize = sizeof m;
    m.diffuse = Grey(colour);
    m.ambient = Grey(colour);
    m.specular = Grey(colour);
    m.emissive = Grey(0.0f);
    m.power = power;
    m.hTexture = 0;
    m.dwRampSize = rampSize;
    return m;
}

static void CreateDevice3D(IDirectDrawSurface* back) {
    if (SUCCEEDED(direct3D->CreateDevice(IID_IDirect3DHALDevice, back, &device3D))) return;
    if (SUCCEEDED(direct3D->CreateDevice(IID_IDirect3DRGBDevice, back, &device3D))) return;
    if (SUCCEEDED(direct3D->CreateDevice(IID_IDirect3DRampDevice, back, &device3D))) return;
    device3D = NULL;
    Fatal("sWinDriver::SetDisplayMode(): no 3d device");
}

static void CreateViewport(const sDisplayMode& mode) {
    if (FAILED(direct3D->CreateViewport(&viewport, NULL)))
        Fatal("sWinDriver::SetDisplayMode(): no viewport");
    if (FAILED(device3D->AddViewport(viewport)))
        Fatal("sWinDriver::SetDisplayMode(): could not add viewport");
    D3DVIEWPORT2 data;
    memset(&data, 0, sizeof data);
    data.dwSize = sizeof data;
    data.dwX = 0;
    data.dwY = 0;
    data.dwWidth = (DWORD)mode.width;
    data.dwHeight = (DWORD)mode.height;
    data.dvClipX = -1.0f;
    data.dvClipY = 0.75f;
    data.dvClipWidth = 2.0f;
    data.dvClipHeight = 1.5f;
    data.dvMinZ = 0.0f;
    data.dvMaxZ = 1.0f;
    if (FAILED(viewport->SetViewport2(&data)))
        Fatal("sWinDriver::SetDisplayMode(): could not set viewport");
    if (FAILED(device3D->SetCurrentViewport(viewport)))
        Fatal("sWinDriver::SetDisplayMode(): could not add viewport");
}

static void CreateMaterials() {
    if (FAILED(direct3D->CreateMaterial(&frontMaterial, NULL)))
        Fatal("sWinDriver::SetDisplayMode(): no material");
    D3DMATERIAL front = MaterialOf(1.0f, 40.0f, 1);
    frontMaterial->SetMaterial(&front);
    frontMaterial->GetHandle(device3D, &frontMaterialHandle);
    if (FAILED(direct3D->CreateMaterial(&backMaterial, NULL)))
        Fatal("sWinDriver::SetDisplayMode(): no material (back)");
    D3DMATERIAL background = MaterialOf(0.0f, 0.0f, 0);
    backMaterial->SetMaterial(&background);
    backMaterial->GetHandle(device3D, &backMaterialHandle);
    viewport->SetBackground(backMaterialHandle);
}

void sWinDriver::Start3D(const sDisplayMode& mode) {
    CreateDevice3D(back);
    CreateViewport(mode);
    device3D->SetRenderState(D3DRENDERSTATE_ZENABLE, FALSE);
    device3D->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, FALSE);
    device3D->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    CreateMaterials();
    FindTextureFormats();
}

void sWinDriver::SetDisplayMode(sDisplayMode& mode) {
    ASSERT(mode.backBuffers >= 0 && mode.backBuffers <= MAX_BACK_BUFFERS);
    TearDownMode();
    DebugPrint("Mode %04d x %04d, %02d, %03d Hz, %d backbuffers, %5d kytes left%s\n", mode.width,
               mode.height, mode.bitsPerPixel, mode.refreshRate, mode.backBuffers,
               mode.memoryLeft / 1024, mode.hasZBuffer ? ", ZBuffer" : "");
    DebugPrint("dd2: %08x\n", (unsigned)(uintptr_t)directDraw2);
    directDraw2->SetDisplayMode((DWORD)mode.width, (DWORD)mode.height, (DWORD)mode.bitsPerPixel, 0,
                                0);
    CreateFlippingChain(mode);
    if (mode.hasZBuffer) CreateZBuffer(mode);
    if (mode.has3D && direct3D) Start3D(mode);
    current = mode;
    // A palette handed over before the switch stays pending: it reaches the screen at the
    // first frame of the next palette mode instead of being lost.
    kind = mode.kind;
    SetUpPointer();
}

// ---- the end ----------------------------------------------------------------------------------

sWinDriver::~sWinDriver() {
    UnlockBack();
    theDisplay = NULL;
    ReleasePointer();
    delete[] modes;
    modes = NULL;
    delete[] vertices;
    vertices = NULL;
    ReleaseAndClear(back);
    ReleaseAndClear(zBuffer);
    ReleaseAndClear(primary);
    ReleaseAndClear(palette);
}
