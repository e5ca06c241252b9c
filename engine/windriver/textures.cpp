// Textures: bitmaps registered with the display are converted to the pixel kind they
// will be drawn in, copied into system-memory surfaces, then uploaded into video-memory
// surfaces (2D images) or Direct3D textures.
#include "windriver/windriver.h"

namespace {

// Loads a record's bitmap if needed and fills in its size and surface kind.
void DescribeTexture(sTexture& t, int screenKind) {
    if (!t.bitmap) {
        ASSERT(t.fileName != NULL);
        t.bitmap = new sBitmap;
        t.bitmap->Load(t.fileName);
    }
    if (t.type == TT_IMAGE || t.type == TT_TEXTURE) {
        t.width = t.bitmap->width;
        t.height = t.bitmap->height;
        t.levelCount = 1;
        t.kind = t.type == TT_IMAGE ? screenKind : BK_0565;
        if (t.type == TT_TEXTURE) ASSERT(textureFormats[BK_0565].found);
    }
    t.prepared = true;
    t.systemSurface = NULL;
    t.videoSurface = NULL;
    t.textureHandle = 0;
}

// A surface of the record's size: screen format for images, the texture format of its
// kind for Direct3D textures; memory and extra capabilities as asked.
IDirectDrawSurface* CreateSurfaceFor(const sTexture& t, DWORD imageCaps, DWORD textureCaps) {
    DDSURFACEDESC desc;
    MemFill(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = t.width;
    desc.dwHeight = t.height;
    if (t.type == TT_IMAGE) {
        desc.ddsCaps.dwCaps = imageCaps;
    } else {
        desc.dwFlags |= DDSD_PIXELFORMAT;
        desc.ddpfPixelFormat = textureFormats[t.kind].format;
        desc.ddsCaps.dwCaps = textureCaps;
    }
    IDirectDrawSurface* surface = NULL;
    HRESULT hr = directDraw2->CreateSurface(&desc, &surface, NULL);
    ASSERT(SUCCEEDED(hr));
    return surface;
}

void CreateSystemSurface(sTexture& t) {
    t.systemSurface = CreateSurfaceFor(t, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY,
                                       DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY);
}

// Copies every level of the source, row by row, into the system-memory surface.
void CopyLevels(sTexture& t, sBitmap& source) {
    int rows = t.height;
    for (int level = 0; level < t.levelCount; level++) {
        DDSURFACEDESC desc;
        MemFill(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        t.systemSurface->Lock(NULL, &desc, 0, NULL);
        if (desc.lpSurface) {
            int bytes = Min(desc.lPitch, source.levelPitch[level]);
            for (int r = 0; r < rows; r++)
                MemCopy((uint8_t*)desc.lpSurface + r * desc.lPitch,
                        source.PixelAddress(0, r, level), bytes);
        }
        t.systemSurface->Unlock(NULL);
        rows = rows > 1 ? rows / 2 : 1;
    }
}

void FillSystemSurface(sTexture& t) {
    sBitmap* source = t.bitmap;
    sBitmap* converted = NULL;
    if (source->kind != t.kind) {
        converted = new sBitmap;
        converted->Create(t.width, t.height, (BitmapKind)t.kind, t.levelCount);
        sBlitRect region = {0, 0, 0, 0, t.width, t.height};
        converted->ConvertFrom(*source, region);
        source = converted;
    }
    CopyLevels(t, *source);
    delete converted;
}

void CreateVideoSurface(sTexture& t) {
    if (t.type == TT_IMAGE && t.kind == BK_MONO) return; // drawn from the bitmap by BlitMono
    t.videoSurface = CreateSurfaceFor(t, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY,
                                      DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_ALLOCONLOAD);
}

void LoadDirect3DTexture(sTexture& t) {
    IDirect3DTexture2* video = NULL;
    IDirect3DTexture2* system = NULL;
    t.videoSurface->QueryInterface(IID_IDirect3DTexture2, (void**)&video);
    t.systemSurface->QueryInterface(IID_IDirect3DTexture2, (void**)&system);
    if (video && system) {
        video->Load(system);
        video->GetHandle(device3D, &t.textureHandle);
    }
    if (video) video->Release();
    if (system) system->Release();
}

} // namespace

void sWinDriver::PrepareTextures(const sDisplayMode& mode) {
    for (int i = 0; i < GetTextureCount(); i++) DescribeTexture(*GetTexture(i), mode.kind);
    // Records of other types get no surfaces.
    for (int i = 0; i < GetTextureCount(); i++) {
        sTexture& t = *GetTexture(i);
        if (t.type != TT_IMAGE && t.type != TT_TEXTURE) continue;
        CreateSystemSurface(t);
        FillSystemSurface(t);
    }
}

void sWinDriver::UploadTextures() {
    for (int i = 0; i < GetTextureCount(); i++) {
        sTexture& t = *GetTexture(i);
        if (t.type != TT_IMAGE && t.type != TT_TEXTURE) continue;
        if (!t.videoSurface) CreateVideoSurface(t);
        if (t.type == TT_IMAGE && t.videoSurface) {
            RECT whole = {0, 0, t.width, t.height};
            HRESULT hr =
                t.videoSurface->BltFast(0, 0, t.systemSurface, &whole, DDBLTFAST_NOCOLORKEY);
            ASSERT(SUCCEEDED(hr));
        } else if (t.type == TT_TEXTURE) {
            LoadDirect3DTexture(t);
        }
    }
}

void sWinDriver::TextureHook(int, int) {}

int sWinDriver::FreeTextures() {
    for (int i = 0; i < GetTextureCount(); i++) {
        sTexture& t = *GetTexture(i);
        if (t.videoSurface) t.videoSurface->Release();
        if (t.systemSurface) t.systemSurface->Release();
        delete t.bitmap;
        t.videoSurface = NULL;
        t.systemSurface = NULL;
        t.bitmap = NULL;
    }
    return GetTextureCount();
}
