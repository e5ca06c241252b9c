// End to end: pixels written through Lock and a palette set during the frame come out of
// the headless recording exactly, numbered by the virtual clock.
#include "windriver_fixture_test.h"

#include "host/headless/capture.h"

#include <stdlib.h>
#include <unistd.h>

#include <vector>

namespace {

class CaptureTest : public DriverTest {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/prismatel_capture_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir = pattern;
        Configure(50, [this](host::Settings& s) { s.captureDir = dir; });
    }

    void TearDown() override {
        DriverTest::TearDown();
        std::string command = "rm -rf '" + dir + "'";
        if (system(command.c_str()) != 0) ADD_FAILURE() << "could not remove " << dir;
    }

    static void MakePalette(sColor* colors, int seed) {
        for (int i = 0; i < 256; i++)
            colors[i] = sColor{(uint8_t)(i * seed), (uint8_t)(255 - i), (uint8_t)(i ^ seed), 0};
    }

    static uint8_t Pattern(int x, int y, int seed) { return (uint8_t)((x * 3 + y * seed) & 0xFF); }

    // One frame drawn through Lock with a palette handed over during it.
    void DrawFrame(int seed) {
        driver->BeginFrame(nullptr);
        sBitmap b;
        driver->Lock(b);
        ASSERT_NE(nullptr, b.levelData[0]);
        for (int y = 0; y < b.height; y++)
            for (int x = 0; x < b.width; x++) *b.PixelAddress(x, y, 0) = Pattern(x, y, seed);
        sColor colors[256];
        MakePalette(colors, seed);
        driver->SetPalette(colors);
        driver->EndFrame();
    }

    void ExpectRecorded(int frame, int seed) {
        std::vector<uint32_t> rgb;
        int w = 0, h = 0;
        ASSERT_TRUE(capture::ReadPng(capture::FramePath(dir, frame), rgb, w, h)) << frame;
        ASSERT_EQ(640, w);
        ASSERT_EQ(480, h);
        sColor colors[256];
        MakePalette(colors, seed);
        int wrong = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const sColor& c = colors[Pattern(x, y, seed)];
                uint32_t expected = (uint32_t)c.r << 16 | (uint32_t)c.g << 8 | c.b;
                if (rgb[(size_t)y * w + x] != expected) wrong++;
            }
        EXPECT_EQ(0, wrong) << "frame " << frame;
    }

    bool Exists(int frame) { return access(capture::FramePath(dir, frame).c_str(), F_OK) == 0; }

    std::string dir;
};

TEST_F(CaptureTest, RecordingShowsWhatWasWrittenWithThePaletteOfItsFrame) {
    Start();
    SetMode(640, 480, BK_INDEX8);
    DrawFrame(3);
    EXPECT_EQ(20000, machine::ClockMicroseconds()); // one frame at 50 per second
    DrawFrame(5);
    DrawFrame(7);
    EXPECT_EQ(3, machine::FramesShown());
    delete driver; // the last frame is shown when the screen goes away
    driver = nullptr;
    ExpectRecorded(0, 3);
    ExpectRecorded(1, 5);
    ExpectRecorded(2, 7);
    EXPECT_FALSE(Exists(3));
}

TEST_F(CaptureTest, KeepsEveryKthFrameUnderItsClockNumber) {
    Configure(50, [this](host::Settings& s) {
        s.captureDir = dir;
        s.captureEvery = 2;
    });
    Start();
    SetMode(640, 480, BK_INDEX8);
    for (int seed = 1; seed <= 5; seed++) DrawFrame(seed);
    delete driver;
    driver = nullptr;
    EXPECT_TRUE(Exists(0));
    EXPECT_FALSE(Exists(1));
    EXPECT_TRUE(Exists(2));
    EXPECT_FALSE(Exists(3));
    ExpectRecorded(4, 5);
}

} // namespace
