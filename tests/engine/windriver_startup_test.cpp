// DirectDraw start-up: device choice, release, screen formats and the mode table's budget.
#include "windriver_fixture_test.h"

#include <string.h>

namespace {

using StartupTest = DriverTest;

video::DeviceSpec SoftwareDevice(const char* name, D3DCOLORMODEL model, DWORD tag) {
    video::DeviceSpec d;
    d.guid = GUID{tag, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
    d.description = std::string(name) + " description";
    d.name = name;
    memset(&d.hardware, 0, sizeof d.hardware);
    d.hardware.dwSize = sizeof d.hardware;
    d.emulation = video::SoftwareDeviceDesc(model);
    return d;
}

video::DeviceSpec HardwareDevice(const char* name, DWORD tag, DWORD zDepths) {
    video::DeviceSpec d = SoftwareDevice(name, D3DCOLOR_RGB, tag);
    d.hardware = video::HalDeviceDesc();
    d.hardware.dwDeviceZBufferBitDepth = zDepths;
    memset(&d.emulation, 0, sizeof d.emulation);
    return d;
}

const sDisplayMode* FindEntry(sWinDriver* d, int w, int h, int kind) {
    for (int i = 0; i < d->GetModeCount(); i++) {
        const sDisplayMode* m = d->GetMode(i);
        if (m->width == w && m->height == h && m->kind == kind) return m;
    }
    return nullptr;
}

TEST_F(StartupTest, HardwareDeviceAfterTwoSoftwareOnesWinsAndStopsTheEnumeration) {
    video::CardSpec card = video::DefaultCard();
    card.devices = {SoftwareDevice("Soft A", D3DCOLOR_RGB, 1),
                    SoftwareDevice("Soft B", D3DCOLOR_RGB, 2), HardwareDevice("Hard", 3, DDBD_16),
                    HardwareDevice("Later", 4, DDBD_32)};
    Start(card);
    std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("d3d device <Soft A description> <Soft A>\n"));
    EXPECT_NE(std::string::npos, log.find("d3d device <Hard description> <Hard>\n"));
    EXPECT_EQ(std::string::npos, log.find("<Later>"));
    EXPECT_NE(std::string::npos, log.find("d3d selected <Hard>\n"));
    EXPECT_TRUE(deviceFound);
    EXPECT_EQ(3u, deviceGuid.Data1);
    EXPECT_EQ((DWORD)DDBD_16, hardwareDesc.dwDeviceZBufferBitDepth);
    EXPECT_EQ((DWORD)D3DCOLOR_RGB, chosenDesc.dcmColorModel);
    EXPECT_NE(std::string::npos, log.find("Info:\n"));
    EXPECT_NE(std::string::npos, log.find("\ndd1 "));
}

TEST_F(StartupTest, MonoDeviceIsTakenOnlyWhenFirst) {
    video::CardSpec card = video::DefaultCard();
    card.devices = {SoftwareDevice("Rgb", D3DCOLOR_RGB, 1),
                    SoftwareDevice("Ramp", D3DCOLOR_MONO, 2)};
    Start(card);
    EXPECT_NE(std::string::npos, Log().find("d3d selected <Rgb>\n"));
    EXPECT_EQ((DWORD)D3DCOLOR_RGB, chosenDesc.dcmColorModel);
    delete driver;
    driver = nullptr;
    ReleaseDirectDraw();

    card.devices = {SoftwareDevice("Ramp", D3DCOLOR_MONO, 2),
                    SoftwareDevice("Rgb", D3DCOLOR_RGB, 1)};
    machine::ResetForTest();
    Start(card);
    EXPECT_NE(std::string::npos, Log().find("d3d selected <Rgb>\n")); // the last one wins
    card.devices = {SoftwareDevice("Ramp", D3DCOLOR_MONO, 2)};
    delete driver;
    driver = nullptr;
    ReleaseDirectDraw();
    machine::ResetForTest();
    Start(card);
    EXPECT_NE(std::string::npos, Log().find("d3d selected <Ramp>\n"));
}

TEST_F(StartupTest, NoDeviceAtAllLeavesTheHardwareDescriptionEmpty) {
    video::CardSpec card = video::DefaultCard();
    card.devices.clear();
    Start(card);
    EXPECT_FALSE(deviceFound);
    EXPECT_EQ(0u, hardwareDesc.dwDeviceZBufferBitDepth);
    // A Z-buffer can then never be had.
    EXPECT_EQ(666u, RunOnThread([this] { SetMode(640, 480, BK_INDEX8, 2, true); }));
    EXPECT_TRUE(FatalWith("no z buffer"));
}

TEST_F(StartupTest, BudgetOfA640By480PaletteMode) {
    Start();
    const sDisplayMode* m = FindEntry(driver, 640, 480, BK_INDEX8);
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(8, m->bitsPerPixel);
    EXPECT_EQ(2, m->backBuffers);
    EXPECT_TRUE(m->hasZBuffer);
    EXPECT_EQ(2, m->backBuffersWithZ);
    EXPECT_EQ(6852608, m->memoryLeft);
    EXPECT_EQ(0, m->refreshRate);
    EXPECT_TRUE(m->has3D);
    EXPECT_NE(std::string::npos,
              Log().find("Mode 0640 x 0480, 08 (Index 8), 000 Hz, 2 backbuffers,  6692 kytes "
                         "left, ZBuffer\n"));
    EXPECT_EQ(8u * 1024 * 1024, driver->videoMemory);
}

TEST_F(StartupTest, BudgetOfLargeTrueColourModes) {
    video::CardSpec card = video::DefaultCard();
    card.modes = {video::ModeSpec{1280, 1024, video::Xrgb8888Format(), 60},
                  video::ModeSpec{1600, 1200, video::Xrgb8888Format(), 60}};
    card.videoMemory = 32 * 1024 * 1024; // the budget assumes 8 MB whatever the card has
    Start(card);
    ASSERT_EQ(2, driver->GetModeCount());
    const sDisplayMode* big = driver->GetMode(0);
    EXPECT_EQ(0, big->backBuffers);
    EXPECT_TRUE(big->hasZBuffer);
    EXPECT_EQ(524288, big->memoryLeft);
    const sDisplayMode* huge = driver->GetMode(1);
    EXPECT_EQ(0, huge->backBuffers);
    EXPECT_FALSE(huge->hasZBuffer);
    EXPECT_EQ(0, huge->backBuffersWithZ);
    EXPECT_EQ(708608, huge->memoryLeft);
    EXPECT_NE(std::string::npos, Log().find("Mode 1600 x 1200, 32 (8888-32), 000 Hz, 0 "
                                            "backbuffers,   692 kytes left\n"));
}

TEST_F(StartupTest, UnknownScreenFormatsAreLoggedInBothPassesAndLeftOut) {
    video::CardSpec card = video::DefaultCard();
    card.modes.push_back(video::ModeSpec{720, 480, video::YuyvFormat(), 60});
    Start(card);
    EXPECT_EQ(12, driver->GetModeCount());
    EXPECT_EQ(2, Count(Log(), "\nUnknown Displayformat:00000204 16 : "));
    for (int i = 0; i < driver->GetModeCount(); i++) EXPECT_NE(720, driver->GetMode(i)->width);
}

TEST_F(StartupTest, TheDefaultCardOffersOnlyModesTheDriverKnows) {
    Start();
    EXPECT_EQ(12, driver->GetModeCount());
    EXPECT_EQ(0, Count(Log(), "Unknown Displayformat"));
}

TEST_F(StartupTest, ClassifiesEveryScreenFormat) {
    DDPIXELFORMAT f = {};
    f.dwFlags = DDPF_PALETTEINDEXED1;
    EXPECT_EQ(BK_MONO, ClassifyPixelFormat(f));
    f.dwFlags = DDPF_PALETTEINDEXED4;
    EXPECT_EQ(BK_INDEX4, ClassifyPixelFormat(f));
    EXPECT_EQ(BK_INDEX8, ClassifyPixelFormat(video::Index8Format()));
    EXPECT_EQ(BK_0565, ClassifyPixelFormat(video::Rgb565Format()));
    EXPECT_EQ(BK_1555, ClassifyPixelFormat(video::Rgb555Format()));
    EXPECT_EQ(BK_1555, ClassifyPixelFormat(video::Argb1555Format())); // alpha is not examined
    EXPECT_EQ(BK_0888, ClassifyPixelFormat(video::Rgb888Format()));
    EXPECT_EQ(BK_8888, ClassifyPixelFormat(video::Xrgb8888Format()));
    EXPECT_EQ(-1, ClassifyPixelFormat(video::Argb4444Format())); // no screen is 4444
    EXPECT_NE(std::string::npos,
              Log().find("\nUnknown Displayformat:00000041 16 : 00000F00 000000F0 0000000F"));
}

// A texture format is known by its alpha mask too: alpha kinds need the alpha flag and mask,
// the others must have no alpha flag, and two-bit palettes have no kind.
TEST_F(StartupTest, ClassifiesEveryTextureFormat) {
    DDPIXELFORMAT twoBit = {}, fourBit = {}, alphaFlagWithoutMask = video::Rgb565Format();
    twoBit.dwFlags = DDPF_PALETTEINDEXED2;
    fourBit.dwFlags = DDPF_PALETTEINDEXED4;
    alphaFlagWithoutMask.dwFlags |= DDPF_ALPHAPIXELS;
    const struct {
        DDPIXELFORMAT format;
        int kind;
    } cases[] = {
        {video::Argb1555Format(), BK_1555},
        {video::Rgb555Format(), -1},
        {video::Argb4444Format(), BK_4444},
        {video::Rgb565Format(), BK_0565},
        {alphaFlagWithoutMask, -1},
        {video::Rgb888Format(), BK_0888},
        {video::Argb8888Format(), BK_8888},
        {video::Xrgb8888Format(), -1},
        {video::Index8Format(), BK_INDEX8},
        {fourBit, BK_INDEX4},
        {twoBit, -1},
        {video::YuyvFormat(), -1},
    };
    for (const auto& c : cases) {
        const DDPIXELFORMAT& f = c.format;
        EXPECT_EQ(c.kind, PixelKindOf(f, FU_TEXTURE))
            << std::hex << f.dwFlags << " " << f.dwRGBBitCount << " " << f.dwRBitMask << " "
            << f.dwRGBAlphaBitMask;
    }
}

TEST_F(StartupTest, DriverRegistersItselfAsTheDisplay) {
    ClearDevices();
    Start();
    EXPECT_EQ(driver, theDisplay);
    EXPECT_EQ(driver, GetDevice(DK_DISPLAY, -1));
    EXPECT_STREQ("Primary Display", driver->name);
    EXPECT_EQ(10, driver->priority);
    EXPECT_EQ(sizeof(DDBLTFX), driver->fillFx.dwSize);
    EXPECT_EQ(sizeof(DDSURFACEDESC), driver->lockDesc.dwSize);
    EXPECT_EQ(0, driver->GetKind());
    ClearDevices();
}

TEST_F(StartupTest, FailedVideoMemoryQueryIsFatal) {
    video::CardSpec card = video::DefaultCard();
    card.videoMemoryQueryFails = true;
    video::SetCard(card);
    StartDirectDraw();
    EXPECT_EQ(666u, RunOnThread([this] { driver = new sWinDriver; }));
    EXPECT_TRUE(FatalWith("could not determine video memory size"));
    EXPECT_EQ(nullptr, directDraw); // the fatal end gave DirectDraw back
}

TEST_F(StartupTest, ReleaseTwiceDoesNothingTheSecondTime) {
    Start();
    delete driver;
    driver = nullptr;
    ReleaseDirectDraw();
    EXPECT_EQ(nullptr, directDraw);
    EXPECT_EQ(nullptr, directDraw2);
    EXPECT_EQ(nullptr, direct3D);
    ReleaseDirectDraw();
    // Exclusive access was given back: another program (or a new start) can take it.
    IDirectDraw* dd = nullptr;
    ASSERT_EQ(DD_OK, DirectDrawCreate(NULL, &dd, NULL));
    EXPECT_EQ(DD_OK, dd->SetCooperativeLevel(mainWindow, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN));
    dd->Release();
}

using StartupDeathTest = DriverTest;

TEST_F(StartupDeathTest, MissingDirectXEndsThroughTheMessageBox) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        void (*change)(video::CardSpec&);
        const char* text;
    };
    const Case cases[] = {
        {[](video::CardSpec& c) { c.directDrawMissing = true; },
         "No Direct Draw V5.0 or later installed!"},
        {[](video::CardSpec& c) { c.exclusiveRefused = true; },
         "Could not get exclusive Direct Draw access"},
        {[](video::CardSpec& c) { c.directDraw2Missing = true; },
         "No Direct Draw V5.0 or later installed!"},
        {[](video::CardSpec& c) { c.direct3DMissing = true; }, "No Direct 3D found"},
    };
    for (const Case& c : cases) {
        video::CardSpec card = video::DefaultCard();
        c.change(card);
        EXPECT_EXIT(
            {
                video::SetCard(card);
                StartDirectDraw();
            },
            ::testing::ExitedWithCode(1), c.text);
    }
}

} // namespace
