// The software DirectDraw and Direct3D start-up objects, tested through their interfaces
// and the video card's hooks.
#include <gtest/gtest.h>
#include <d3d.h>
#include <ddraw.h>

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "host/headless/capture.h"
#include "ddraw/surface.h"
#include "support/headless_machine.h"
#include "machine/machine.h"
#include "machine/video_card.h"

namespace {

const HWND window = (HWND)(uintptr_t)0x77;

class DDraw : public ::testing::Test {
protected:
    void SetUp() override {
        StartHeadlessMachine(60);
        ASSERT_EQ(DD_OK, DirectDrawCreate(NULL, &dd1, NULL));
        ASSERT_EQ(S_OK, dd1->QueryInterface(IID_IDirectDraw2, (void**)&dd));
    }

    void TearDown() override {
        for (IDirectDrawSurface* s : surfaces) s->Release();
        if (dd) dd->Release();
        if (dd1) dd1->Release();
    }

    void Exclusive(DWORD w = 640, DWORD h = 480, DWORD bits = 8) {
        ASSERT_EQ(DD_OK, dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN));
        ASSERT_EQ(DD_OK, dd->SetDisplayMode(w, h, bits, 0, 0));
    }

    static DDSURFACEDESC Desc(DWORD caps, DWORD w = 0, DWORD h = 0) {
        DDSURFACEDESC d = {};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | (w ? DDSD_WIDTH | DDSD_HEIGHT : 0);
        d.dwWidth = w;
        d.dwHeight = h;
        d.ddsCaps.dwCaps = caps;
        return d;
    }

    HRESULT Create(DDSURFACEDESC d, IDirectDrawSurface** out) {
        HRESULT hr = dd->CreateSurface(&d, out, NULL);
        if (hr == DD_OK) surfaces.push_back(*out);
        return hr;
    }

    IDirectDrawSurface* Chain(DWORD backs) {
        DDSURFACEDESC d =
            Desc(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE);
        d.dwFlags |= DDSD_BACKBUFFERCOUNT;
        d.dwBackBufferCount = backs;
        IDirectDrawSurface* s = nullptr;
        EXPECT_EQ(DD_OK, Create(d, &s));
        return s;
    }

    IDirectDrawSurface* Attached(IDirectDrawSurface* s, DWORD caps) {
        DDSCAPS c = {caps};
        IDirectDrawSurface* out = nullptr;
        EXPECT_EQ(DD_OK, s->GetAttachedSurface(&c, &out));
        if (out) surfaces.push_back(out);
        return out;
    }

    static uint8_t* Memory(IDirectDrawSurface* s, LONG* pitch = nullptr) {
        DDSURFACEDESC d = {};
        d.dwSize = sizeof d;
        if (s->Lock(NULL, &d, DDLOCK_WAIT, NULL) != DD_OK) return nullptr;
        s->Unlock(NULL);
        if (pitch) *pitch = d.lPitch;
        return (uint8_t*)d.lpSurface;
    }

    IDirectDraw* dd1 = nullptr;
    IDirectDraw2* dd = nullptr;
    std::vector<IDirectDrawSurface*> surfaces;
};

TEST_F(DDraw, InterfacesShareOneCountedObject) {
    IUnknown* unknown = nullptr;
    EXPECT_EQ(S_OK, dd->QueryInterface(IID_IUnknown, (void**)&unknown));
    EXPECT_EQ(4u, unknown->AddRef());
    EXPECT_EQ(3u, unknown->Release());
    unknown->Release();
    void* none = (void*)1;
    EXPECT_EQ(E_NOINTERFACE, dd->QueryInterface(IID_IDirectDrawSurface, &none));
    EXPECT_EQ(nullptr, none);
    IDirect3D2* d3d = nullptr;
    ASSERT_EQ(S_OK, dd->QueryInterface(IID_IDirect3D2, (void**)&d3d));
    EXPECT_EQ(0u, d3d->Release());
}

TEST_F(DDraw, ModesNeedExclusiveAccessAndAnOfferedFormat) {
    EXPECT_EQ(DDERR_NOEXCLUSIVEMODE, dd->SetDisplayMode(640, 480, 8, 0, 0));
    EXPECT_EQ(DDERR_NOEXCLUSIVEMODE,
              dd->SetCooperativeLevel(NULL, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN));
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE));
    Exclusive();
    EXPECT_EQ(DDERR_INVALIDMODE, dd->SetDisplayMode(640, 480, 24, 0, 0));
    EXPECT_EQ(DDERR_INVALIDMODE, dd->SetDisplayMode(700, 480, 8, 0, 0));
    EXPECT_EQ(DD_OK, dd->SetDisplayMode(1024, 768, 16, 0, 0));
    DDSURFACEDESC mode = {};
    mode.dwSize = sizeof mode;
    ASSERT_EQ(DD_OK, dd->GetDisplayMode(&mode));
    EXPECT_EQ(1024u, mode.dwWidth);
    EXPECT_EQ(0xF800u, mode.ddpfPixelFormat.dwRBitMask);
}

struct Listing {
    std::vector<DDSURFACEDESC> modes;
    size_t stopAfter;
};

HRESULT CALLBACK ListMode(LPDDSURFACEDESC d, LPVOID context) {
    Listing* l = (Listing*)context;
    l->modes.push_back(*d);
    return l->modes.size() >= l->stopAfter ? DDENUMRET_CANCEL : DDENUMRET_OK;
}

TEST_F(DDraw, EnumeratesTheCardsModesUntilCancelled) {
    Listing all{{}, 100};
    ASSERT_EQ(DD_OK, dd->EnumDisplayModes(0, NULL, &all, ListMode));
    ASSERT_EQ(12u, all.modes.size());
    EXPECT_EQ(320u, all.modes[0].dwWidth);
    EXPECT_EQ(200u, all.modes[0].dwHeight);
    EXPECT_TRUE(all.modes[0].ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8);
    EXPECT_EQ(32u, all.modes[11].ddpfPixelFormat.dwRGBBitCount);
    for (const DDSURFACEDESC& m : all.modes)
        EXPECT_TRUE(m.ddpfPixelFormat.dwFlags & (DDPF_RGB | DDPF_PALETTEINDEXED8));
    Listing two{{}, 2};
    dd->EnumDisplayModes(0, NULL, &two, ListMode);
    EXPECT_EQ(2u, two.modes.size());
}

TEST_F(DDraw, EachListedModeIsTheOneTheSwitchSets) {
    // Cards whose list names one size and depth twice, in two 16-bit layouts: the switch
    // (size and depth only) sets the first, so only that one is offered.
    const struct {
        DDPIXELFORMAT first, second;
    } cards[] = {{video::Rgb565Format(), video::Rgb555Format()},
                 {video::Rgb555Format(), video::Rgb565Format()}};
    for (const auto& c : cards) {
        video::CardSpec card = video::DefaultCard();
        card.modes = {
            video::ModeSpec{640, 480, c.first, 60}, video::ModeSpec{640, 480, c.second, 60},
            video::ModeSpec{640, 480, c.second, 75}, video::ModeSpec{800, 600, c.second, 60}};
        video::SetCard(card);
        Listing all{{}, 100};
        ASSERT_EQ(DD_OK, dd->EnumDisplayModes(0, NULL, &all, ListMode));
        ASSERT_EQ(3u, all.modes.size()); // another rate or size is another mode
        EXPECT_EQ(c.first.dwRBitMask, all.modes[0].ddpfPixelFormat.dwRBitMask);
        EXPECT_EQ(75u, all.modes[1].dwRefreshRate);
        EXPECT_EQ(c.second.dwRBitMask, all.modes[2].ddpfPixelFormat.dwRBitMask);
        Exclusive(640, 480, 16);
        DDSURFACEDESC now = {};
        now.dwSize = sizeof now;
        ASSERT_EQ(DD_OK, dd->GetDisplayMode(&now));
        EXPECT_EQ(c.first.dwRBitMask, now.ddpfPixelFormat.dwRBitMask);
        EXPECT_EQ(c.first.dwGBitMask, now.ddpfPixelFormat.dwGBitMask);
    }
}

TEST_F(DDraw, VideoMemoryIsABudgetThatSurfacesSpendAndGiveBack) {
    Exclusive();
    DDSCAPS caps = {DDSCAPS_VIDEOMEMORY};
    DWORD total = 0, free = 0;
    ASSERT_EQ(DD_OK, dd->GetAvailableVidMem(&caps, &total, &free));
    EXPECT_EQ(8u * 1024 * 1024, total);
    EXPECT_EQ(total, free);
    IDirectDrawSurface* big = nullptr;
    ASSERT_EQ(DD_OK, Create(Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, 2048, 2048), &big));
    dd->GetAvailableVidMem(&caps, &total, &free);
    EXPECT_EQ(total - 2048 * 2048, free);
    IDirectDrawSurface* more = nullptr;
    DDSURFACEDESC tooBig = Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, 4096, 1100);
    EXPECT_EQ(DDERR_OUTOFVIDEOMEMORY, dd->CreateSurface(&tooBig, &more, NULL));
    EXPECT_EQ(nullptr, more);
    // System memory is not the card's.
    EXPECT_EQ(DD_OK,
              Create(Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, 4096, 1100), &more));
    surfaces.erase(surfaces.begin());
    big->Release();
    dd->GetAvailableVidMem(&caps, &total, &free);
    EXPECT_EQ(total, free);
}

TEST_F(DDraw, CreationChecksItsDescriptionAndTakesInjectedFailures) {
    Exclusive();
    IDirectDrawSurface* s = nullptr;
    DDSURFACEDESC d = Desc(DDSCAPS_OFFSCREENPLAIN, 16, 16);
    d.dwSize = 100;
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->CreateSurface(&d, &s, NULL));
    d = Desc(DDSCAPS_OFFSCREENPLAIN, 0, 0);
    EXPECT_EQ(DDERR_INVALIDPARAMS, dd->CreateSurface(&d, &s, NULL));
    d = Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY, 8, 8);
    EXPECT_EQ(DDERR_INVALIDCAPS, dd->CreateSurface(&d, &s, NULL));
    video::FailSurfaceCreations(2, DDERR_OUTOFMEMORY);
    d = Desc(DDSCAPS_OFFSCREENPLAIN, 8, 8);
    EXPECT_EQ(DDERR_OUTOFMEMORY, dd->CreateSurface(&d, &s, NULL));
    EXPECT_EQ(DDERR_OUTOFMEMORY, dd->CreateSurface(&d, &s, NULL));
    EXPECT_EQ(DD_OK, Create(d, &s));
    DDPIXELFORMAT f = {};
    s->GetPixelFormat(&f);
    EXPECT_TRUE(f.dwFlags & DDPF_PALETTEINDEXED8); // the screen's format by default
}

TEST_F(DDraw, FlippingChainRotatesPicturesTowardsTheFront) {
    Exclusive(320, 200, 8);
    IDirectDrawSurface* front = Chain(2);
    IDirectDrawSurface* back = Attached(front, DDSCAPS_BACKBUFFER);
    IDirectDrawSurface* third = Attached(back, DDSCAPS_FLIP);
    ASSERT_TRUE(back && third);
    EXPECT_NE(back, third);
    DDSCAPS caps = {};
    back->GetCaps(&caps);
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_BACKBUFFER);
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_VIDEOMEMORY);
    EXPECT_EQ(DDERR_NOTFLIPPABLE, back->Flip(NULL, DDFLIP_WAIT));
    Memory(back)[0] = 11;
    Memory(third)[0] = 22;
    ASSERT_EQ(DD_OK, front->Flip(NULL, DDFLIP_WAIT));
    EXPECT_EQ(11, Memory(front)[0]);
    EXPECT_EQ(22, Memory(back)[0]);
    front->Flip(NULL, DDFLIP_WAIT);
    EXPECT_EQ(22, Memory(front)[0]);
    EXPECT_EQ(11, Memory(third)[0]);
    EXPECT_EQ(2, machine::FramesShown());
    IDirectDrawSurface* second = nullptr;
    DDSURFACEDESC d = Desc(DDSCAPS_PRIMARYSURFACE);
    EXPECT_EQ(DDERR_PRIMARYSURFACEALREADYEXISTS, dd->CreateSurface(&d, &second, NULL));
}

TEST_F(DDraw, LockGivesPitchAndAddressAndGuardsAgainstBlitsMeanwhile) {
    Exclusive(640, 480, 16);
    IDirectDrawSurface* s = nullptr;
    ASSERT_EQ(DD_OK, Create(Desc(DDSCAPS_OFFSCREENPLAIN, 33, 10), &s));
    DDSURFACEDESC d = {};
    d.dwSize = sizeof d;
    RECT r = {5, 2, 10, 4};
    ASSERT_EQ(DD_OK, s->Lock(&r, &d, DDLOCK_WAIT, NULL));
    EXPECT_EQ(68, d.lPitch); // 66 bytes padded to 32 bits
    uint8_t* corner = (uint8_t*)d.lpSurface;
    EXPECT_EQ(DDERR_SURFACEBUSY, s->Lock(NULL, &d, DDLOCK_WAIT, NULL));
    DDBLTFX fx = {};
    fx.dwSize = sizeof fx;
    EXPECT_EQ(DDERR_SURFACEBUSY, s->Blt(NULL, NULL, NULL, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
    EXPECT_EQ(DD_OK, s->Unlock(NULL));
    EXPECT_EQ(DDERR_NOTLOCKED, s->Unlock(NULL));
    EXPECT_EQ(Memory(s) + 2 * 68 + 5 * 2, corner);
    RECT outside = {30, 0, 40, 5};
    EXPECT_EQ(DDERR_INVALIDRECT, s->Lock(&outside, &d, DDLOCK_WAIT, NULL));
}

TEST_F(DDraw, ColourAndDepthFillsStayInsideTheirRectangle) {
    Exclusive(640, 480, 16);
    IDirectDrawSurface* s = nullptr;
    ASSERT_EQ(DD_OK, Create(Desc(DDSCAPS_OFFSCREENPLAIN, 8, 4), &s));
    DDBLTFX fx = {};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0xABCD1234;
    RECT r = {2, 1, 5, 3};
    ASSERT_EQ(DD_OK, s->Blt(&r, NULL, NULL, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
    LONG pitch = 0;
    uint16_t* p = (uint16_t*)Memory(s, &pitch);
    EXPECT_EQ(0x1234, p[1 * pitch / 2 + 2]);
    EXPECT_EQ(0x1234, p[2 * pitch / 2 + 4]);
    EXPECT_EQ(0, p[1 * pitch / 2 + 5]);
    EXPECT_EQ(0, p[3 * pitch / 2 + 2]);
    EXPECT_EQ(0, p[0]);
    RECT empty = {3, 1, 3, 2}, beyond = {0, 0, 9, 4};
    EXPECT_EQ(DDERR_INVALIDRECT, s->Blt(&empty, NULL, NULL, DDBLT_COLORFILL, &fx));
    EXPECT_EQ(DDERR_INVALIDRECT, s->Blt(&beyond, NULL, NULL, DDBLT_COLORFILL, &fx));
    fx.dwSize = 12;
    EXPECT_EQ(DDERR_INVALIDPARAMS, s->Blt(&r, NULL, NULL, DDBLT_COLORFILL, &fx));
    fx.dwSize = sizeof fx;
    EXPECT_EQ(DDERR_INVALIDPARAMS, s->Blt(NULL, NULL, NULL, DDBLT_DEPTHFILL, &fx));

    DDSURFACEDESC zd = Desc(DDSCAPS_ZBUFFER, 8, 4);
    zd.dwFlags |= DDSD_ZBUFFERBITDEPTH;
    zd.dwZBufferBitDepth = 24;
    IDirectDrawSurface* z = nullptr;
    ASSERT_EQ(DD_OK, Create(zd, &z));
    fx.dwFillDepth = 0x00654321;
    ASSERT_EQ(DD_OK, z->Blt(NULL, NULL, NULL, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx));
    uint8_t* zp = Memory(z);
    EXPECT_EQ(0x21, zp[21]);
    EXPECT_EQ(0x65, zp[23]);
    EXPECT_EQ(DDERR_INVALIDPARAMS, z->Blt(NULL, NULL, NULL, DDBLT_COLORFILL, &fx));
}

TEST_F(DDraw, BltFastSkipsTheSourceColourKeyAndDoesNotClip) {
    Exclusive(640, 480, 8);
    IDirectDrawSurface *src = nullptr, *dst = nullptr;
    ASSERT_EQ(DD_OK, Create(Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, 4, 1), &src));
    ASSERT_EQ(DD_OK, Create(Desc(DDSCAPS_OFFSCREENPLAIN, 8, 2), &dst));
    uint8_t* s = Memory(src);
    s[0] = 5;
    s[1] = 0;
    s[2] = 6;
    s[3] = 0;
    memset(Memory(dst), 9, 16);
    EXPECT_EQ(DDERR_NOCOLORKEY, dst->BltFast(0, 0, src, NULL, DDBLTFAST_SRCCOLORKEY));
    DDCOLORKEY key = {0, 0};
    ASSERT_EQ(DD_OK, src->SetColorKey(DDCKEY_SRCBLT, &key));
    ASSERT_EQ(DD_OK, dst->BltFast(2, 1, src, NULL, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT));
    const uint8_t* d = Memory(dst);
    EXPECT_EQ(9, d[8 + 1]);
    EXPECT_EQ(5, d[8 + 2]);
    EXPECT_EQ(9, d[8 + 3]); // keyed out
    EXPECT_EQ(6, d[8 + 4]);
    ASSERT_EQ(DD_OK, dst->BltFast(0, 0, src, NULL, DDBLTFAST_NOCOLORKEY));
    EXPECT_EQ(0, Memory(dst)[1]);
    EXPECT_EQ(DDERR_INVALIDRECT, dst->BltFast(5, 0, src, NULL, DDBLTFAST_WAIT));
    EXPECT_EQ(DDERR_INVALIDRECT, dst->BltFast(0, 2, src, NULL, DDBLTFAST_WAIT));
    RECT part = {1, 0, 3, 1};
    EXPECT_EQ(DD_OK, dst->BltFast(6, 1, src, &part, DDBLTFAST_WAIT));
    EXPECT_EQ(6, Memory(dst)[8 + 7]);
}

TEST_F(DDraw, PalettesReserveTheEndsUnlessAll256AreAllowed) {
    Exclusive();
    PALETTEENTRY e[256];
    for (int i = 0; i < 256; i++) e[i] = PALETTEENTRY{(BYTE)i, 1, 2, 0};
    IDirectDrawPalette *reserved = nullptr, *all = nullptr;
    ASSERT_EQ(DD_OK, dd->CreatePalette(DDPCAPS_8BIT, e, &reserved, NULL));
    ASSERT_EQ(DD_OK, dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, e, &all, NULL));
    PALETTEENTRY out[256];
    reserved->GetEntries(0, 0, 256, out);
    EXPECT_EQ(0, out[0].peGreen);
    EXPECT_EQ(255, out[255].peGreen);
    EXPECT_EQ(1, out[128].peGreen);
    all->GetEntries(0, 0, 256, out);
    EXPECT_EQ(1, out[0].peGreen);
    EXPECT_EQ(255, out[255].peRed);
    EXPECT_EQ(DDERR_INVALIDPARAMS, all->GetEntries(0, 200, 100, out));
    // The surface keeps its palette alive.
    IDirectDrawSurface* front = Chain(1);
    ASSERT_EQ(DD_OK, front->SetPalette(all));
    EXPECT_EQ(1u, all->Release());
    all->AddRef();
    video::Screen screen = video::ReadScreen();
    EXPECT_TRUE(screen.hasPalette);
    EXPECT_EQ(1, screen.palette[0].peGreen);
    reserved->Release();
    IDirectDrawSurface* s16 = nullptr;
    DDSURFACEDESC d = Desc(DDSCAPS_OFFSCREENPLAIN, 4, 4);
    d.dwFlags |= DDSD_PIXELFORMAT;
    d.ddpfPixelFormat = video::Rgb565Format();
    ASSERT_EQ(DD_OK, Create(d, &s16));
    EXPECT_EQ(DDERR_INVALIDPIXELFORMAT, s16->SetPalette(all));
    all->Release();
}

TEST_F(DDraw, LostSurfacesRefuseWorkUntilRestored) {
    Exclusive();
    IDirectDrawSurface* front = Chain(1);
    IDirectDrawSurface* back = Attached(front, DDSCAPS_BACKBUFFER);
    IDirectDrawSurface* plain = nullptr;
    ASSERT_EQ(DD_OK, Create(Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, 4, 4), &plain));
    ddsoft::LoseSurface(back);
    ddsoft::LoseSurface(plain); // system memory is never lost
    EXPECT_EQ(DDERR_SURFACELOST, front->IsLost());
    DDSURFACEDESC d = {};
    d.dwSize = sizeof d;
    EXPECT_EQ(DDERR_SURFACELOST, back->Lock(NULL, &d, DDLOCK_WAIT, NULL));
    EXPECT_EQ(DDERR_SURFACELOST, front->Flip(NULL, DDFLIP_WAIT));
    EXPECT_EQ(DDERR_SURFACELOST, back->BltFast(0, 0, plain, NULL, DDBLTFAST_WAIT));
    EXPECT_EQ(DD_OK, plain->IsLost());
    EXPECT_EQ(DD_OK, back->Restore());
    EXPECT_EQ(DD_OK, front->IsLost());
    EXPECT_EQ(DD_OK, back->Lock(NULL, &d, DDLOCK_WAIT, NULL));
    ddsoft::LoseSurface(back);
    EXPECT_EQ(DDERR_SURFACELOST, back->Unlock(NULL)); // and it is unlocked all the same
    EXPECT_EQ(DDERR_NOTLOCKED, back->Unlock(NULL));
}

TEST_F(DDraw, SurfacesOutlivingDirectDrawAreEmptyShells) {
    Exclusive();
    IDirectDrawSurface* s = nullptr;
    ASSERT_EQ(DD_OK, Create(Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, 64, 64), &s));
    EXPECT_EQ(4096u, video::VideoMemoryUsed());
    dd->Release();
    dd = nullptr;
    dd1->Release();
    dd1 = nullptr;
    EXPECT_EQ(0u, video::VideoMemoryUsed());
    DDSURFACEDESC d = {};
    d.dwSize = sizeof d;
    EXPECT_EQ(DDERR_INVALIDOBJECT, s->Lock(NULL, &d, DDLOCK_WAIT, NULL));
    // Exclusive access went with the object.
    IDirectDraw* again = nullptr;
    ASSERT_EQ(DD_OK, DirectDrawCreate(NULL, &again, NULL));
    EXPECT_EQ(DD_OK, again->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN));
    again->Release();
}

TEST_F(DDraw, ObjectLeftFromAnEarlierRunDoesNotDisturbTheNext) {
    IDirectDraw* old = dd1;
    dd->Release();
    dd = nullptr;
    dd1 = nullptr;
    machine::ResetForTest();
    ASSERT_EQ(DD_OK, DirectDrawCreate(NULL, &dd1, NULL));
    ASSERT_EQ(S_OK, dd1->QueryInterface(IID_IDirectDraw2, (void**)&dd));
    Exclusive();
    IDirectDrawSurface* s = nullptr;
    ASSERT_EQ(DD_OK, Create(Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, 8, 8), &s));
    old->Release();
    EXPECT_NE(nullptr, Memory(s));
    EXPECT_EQ(64u, video::VideoMemoryUsed());
    EXPECT_EQ(DD_OK, dd->SetDisplayMode(320, 200, 8, 0, 0)); // still exclusive
}

TEST_F(DDraw, ConvertsEveryScreenFormatToWhatTheViewerSees) {
    uint32_t out[2];
    uint16_t w565[2] = {0xFFFF, 0x8010};
    video::ConvertRow((const uint8_t*)w565, 2, video::Rgb565Format(), nullptr, out);
    EXPECT_EQ(0xFFFFFFu, out[0]);
    EXPECT_EQ(0x840084u, out[1]); // 5-bit 16 widens to 0x84, as a DAC repeats the top bits
    uint16_t w555[1] = {0x7C00};
    video::ConvertRow((const uint8_t*)w555, 1, video::Rgb555Format(), nullptr, out);
    EXPECT_EQ(0xFF0000u, out[0]);
    uint8_t w888[6] = {0x56, 0x34, 0x12, 0xFF, 0, 0};
    video::ConvertRow(w888, 2, video::Rgb888Format(), nullptr, out);
    EXPECT_EQ(0x123456u, out[0]);
    EXPECT_EQ(0x0000FFu, out[1]);
    uint32_t w8888[1] = {0xAB123456};
    video::ConvertRow((const uint8_t*)w8888, 1, video::Xrgb8888Format(), nullptr, out);
    EXPECT_EQ(0x123456u, out[0]);
    PALETTEENTRY pal[256] = {};
    pal[3] = PALETTEENTRY{1, 2, 3, 0};
    uint8_t idx[1] = {3};
    video::ConvertRow(idx, 1, video::Index8Format(), pal, out);
    EXPECT_EQ(0x010203u, out[0]);
    video::ConvertRow((const uint8_t*)w565, 1, video::YuyvFormat(), nullptr, out);
    EXPECT_EQ(0u, out[0]);
}

// What the stand-in leaves out says so on standard error: once, naming the method.
TEST_F(DDraw, AnUnimplementedMethodSaysSoOnce) {
    IDirectDrawSurface* s = nullptr;
    ASSERT_EQ(DD_OK, Create(Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, 8, 8), &s));
    HDC dc = NULL;
    testing::internal::CaptureStderr();
    EXPECT_EQ(DDERR_UNSUPPORTED, s->GetDC(&dc));
    EXPECT_EQ(DDERR_UNSUPPORTED, s->GetDC(&dc));
    EXPECT_EQ("fixme: IDirectDrawSurface::GetDC is not implemented\n",
              testing::internal::GetCapturedStderr());
}

TEST_F(DDraw, PngRoundTripAndFrameNames) {
    char pattern[] = "/tmp/prismatel_png_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    std::string dir = pattern;
    std::vector<uint32_t> rgb(7 * 3);
    for (size_t i = 0; i < rgb.size(); i++) rgb[i] = (uint32_t)(i * 0x0A0B0C) & 0xFFFFFF;
    EXPECT_EQ(dir + "/frame_00042.png", capture::FramePath(dir, 42));
    ASSERT_TRUE(capture::WritePng(capture::FramePath(dir, 42), rgb.data(), 7, 3));
    std::vector<uint32_t> back;
    int w = 0, h = 0;
    ASSERT_TRUE(capture::ReadPng(capture::FramePath(dir, 42), back, w, h));
    EXPECT_EQ(7, w);
    EXPECT_EQ(3, h);
    EXPECT_EQ(rgb, back);
    EXPECT_FALSE(capture::ReadPng(dir + "/missing.png", back, w, h));
    EXPECT_FALSE(capture::WritePng(dir + "/no/such/dir.png", rgb.data(), 7, 3));
    EXPECT_FALSE(capture::WritePng(dir + "/empty.png", rgb.data(), 0, 3));
    std::string command = "rm -rf '" + dir + "'";
    EXPECT_EQ(0, system(command.c_str()));
}

TEST_F(DDraw, PaletteSetRightAfterAFlipColoursThePictureShown) {
    char pattern[] = "/tmp/prismatel_show_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    std::string dir = std::string(pattern) + "/not/yet"; // the recording makes the folder
    ChangeSettings([&](host::Settings& s) { s.captureDir = dir; });
    Exclusive(320, 200, 8);
    IDirectDrawSurface* front = Chain(1);
    IDirectDrawSurface* back = Attached(front, DDSCAPS_BACKBUFFER);
    PALETTEENTRY red[256] = {}, green[256] = {};
    red[1] = PALETTEENTRY{255, 0, 0, 0};
    green[1] = PALETTEENTRY{0, 255, 0, 0};
    IDirectDrawPalette *p1 = nullptr, *p2 = nullptr;
    dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, red, &p1, NULL);
    dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, green, &p2, NULL);
    memset(Memory(back), 1, 320 * 200);
    front->Flip(NULL, DDFLIP_WAIT);
    front->SetPalette(p1); // the palette register changes while frame 0 is up
    memset(Memory(back), 1, 320 * 200);
    front->Flip(NULL, DDFLIP_WAIT);
    front->SetPalette(p2);
    surfaces.clear();
    back->Release();
    front->Release(); // the screen goes: frame 1 is shown last
    p1->Release();
    p2->Release();
    std::vector<uint32_t> rgb;
    int w = 0, h = 0;
    ASSERT_TRUE(capture::ReadPng(capture::FramePath(dir, 0), rgb, w, h));
    EXPECT_EQ(0xFF0000u, rgb[0]);
    EXPECT_EQ(0xFF0000u, rgb.back());
    ASSERT_TRUE(capture::ReadPng(capture::FramePath(dir, 1), rgb, w, h));
    EXPECT_EQ(0x00FF00u, rgb[100]);
    EXPECT_EQ(2, video::FramesPresented());
    std::string command = "rm -rf '" + std::string(pattern) + "'";
    EXPECT_EQ(0, system(command.c_str()));
}

// ---- Direct3D start-up objects ----------------------------------------------------------

struct DeviceListing {
    std::vector<std::string> names;
    std::vector<DWORD> models;
    std::vector<DWORD> depths; // Z-buffer depths the hardware description offers
};

HRESULT CALLBACK ListDevice(GUID*, LPSTR, LPSTR name, LPD3DDEVICEDESC hw, LPD3DDEVICEDESC sw,
                            LPVOID context) {
    DeviceListing* l = (DeviceListing*)context;
    l->names.push_back(name);
    l->models.push_back(hw->dcmColorModel ? hw->dcmColorModel : sw->dcmColorModel);
    l->depths.push_back(hw->dwDeviceZBufferBitDepth);
    return D3DENUMRET_OK;
}

HRESULT CALLBACK CountFormat(LPDDSURFACEDESC d, LPVOID context) {
    EXPECT_TRUE(d->dwFlags & DDSD_PIXELFORMAT);
    ++*(int*)context;
    return D3DENUMRET_OK;
}

class D3D : public DDraw {
protected:
    void SetUp() override {
        DDraw::SetUp();
        ASSERT_EQ(S_OK, dd->QueryInterface(IID_IDirect3D2, (void**)&d3d));
    }
    void TearDown() override {
        d3d->Release();
        DDraw::TearDown();
    }
    IDirect3D2* d3d = nullptr;
};

TEST_F(D3D, EnumeratesTheEmulationDevicesThenTheHardware) {
    DeviceListing l;
    ASSERT_EQ(D3D_OK, d3d->EnumDevices(ListDevice, &l));
    ASSERT_EQ(3u, l.names.size());
    EXPECT_EQ("Ramp Emulation", l.names[0]);
    EXPECT_EQ((DWORD)D3DCOLOR_MONO, l.models[0]);
    EXPECT_EQ("Direct3D HAL", l.names[2]);
    // The hardware's own description: the depths the driver chooses its Z-buffer from.
    EXPECT_EQ(DDBD_16 | DDBD_24 | DDBD_32, (int)l.depths[2]);
    EXPECT_EQ(0, (int)l.depths[0]);
}

TEST_F(D3D, HardwareDeviceRendersOnlyInVideoMemory) {
    Exclusive(640, 480, 16);
    IDirectDrawSurface *inVideo = nullptr, *inSystem = nullptr, *flat = nullptr;
    ASSERT_EQ(DD_OK,
              Create(Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY, 64, 64),
                     &inVideo));
    ASSERT_EQ(DD_OK,
              Create(Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY, 64, 64),
                     &inSystem));
    ASSERT_EQ(DD_OK, Create(Desc(DDSCAPS_OFFSCREENPLAIN, 64, 64), &flat));
    IDirect3DDevice2* device = nullptr;
    EXPECT_EQ(D3DERR_SURFACENOTINVIDMEM,
              d3d->CreateDevice(IID_IDirect3DHALDevice, inSystem, &device));
    EXPECT_EQ(DDERR_INVALIDCAPS, d3d->CreateDevice(IID_IDirect3DHALDevice, flat, &device));
    EXPECT_EQ(D3DERR_INVALID_DEVICE, d3d->CreateDevice(IID_IDirect3DMMXDevice, inVideo, &device));
    ASSERT_EQ(D3D_OK, d3d->CreateDevice(IID_IDirect3DRGBDevice, inSystem, &device));
    device->Release();
    ASSERT_EQ(D3D_OK, d3d->CreateDevice(IID_IDirect3DHALDevice, inVideo, &device));
    int formats = 0;
    device->EnumTextureFormats(CountFormat, &formats);
    EXPECT_EQ(5, formats);
    EXPECT_EQ(D3DERR_SCENE_NOT_IN_SCENE, device->EndScene());
    D3DTLVERTEX v[3] = {};
    EXPECT_EQ(D3DERR_SCENE_NOT_IN_SCENE,
              device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DVT_TLVERTEX, v, 3, D3DDP_WAIT));
    ASSERT_EQ(D3D_OK, device->BeginScene());
    EXPECT_EQ(D3DERR_SCENE_IN_SCENE, device->BeginScene());
    EXPECT_EQ(D3DERR_INVALIDVERTEXTYPE,
              device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DVT_VERTEX, v, 3, D3DDP_WAIT));
    EXPECT_EQ(D3D_OK, device->EndScene());
    EXPECT_EQ(DDERR_INVALIDPARAMS, device->SetRenderState((D3DRENDERSTATETYPE)99, 1));
    DWORD value = 0;
    device->SetRenderState(D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_LINEAR);
    device->GetRenderState(D3DRENDERSTATE_TEXTUREMAG, &value);
    EXPECT_EQ((DWORD)D3DFILTER_LINEAR, value);
    device->Release();
}

// What Windows answers for 8-bit palettised render targets (Wine's ddraw conformance tests,
// test_rt_caps): without a palette no device takes one; with a palette the hardware refuses
// it (the wrong pixel format in video memory, not video memory in system memory) and the
// emulation devices take it.
TEST_F(D3D, EightBitTargetsNeedTheirPaletteAndOnlyEmulationDrawsThem) {
    Exclusive(640, 480, 8);
    PALETTEENTRY entries[256] = {};
    entries[1] = {255, 0, 0, 0};
    entries[2] = {0, 0, 255, 0};
    entries[3] = {200, 40, 40, 0};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(DD_OK, dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, NULL));
    const GUID* hal = &IID_IDirect3DHALDevice;
    const GUID* rgb = &IID_IDirect3DRGBDevice;
    const GUID* ramp = &IID_IDirect3DRampDevice;
    const struct {
        const GUID* device;
        DWORD memory;
        bool withPalette;
        HRESULT expected;
    } cases[] = {
        {hal, DDSCAPS_VIDEOMEMORY, false, DDERR_NOPALETTEATTACHED},
        {rgb, DDSCAPS_VIDEOMEMORY, false, DDERR_NOPALETTEATTACHED},
        {ramp, DDSCAPS_SYSTEMMEMORY, false, DDERR_NOPALETTEATTACHED},
        {hal, DDSCAPS_VIDEOMEMORY, true, DDERR_INVALIDPIXELFORMAT},
        {hal, DDSCAPS_SYSTEMMEMORY, true, D3DERR_SURFACENOTINVIDMEM},
        {rgb, DDSCAPS_VIDEOMEMORY, true, D3D_OK},
        {rgb, DDSCAPS_SYSTEMMEMORY, true, D3D_OK},
        {ramp, DDSCAPS_SYSTEMMEMORY, true, D3D_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "memory " << c.memory << ", palette " << c.withPalette);
        DDSURFACEDESC d = Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | c.memory, 16, 16);
        d.dwFlags |= DDSD_PIXELFORMAT;
        d.ddpfPixelFormat = video::Index8Format();
        IDirectDrawSurface* target = nullptr;
        ASSERT_EQ(DD_OK, Create(d, &target));
        if (c.withPalette) {
            ASSERT_EQ(DD_OK, target->SetPalette(palette));
        }
        IDirect3DDevice2* device = nullptr;
        EXPECT_EQ(c.expected, d3d->CreateDevice(*c.device, target, &device));
        if (device) device->Release();
    }

    // The emulation draws each colour as the palette's nearest entry; a target whose palette
    // was taken away is an error, not a quiet D3D_OK.
    DDSURFACEDESC d = Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, 16, 16);
    d.dwFlags |= DDSD_PIXELFORMAT;
    d.ddpfPixelFormat = video::Index8Format();
    IDirectDrawSurface* target = nullptr;
    ASSERT_EQ(DD_OK, Create(d, &target));
    ASSERT_EQ(DD_OK, target->SetPalette(palette));
    IDirect3DDevice2* device = nullptr;
    ASSERT_EQ(D3D_OK, d3d->CreateDevice(IID_IDirect3DRGBDevice, target, &device));
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    auto draw = [&](float x0, float x1, D3DCOLOR color) {
        D3DTLVERTEX v[4] = {};
        const float corners[4][2] = {{x0, 0}, {x1, 0}, {x0, 16}, {x1, 16}};
        for (int i = 0; i < 4; i++) {
            v[i].sx = corners[i][0];
            v[i].sy = corners[i][1];
            v[i].sz = 0.5f;
            v[i].rhw = 1.0f;
            v[i].color = color;
        }
        EXPECT_EQ(D3D_OK, device->BeginScene());
        HRESULT hr = device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DVT_TLVERTEX, v, 4, D3DDP_WAIT);
        EXPECT_EQ(D3D_OK, device->EndScene());
        return hr;
    };
    EXPECT_EQ(D3D_OK, draw(0, 8, 0xFFFF0000));  // red: entry 1
    EXPECT_EQ(D3D_OK, draw(8, 16, 0xFFD03030)); // nearest to entry 3
    DDSURFACEDESC locked = {};
    locked.dwSize = sizeof locked;
    ASSERT_EQ(DD_OK, target->Lock(NULL, &locked, DDLOCK_WAIT, NULL));
    const uint8_t* row = (const uint8_t*)locked.lpSurface + 5 * locked.lPitch;
    EXPECT_EQ(1, row[2]);
    EXPECT_EQ(3, row[12]);
    target->Unlock(NULL);
    ASSERT_EQ(DD_OK, target->SetPalette(NULL));
    EXPECT_EQ(DDERR_NOPALETTEATTACHED, draw(0, 16, 0xFF0000FF));
    device->Release();
    palette->Release();
}

TEST_F(D3D, ViewportsAndMaterialsBelongToADevice) {
    Exclusive(640, 480, 16);
    IDirectDrawSurface* target = nullptr;
    ASSERT_EQ(DD_OK, Create(Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, 64, 64), &target));
    IDirect3DDevice2* device = nullptr;
    ASSERT_EQ(D3D_OK, d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device));
    IDirect3DViewport2* vp = nullptr;
    ASSERT_EQ(D3D_OK, d3d->CreateViewport(&vp, NULL));
    D3DVIEWPORT2 data = {};
    data.dwSize = sizeof data;
    data.dwWidth = data.dwHeight = 64;
    data.dvClipWidth = 2.0f;
    data.dvClipHeight = 2.0f;
    data.dvMaxZ = 1.0f;
    EXPECT_EQ(D3DERR_VIEWPORTHASNODEVICE, vp->SetViewport2(&data));
    EXPECT_EQ(D3DERR_INVALIDCURRENTVIEWPORT, device->SetCurrentViewport(vp));
    ASSERT_EQ(D3D_OK, device->AddViewport(vp));
    EXPECT_EQ(D3D_OK, vp->SetViewport2(&data));
    EXPECT_EQ(D3D_OK, device->SetCurrentViewport(vp));
    IDirect3DMaterial2* m = nullptr;
    ASSERT_EQ(D3D_OK, d3d->CreateMaterial(&m, NULL));
    D3DMATERIALHANDLE h1 = 0, h2 = 0;
    m->GetHandle(device, &h1);
    m->GetHandle(device, &h2);
    EXPECT_NE(0u, h1);
    EXPECT_EQ(h1, h2);
    EXPECT_EQ(DDERR_INVALIDPARAMS, vp->SetBackground(h1 + 1000));
    EXPECT_EQ(D3D_OK, vp->SetBackground(h1));
    D3DMATERIAL bad = {};
    EXPECT_EQ(DDERR_INVALIDPARAMS, m->SetMaterial(&bad));
    m->Release();
    vp->Release();
    device->Release(); // releases the viewport it held
}

} // namespace
