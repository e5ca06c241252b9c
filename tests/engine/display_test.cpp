// sDisplay: the closest-mode search, colour packing per pixel kind and the texture list.
#include "windriver_fixture_test.h"

namespace {

class DisplayTest : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        Start();
    }

    // Replaces the driver's mode table (the driver frees it).
    void UseModes(std::initializer_list<sDisplayMode> table) {
        delete[] driver->modes;
        driver->modeCount = (int)table.size();
        driver->modes = table.size() ? new sDisplayMode[table.size()] : nullptr;
        int i = 0;
        for (const sDisplayMode& m : table) driver->modes[i++] = m;
    }

    static sDisplayMode Offered(int w, int h, int kind, bool z = true, int backs = 2,
                                int backsWithZ = 2, int left = 1000000) {
        sDisplayMode m(w, h, kind);
        m.hasZBuffer = z;
        m.backBuffers = backs;
        m.backBuffersWithZ = backsWithZ;
        m.memoryLeft = left;
        m.has3D = true;
        return m;
    }
};

TEST_F(DisplayTest, ModeRecordDefaultsAndBitsFollowTheKind) {
    const int bits[8] = {1, 4, 8, 16, 16, 16, 24, 32};
    for (int k = 0; k < 8; k++) {
        sDisplayMode m(320, 200, k);
        EXPECT_EQ(bits[k], m.bitsPerPixel);
        EXPECT_EQ(0, m.refreshRate);
        EXPECT_EQ(2, m.backBuffers);
        EXPECT_FALSE(m.hasZBuffer);
    }
    EXPECT_EQ(666u, RunOnThread([] { sDisplayMode bad(1, 1, 8); }));
    EXPECT_NE(std::string::npos, Log().find("Fatal:Assertion in line"));
}

TEST_F(DisplayTest, EmptyTableFindsNothingButStillSetsTheRefreshRate) {
    UseModes({});
    sDisplayMode request(640, 480, BK_INDEX8);
    EXPECT_FALSE(driver->FindMode(request));
    EXPECT_EQ(75, request.refreshRate);
}

TEST_F(DisplayTest, ZBufferRequestNeverTakesAModeWithoutOne) {
    UseModes({Offered(640, 480, BK_INDEX8, false), Offered(1024, 768, BK_8888, true)});
    sDisplayMode request(640, 480, BK_INDEX8);
    request.hasZBuffer = true;
    ASSERT_TRUE(driver->FindMode(request));
    EXPECT_EQ(1024, request.width);
    EXPECT_EQ(BK_8888, request.kind);
    EXPECT_EQ(32, request.bitsPerPixel);
    // Z with back buffers needs room for a back buffer next to the Z-buffer.
    UseModes({Offered(640, 480, BK_INDEX8, true, 2, 0)});
    sDisplayMode again(640, 480, BK_INDEX8);
    again.hasZBuffer = true;
    EXPECT_FALSE(driver->FindMode(again));
    again.backBuffers = 0;
    EXPECT_TRUE(driver->FindMode(again));
}

TEST_F(DisplayTest, EqualScoresKeepTheEarlierMode) {
    // Both 8 pixels away in width, in opposite directions.
    UseModes({Offered(648, 480, BK_INDEX8, true, 1, 1, 5), Offered(632, 480, BK_INDEX8)});
    sDisplayMode request(640, 480, BK_INDEX8);
    ASSERT_TRUE(driver->FindMode(request));
    EXPECT_EQ(648, request.width);
    EXPECT_EQ(1, request.backBuffers); // the smaller of the two
    EXPECT_EQ(5, request.memoryLeft);
}

TEST_F(DisplayTest, KindDistanceOutweighsSize) {
    UseModes({Offered(640, 480, BK_0565), Offered(800, 600, BK_INDEX8)});
    sDisplayMode request(640, 480, BK_INDEX8);
    ASSERT_TRUE(driver->FindMode(request));
    EXPECT_EQ(800, request.width);
    EXPECT_EQ(600, request.height);
    EXPECT_EQ(BK_INDEX8, request.kind);
}

TEST_F(DisplayTest, MemoryRequirementAndUntouchedRequestFields) {
    UseModes({Offered(640, 480, BK_INDEX8, true, 2, 2, 100), Offered(800, 600, BK_INDEX8)});
    sDisplayMode request(640, 480, BK_INDEX8);
    request.memoryLeft = 200;
    request.backBuffersWithZ = 7;
    request.has3D = true;
    ASSERT_TRUE(driver->FindMode(request));
    EXPECT_EQ(800, request.width);
    EXPECT_EQ(1000000, request.memoryLeft);
    EXPECT_EQ(7, request.backBuffersWithZ);
    EXPECT_TRUE(request.has3D);
    EXPECT_FALSE(request.hasZBuffer);
}

TEST_F(DisplayTest, ScoreOrdersPenaltyKindSizeAndRefresh) {
    sDisplayMode request(640, 480, BK_0565);
    request.hasZBuffer = true;
    request.has3D = true;
    request.refreshRate = 75;
    sDisplayMode m(640 + 8 * 300, 480, BK_8888);
    m.refreshRate = 0;
    // penalty 3, kind distance 6, size capped at 255, refresh 75
    EXPECT_EQ(((3 * 256 + 6) * 256 + 255) * 256 + 75, ScoreMode(request, m));
    sDisplayMode near(648, 488, BK_0565);
    near.hasZBuffer = near.has3D = true;
    near.refreshRate = 75 + 400;
    EXPECT_EQ((1 + 1 + 1) * 256 + 255, ScoreMode(request, near));
    EXPECT_EQ(9, KindDistance[BK_8888][BK_MONO]);
    EXPECT_EQ(1, KindDistance[BK_MONO][BK_INDEX8]);
}

struct PackCase {
    int kind;
    unsigned white;
    unsigned sample; // ColorToIndex(0x12, 0x34, 0x56, 0x9A)
};

TEST_F(DisplayTest, ColorToIndexPacksForEveryKind) {
    const PackCase cases[] = {
        {BK_MONO, 255, 0x12},          {BK_INDEX4, 255, 0x12},
        {BK_INDEX8, 255, 0x12},        {BK_0565, 0xFFFF, 0x11AA},
        {BK_1555, 0xFFFF, 0x88CA},     {BK_4444, 0xFFFF, 0x9135},
        {BK_0888, 0xFFFFFF, 0x123456}, {BK_8888, 0xFFFFFFFF, 0x9A123456},
    };
    for (const PackCase& c : cases) {
        driver->kind = c.kind;
        EXPECT_EQ(c.white, driver->ColorToIndex(255, 255, 255, 255)) << c.kind;
        EXPECT_EQ(c.sample, driver->ColorToIndex(0x12, 0x34, 0x56, 0x9A)) << c.kind;
        sColor col = {0x12, 0x34, 0x56, 0x9A};
        EXPECT_EQ(c.sample, driver->ColorToIndex(col)) << c.kind;
    }
}

TEST_F(DisplayTest, IndexToColorUnpacksForEveryKind) {
    sColor out = {1, 2, 3, 4};
    for (int k = BK_MONO; k <= BK_INDEX8; k++) {
        driver->kind = k;
        driver->IndexToColor(0xFFFFFFFF, out);
        EXPECT_EQ(1, out.r);
        EXPECT_EQ(4, out.a);
    }
    driver->kind = BK_1555;
    driver->IndexToColor(0x7C00, out);
    EXPECT_EQ((sColor{248, 0, 0, 0}).r, out.r);
    EXPECT_EQ(0, out.g);
    EXPECT_EQ(0, out.b);
    EXPECT_EQ(0, out.a);
    driver->kind = BK_0565;
    driver->IndexToColor(0xFFFF, out);
    EXPECT_EQ(248, out.r); // the high bits are not repeated into the low ones
    EXPECT_EQ(252, out.g);
    EXPECT_EQ(248, out.b);
    EXPECT_EQ(255, out.a);
    driver->kind = BK_4444;
    driver->IndexToColor(0x9135, out);
    EXPECT_EQ(0x11, out.r);
    EXPECT_EQ(0x33, out.g);
    EXPECT_EQ(0x55, out.b);
    EXPECT_EQ(0x99, out.a);
    driver->kind = BK_0888;
    out.a = 77;
    driver->IndexToColor(0xAB123456, out);
    EXPECT_EQ(0x12, out.r);
    EXPECT_EQ(0x56, out.b);
    EXPECT_EQ(77, out.a);
    driver->kind = BK_8888;
    driver->IndexToColor(0xAB123456, out);
    EXPECT_EQ(0xAB, out.a);
}

TEST_F(DisplayTest, RoundTripThroughTheDirectColourKinds) {
    // Values that survive each kind's precision come back unchanged.
    for (int k = BK_0565; k <= BK_8888; k++) {
        driver->kind = k;
        for (unsigned v : {0x0000u, 0x8421u, 0xF81Fu, 0x7FFFu}) {
            unsigned raw = k >= BK_0888 ? v * 0x10101u & 0xFFFFFF : v;
            if (k == BK_8888) raw |= 0xC0000000;
            sColor c = {};
            driver->IndexToColor(raw, c);
            EXPECT_EQ(raw, driver->ColorToIndex(c)) << "kind " << k << " raw " << raw;
        }
    }
}

TEST_F(DisplayTest, UnknownKindEndsWithTheMessage) {
    driver->kind = 9;
    EXPECT_EQ(666u, RunOnThread([this] { driver->ColorToIndex(1, 2, 3, 4); }));
    EXPECT_TRUE(FatalWith("sDisplay::ColorToIndex() unknown bitmap kind"));
    sColor out;
    EXPECT_EQ(666u, RunOnThread([this, &out] { driver->IndexToColor(1, out); }));
    EXPECT_TRUE(FatalWith("sDisplay::IndexToColor() unknown bitmap kind"));
}

TEST_F(DisplayTest, TextureListKeepsNoOrderOnRemoval) {
    sTexture t[3] = {};
    EXPECT_EQ(1, driver->AddTexture(&t[0]));
    EXPECT_EQ(2, driver->AddTexture(&t[1]));
    EXPECT_EQ(3, driver->AddTexture(&t[2]));
    driver->RemoveTexture(&t[0]);
    EXPECT_EQ(2, driver->GetTextureCount());
    EXPECT_EQ(&t[2], driver->GetTexture(0));
    EXPECT_EQ(&t[1], driver->GetTexture(1));
    EXPECT_EQ(666u, RunOnThread([this, &t] { driver->RemoveTexture(&t[0]); }));
    EXPECT_EQ(666u, RunOnThread([this] { driver->GetTexture(2); }));
    EXPECT_EQ(666u, RunOnThread([this] { driver->GetTexture(-1); }));
    EXPECT_EQ(3, Count(Log(), "Fatal:Assertion in line"));
}

TEST_F(DisplayTest, TextureListRefusesA257thEntry) {
    sTexture t = {};
    for (int i = 0; i < MAX_TEXTURES; i++) driver->AddTexture(&t);
    EXPECT_EQ(666u, RunOnThread([this, &t] { driver->AddTexture(&t); }));
    EXPECT_EQ(MAX_TEXTURES, driver->GetTextureCount());
}

} // namespace
