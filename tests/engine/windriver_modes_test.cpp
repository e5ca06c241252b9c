// Mode switches, the back buffer's lock discipline, the frame cycle, palette and pointer.
#include "windriver_fixture_test.h"

#include <string.h>

namespace {

class ModesTest : public DriverTest {
protected:
    // Every pixel of the back buffer set to `value` (8-bit modes).
    void FillBack(uint8_t value) {
        sBitmap b;
        driver->Lock(b);
        ASSERT_NE(nullptr, b.levelData[0]);
        for (int y = 0; y < b.height; y++) memset(b.PixelAddress(0, y, 0), value, b.width);
    }

    uint32_t BackPixel(int x, int y) {
        sBitmap b;
        driver->Lock(b);
        return b.levelData[0] ? b.GetPixel(x, y, 0) : 0xDEADu;
    }

    void Frame() {
        driver->BeginFrame(nullptr);
        driver->EndFrame();
    }

    // A card whose video memory holds the front buffer and one 640 x 480 x 8 back buffer.
    static video::CardSpec OneBackBufferCard() {
        video::CardSpec card = video::DefaultCard();
        card.videoMemory = 640 * 480 * 2 + 4096;
        return card;
    }
};

TEST_F(ModesTest, SetsThePaletteModeWithTwoBackBuffers) {
    Start();
    sDisplayMode mode = SetMode(640, 480, BK_INDEX8);
    EXPECT_EQ(2, mode.backBuffers);
    EXPECT_EQ(BK_INDEX8, driver->GetKind());
    EXPECT_EQ(640, driver->current.width);
    EXPECT_NE(nullptr, driver->primary);
    EXPECT_NE(nullptr, driver->back);
    EXPECT_EQ(nullptr, driver->zBuffer);
    EXPECT_EQ(nullptr, device3D);
    std::string log = Log();
    EXPECT_NE(std::string::npos,
              log.find("Mode 0640 x 0480, 08, 000 Hz, 2 backbuffers,  6692 kytes left\n"));
    EXPECT_NE(std::string::npos, log.find("dd2: "));
    EXPECT_EQ(0, Count(log, "dderr"));
    video::Screen screen = video::ReadScreen();
    EXPECT_EQ(640, screen.width);
    EXPECT_EQ(8, screen.bitsPerPixel);
}

TEST_F(ModesTest, CardWithRoomForOneBackBufferLogsOnceAndCyclesTwoBuffers) {
    Start(OneBackBufferCard());
    sDisplayMode mode = SetMode(640, 480, BK_INDEX8, 2);
    EXPECT_EQ(1, mode.backBuffers);
    EXPECT_EQ(1, driver->current.backBuffers);
    std::string log = Log();
    EXPECT_EQ(1, Count(log, "dderr "));
    EXPECT_NE(std::string::npos, log.find("dderr 8876017C 380\n"));
    int seen[4];
    for (int& s : seen) {
        s = driver->GetBufferIndex();
        Frame();
    }
    EXPECT_EQ(0, seen[0]);
    EXPECT_EQ(1, seen[1]);
    EXPECT_EQ(0, seen[2]);
    EXPECT_EQ(1, seen[3]);
}

TEST_F(ModesTest, TwoBackBuffersCycleThroughThreeIndices) {
    Start();
    SetMode(320, 200, BK_INDEX8, 2);
    int seen[4];
    for (int& s : seen) {
        s = driver->GetBufferIndex();
        Frame();
    }
    EXPECT_EQ(0, seen[0]);
    EXPECT_EQ(1, seen[1]);
    EXPECT_EQ(2, seen[2]);
    EXPECT_EQ(0, seen[3]);
}

TEST_F(ModesTest, NoChainAtAllIsFatal) {
    Start();
    video::FailSurfaceCreations(3);
    EXPECT_EQ(666u, RunOnThread([this] { SetMode(640, 480, BK_INDEX8, 2); }));
    EXPECT_TRUE(FatalWith("Could not create display surfaces"));
    EXPECT_EQ(2, Count(Log(), "dderr "));
}

TEST_F(ModesTest, BackBufferCountOutsideItsRangeIsAnAssertion) {
    Start();
    sDisplayMode mode(640, 480, BK_INDEX8);
    mode.backBuffers = 3;
    EXPECT_EQ(666u, RunOnThread([this, &mode] { driver->SetDisplayMode(mode); }));
    EXPECT_NE(std::string::npos, Log().find("Fatal:Assertion in line"));
}

TEST_F(ModesTest, ThreeDimensionalBranchBuildsDeviceViewportMaterialsAndFormats) {
    Start();
    SetMode(640, 480, BK_0565, 2, true, true);
    ASSERT_NE(nullptr, device3D);
    ASSERT_NE(nullptr, driver->zBuffer);
    DDSURFACEDESC z = {};
    z.dwSize = sizeof z;
    driver->zBuffer->GetSurfaceDesc(&z);
    EXPECT_EQ(32u, z.dwZBufferBitDepth); // the deepest the hardware offers
    IDirectDrawSurface* attached = nullptr;
    DDSCAPS caps = {DDSCAPS_ZBUFFER};
    ASSERT_EQ(DD_OK, driver->back->GetAttachedSurface(&caps, &attached));
    EXPECT_EQ(driver->zBuffer, attached);
    attached->Release();

    D3DVIEWPORT2 vp = {};
    vp.dwSize = sizeof vp;
    ASSERT_EQ(D3D_OK, viewport->GetViewport2(&vp));
    EXPECT_EQ(640u, vp.dwWidth);
    EXPECT_EQ(480u, vp.dwHeight);
    EXPECT_FLOAT_EQ(-1.0f, vp.dvClipX);
    EXPECT_FLOAT_EQ(0.75f, vp.dvClipY);
    EXPECT_FLOAT_EQ(2.0f, vp.dvClipWidth);
    EXPECT_FLOAT_EQ(1.5f, vp.dvClipHeight);
    EXPECT_FLOAT_EQ(1.0f, vp.dvMaxZ);
    IDirect3DViewport2* currentViewport = nullptr;
    ASSERT_EQ(D3D_OK, device3D->GetCurrentViewport(&currentViewport));
    EXPECT_EQ(viewport, currentViewport);
    currentViewport->Release();

    DWORD value = 99;
    device3D->GetRenderState(D3DRENDERSTATE_ZENABLE, &value);
    EXPECT_EQ(0u, value);
    device3D->GetRenderState(D3DRENDERSTATE_ZWRITEENABLE, &value);
    EXPECT_EQ(0u, value);
    device3D->GetRenderState(D3DRENDERSTATE_SHADEMODE, &value);
    EXPECT_EQ((DWORD)D3DSHADE_FLAT, value);

    D3DMATERIAL m = {};
    m.dwSize = sizeof m;
    frontMaterial->GetMaterial(&m);
    EXPECT_FLOAT_EQ(1.0f, m.diffuse.r);
    EXPECT_FLOAT_EQ(0.0f, m.diffuse.a);
    EXPECT_FLOAT_EQ(40.0f, m.power);
    EXPECT_EQ(1u, m.dwRampSize);
    EXPECT_NE(0u, frontMaterialHandle);
    EXPECT_NE(frontMaterialHandle, backMaterialHandle);
    D3DMATERIALHANDLE background = 0;
    BOOL valid = FALSE;
    viewport->GetBackground(&background, &valid);
    EXPECT_EQ(backMaterialHandle, background);

    EXPECT_NE(std::string::npos, Log().find("Texture formats found:00111101\n"));
    EXPECT_TRUE(textureFormats[BK_0565].found);
    EXPECT_EQ(0xF800u, textureFormats[BK_0565].format.dwRBitMask);
    EXPECT_EQ(0xF000u, textureFormats[BK_4444].format.dwRGBAlphaBitMask);
    EXPECT_FALSE(textureFormats[BK_0888].found);
}

TEST_F(ModesTest, SoftwareDeviceStandsInWithoutTheHardwareOne) {
    video::CardSpec card = video::DefaultCard();
    card.devices.pop_back(); // no HAL
    Start(card);
    SetMode(640, 480, BK_0565, 2, false, true);
    ASSERT_NE(nullptr, device3D);
    D3DDEVICEDESC hw = {}, sw = {};
    device3D->GetCaps(&hw, &sw);
    EXPECT_EQ(0u, hw.dcmColorModel);
    EXPECT_EQ((DWORD)D3DCOLOR_RGB, sw.dcmColorModel);
}

TEST_F(ModesTest, WithoutAnyDeviceThreeDimensionalModesAreFatal) {
    video::CardSpec card = video::DefaultCard();
    card.devices.clear();
    Start(card);
    EXPECT_EQ(666u, RunOnThread([this] { SetMode(640, 480, BK_INDEX8, 2, false, true); }));
    EXPECT_TRUE(FatalWith("sWinDriver::SetDisplayMode(): no 3d device"));
}

// No device draws into an 8-bit screen before it has a palette, and the driver attaches
// the palette only at the end of its first frame: a 3D mode in 8 bits finds no device, as
// on Windows, where the hardware never draws into palettised screens.
TEST_F(ModesTest, EightBitThreeDimensionalModesFindNoDevice) {
    Start();
    EXPECT_EQ(666u, RunOnThread([this] { SetMode(640, 480, BK_INDEX8, 2, false, true); }));
    EXPECT_TRUE(FatalWith("sWinDriver::SetDisplayMode(): no 3d device"));
}

TEST_F(ModesTest, SecondModeReplacesTheFirstAndTheDestructorGivesEverythingBack) {
    Start();
    SetMode(640, 480, BK_0565, 2, true, true);
    EXPECT_EQ(614400u * 3 + 640 * 480 * 4, video::VideoMemoryUsed());
    SetMode(320, 200, BK_INDEX8, 2);
    EXPECT_EQ(64000u * 3, video::VideoMemoryUsed());
    EXPECT_EQ(nullptr, device3D);
    EXPECT_EQ(nullptr, viewport);
    delete driver;
    driver = nullptr;
    EXPECT_EQ(nullptr, theDisplay);
    EXPECT_EQ(0u, video::VideoMemoryUsed());
    EXPECT_EQ(0, video::ReadScreen().width);
}

// ---- the lock discipline -----------------------------------------------------------------------

TEST_F(ModesTest, LockDescribesTheBackBufferAndLocksOnlyOnce) {
    Start();
    SetMode(640, 480, BK_INDEX8);
    sBitmap a, b;
    driver->Lock(a);
    driver->Lock(b);
    EXPECT_TRUE(driver->locked);
    EXPECT_EQ(a.levelData[0], b.levelData[0]);
    EXPECT_EQ(640, a.width);
    EXPECT_EQ(BK_INDEX8, a.kind);
    EXPECT_EQ(1, a.levelCount);
    EXPECT_EQ(640, a.levelPitch[0]);
    EXPECT_EQ(driver->paletteColors, a.palette);
    EXPECT_EQ(256, a.paletteCount);
    // Debug output may be issued from drawing code: it lets go of the back buffer.
    DebugOutput("hello\n");
    EXPECT_FALSE(driver->locked);
    DDSURFACEDESC d = {};
    d.dwSize = sizeof d;
    EXPECT_EQ(DD_OK, driver->back->Lock(NULL, &d, DDLOCK_WAIT, NULL));
    driver->back->Unlock(NULL);
    driver->Lock(a);
    driver->Unlock();
    EXPECT_FALSE(driver->locked);
    driver->Unlock(); // unlocking twice is harmless
}

TEST_F(ModesTest, FailedLockLeavesTheBitmapWithoutMemory) {
    Start();
    SetMode(640, 480, BK_INDEX8);
    DDSURFACEDESC d = {};
    d.dwSize = sizeof d;
    ASSERT_EQ(DD_OK, driver->back->Lock(NULL, &d, DDLOCK_WAIT, NULL)); // someone else holds it
    sBitmap b;
    driver->Lock(b);
    EXPECT_FALSE(driver->locked);
    EXPECT_EQ(0, b.levelCount);
    EXPECT_EQ(nullptr, b.levelData[0]);
    driver->back->Unlock(NULL);
}

TEST_F(ModesTest, LostBackBufferIsRestoredAndLockedInTheSameCall) {
    Start();
    SetMode(640, 480, BK_INDEX8);
    ddsoft::LoseSurface(driver->back);
    EXPECT_EQ(DDERR_SURFACELOST, driver->back->IsLost());
    sBitmap b;
    driver->Lock(b);
    ASSERT_NE(nullptr, b.levelData[0]);
    EXPECT_TRUE(driver->locked);
    b.SetPixel(42, 3, 3, 0);
    EXPECT_EQ(42u, b.GetPixel(3, 3, 0));
    EXPECT_EQ(DD_OK, driver->back->IsLost());
}

TEST_F(ModesTest, SurfaceLostWhileLockedCountsAsUnlockedAndTheFrameRestoresIt) {
    Start();
    SetMode(640, 480, BK_INDEX8);
    sBitmap b;
    driver->Lock(b);
    ddsoft::LoseSurface(driver->back);
    driver->BeginFrame(nullptr);
    driver->EndFrame(); // the flip fails on the lost chain; the frame still ends cleanly
    EXPECT_FALSE(driver->locked);
    EXPECT_EQ(DD_OK, driver->back->IsLost());
    EXPECT_EQ(DD_OK, driver->primary->IsLost());
}

TEST_F(ModesTest, FatalEndWhileTheBackBufferIsLockedLeavesOneMessage) {
    Start();
    SetMode(640, 480, BK_INDEX8);
    sBitmap b;
    driver->Lock(b); // drawing code holds the lock when it fails
    EXPECT_EQ(666u, RunOnThread([] { Fatal("drawing failed"); }));
    EXPECT_EQ(1, Count(Log(), "Fatal:"));
    EXPECT_TRUE(FatalWith("drawing failed"));
    EXPECT_FALSE(driver->locked);
}

TEST_F(ModesTest, BeginFrameInsistsOnANullArgument) {
    Start();
    SetMode(320, 200, BK_INDEX8);
    int dummy = 0;
    EXPECT_EQ(666u, RunOnThread([this, &dummy] { driver->BeginFrame(&dummy); }));
    delete driver;
    driver = nullptr;
    Start();
    EXPECT_EQ(666u, RunOnThread([this] { driver->EndFrame(); })); // no mode, no primary
}

// ---- palette
// -------------------------------------------------------------------------------------

TEST_F(ModesTest, PaletteReachesTheScreenAtTheNextEndFrame) {
    Start();
    SetMode(640, 480, BK_INDEX8);
    sColor colors[256];
    for (int i = 0; i < 256; i++) colors[i] = sColor{(uint8_t)i, (uint8_t)(255 - i), 7, 0};
    driver->SetPalette(colors);
    EXPECT_TRUE(driver->palettePending);
    EXPECT_FALSE(video::ReadScreen().hasPalette);
    Frame();
    EXPECT_FALSE(driver->palettePending);
    video::Screen screen = video::ReadScreen();
    ASSERT_TRUE(screen.hasPalette);
    // Entry 0 and 255 too: the palette allows all 256 entries.
    EXPECT_EQ(0, screen.palette[0].peRed);
    EXPECT_EQ(255, screen.palette[0].peGreen);
    EXPECT_EQ(255, screen.palette[255].peRed);
    EXPECT_EQ(0, screen.palette[255].peGreen);
    EXPECT_EQ(7, screen.palette[100].peBlue);
}

TEST_F(ModesTest, PaletteWaitsInADirectColourModeUntilAPaletteMode) {
    Start();
    SetMode(640, 480, BK_0565);
    sColor colors[256];
    for (int i = 0; i < 256; i++) colors[i] = sColor{(uint8_t)i, 1, 2, 0};
    driver->SetPalette(colors);
    Frame();
    Frame();
    EXPECT_TRUE(driver->palettePending);
    EXPECT_FALSE(video::ReadScreen().hasPalette);
    SetMode(640, 480, BK_INDEX8);
    Frame();
    EXPECT_FALSE(driver->palettePending);
    video::Screen screen = video::ReadScreen();
    ASSERT_TRUE(screen.hasPalette);
    EXPECT_EQ(200, screen.palette[200].peRed);
}

// ---- pointer
// ---------------------------------------------------------------------------------------

TEST_F(ModesTest, PointerNearTheCornerDrawsOnlyItsVisiblePart) {
    Start();
    SetMode(640, 480, BK_INDEX8);
    FillBack(7);
    driver->SetMouse(true, 630, 470);
    driver->BeginFrame(nullptr);
    driver->EndFrame();
    EXPECT_TRUE(driver->saved[0]);
    EXPECT_EQ(640, driver->saveRect[0].x1);
    EXPECT_EQ(480, driver->saveRect[0].y1);
    video::Screen s = video::ReadScreen();
    auto at = [&s](int x, int y) { return s.pixels[(size_t)y * 640 + x]; };
    EXPECT_EQ(1, at(630, 470));   // outline
    EXPECT_EQ(255, at(631, 471)); // white
    EXPECT_EQ(7, at(639, 479));   // transparent part of the arrow
    EXPECT_EQ(7, at(629, 470));
}

TEST_F(ModesTest, PointerOffTheRightEdgeSavesAndDrawsNothing) {
    Start();
    SetMode(640, 480, BK_INDEX8);
    FillBack(7);
    driver->SetMouse(true, 640, 0);
    driver->BeginFrame(nullptr);
    driver->EndFrame();
    EXPECT_FALSE(driver->saved[0]);
    video::Screen s = video::ReadScreen();
    EXPECT_EQ(7, s.pixels[639]);
}

TEST_F(ModesTest, HiddenPointerIsStillTakenOffItsBuffer) {
    Start(OneBackBufferCard());
    SetMode(640, 480, BK_INDEX8, 1);
    driver->SetMouse(true, 100, 100);
    driver->BeginFrame(nullptr);
    FillBack(7);
    driver->EndFrame(); // the arrow goes into buffer 0
    EXPECT_EQ(1, video::ReadScreen().pixels[100 * 640 + 100]);
    driver->SetMouse(false, 100, 100);
    driver->BeginFrame(nullptr);
    FillBack(9);
    driver->EndFrame();
    EXPECT_EQ(9, video::ReadScreen().pixels[100 * 640 + 100]);
    driver->BeginFrame(nullptr); // buffer 0 again: what the arrow covered comes back
    EXPECT_FALSE(driver->saved[0]);
    EXPECT_EQ(7u, BackPixel(100, 100));
    EXPECT_EQ(7u, BackPixel(101, 101));
}

TEST_F(ModesTest, PointerIsConvertedToTheScreenFormat) {
    Start();
    SetMode(640, 480, BK_8888);
    driver->SetMouse(true, 10, 20);
    Frame();
    video::Screen s = video::ReadScreen();
    EXPECT_EQ(0x000008u, s.rgb[20 * 640 + 10]); // the dark outline
    EXPECT_EQ(0xFFFFFFu, s.rgb[21 * 640 + 11]); // white inside
    EXPECT_EQ(0x000000u, s.rgb[20 * 640 + 25]); // transparent
    EXPECT_TRUE(driver->saved[0]);
    SetMode(640, 480, BK_0565);
    EXPECT_FALSE(driver->saved[0]); // a new mode's save-under surfaces hold nothing
    driver->SetMouse(true, 0, 0);
    Frame();
    s = video::ReadScreen();
    uint16_t outline, white;
    memcpy(&outline, &s.pixels[0], 2);
    memcpy(&white, &s.pixels[(640 + 1) * 2], 2);
    EXPECT_EQ(0x0001, outline);
    EXPECT_EQ(0xFFFF, white);
}

} // namespace
