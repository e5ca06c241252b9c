// The driver's 2D operations and textures on the software DirectDraw: exact pixels in
// Index 8, 5-6-5 and 1-5-5-5 screens, read back through Lock.
#include "windriver_fixture_test.h"

#include <functional>
#include <vector>

namespace {

class Draw2DTest : public DriverTest {
protected:
    // The 1-5-5-5 cases run on a card whose 16-bit modes are 1-5-5-5: the mode switch takes
    // a depth, so the screen's layout is the card's, and the driver must pack for it.
    void SetUpScreen(int kind) {
        video::CardSpec card = video::DefaultCard();
        for (video::ModeSpec& m : card.modes)
            if (kind == BK_1555 && m.format.dwRGBBitCount == 16) m.format = video::Rgb555Format();
        Start(card);
        SetMode(640, 480, kind);
        ASSERT_EQ(kind, driver->GetKind());
        const struct {
            int kind;
            DWORD redMask;
        } screens[] = {{BK_INDEX8, 0}, {BK_0565, 0xF800}, {BK_1555, 0x7C00}};
        for (const auto& s : screens) {
            if (s.kind != kind) continue;
            ASSERT_EQ(s.redMask, video::ReadScreen().format.dwRBitMask);
        }
        Clear(0);
    }

    void Clear(unsigned raw) {
        driver->ClearClip();
        driver->FillRect(raw, 0, 0, 640, 480);
    }

    unsigned Pixel(int x, int y) {
        sBitmap view;
        driver->Lock(view);
        EXPECT_NE(nullptr, view.levelData[0]);
        return view.levelData[0] ? view.GetPixel(x, y, 0) : 0xDEAD;
    }

    // Coordinates of every pixel in the 40 x 20 top-left corner that is not `background`.
    std::vector<std::pair<int, int>> Drawn(unsigned background = 0) {
        std::vector<std::pair<int, int>> out;
        for (int y = 0; y < 20; y++)
            for (int x = 0; x < 40; x++)
                if (Pixel(x, y) != background) out.push_back({x, y});
        return out;
    }

    using Points = std::vector<std::pair<int, int>>;
};

TEST_F(Draw2DTest, LinesAndRectanglesDrawExactlyTheirPixels) {
    SetUpScreen(BK_INDEX8);
    driver->HLine(7, 5, 5, 0);
    EXPECT_EQ((Points{{5, 0}}), Drawn());

    Clear(0);
    driver->FrameRect(9, 0, 0, 4, 3);
    EXPECT_EQ(
        (Points{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 1}, {3, 1}, {0, 2}, {1, 2}, {2, 2}, {3, 2}}),
        Drawn());

    Clear(0);
    driver->VLine(3, 2, 1, 4);
    EXPECT_EQ((Points{{2, 1}, {2, 2}, {2, 3}, {2, 4}}), Drawn());

    Clear(0);
    driver->FillRect(5, 1, 1, 3, 3);
    EXPECT_EQ((Points{{1, 1}, {2, 1}, {1, 2}, {2, 2}}), Drawn());
    EXPECT_EQ(5u, Pixel(2, 2));
}

TEST_F(Draw2DTest, ClippingLimitsFillsAndLines) {
    SetUpScreen(BK_INDEX8);
    sRect clip = {2, 2, 10, 10};
    driver->SetClip(&clip);
    driver->FillRect(5, 5, 0, 5, 10); // empty
    driver->HLine(5, 0, 20, 1);       // above the clip
    driver->HLine(5, 0, 20, 3);
    driver->VLine(6, 12, 0, 20); // right of the clip
    driver->FillRect(7, 0, 8, 20, 20);
    EXPECT_EQ(0u, Pixel(1, 3));
    EXPECT_EQ(5u, Pixel(2, 3));
    EXPECT_EQ(5u, Pixel(9, 3));
    EXPECT_EQ(0u, Pixel(10, 3));
    EXPECT_EQ(0u, Pixel(5, 1));
    EXPECT_EQ(0u, Pixel(12, 5));
    EXPECT_EQ(7u, Pixel(9, 9));
    EXPECT_EQ(0u, Pixel(9, 10));
    EXPECT_EQ(0u, Pixel(1, 9));

    // SetClip(NULL) clips to the screen; ClearClip turns clipping off.
    driver->SetClip(nullptr);
    EXPECT_TRUE(driver->clipOn);
    EXPECT_EQ(640, driver->clip.x1);
    driver->BeginFrame(nullptr);
    EXPECT_FALSE(driver->clipOn);
}

TEST_F(Draw2DTest, LineAndItsReversePlotTheSamePixels) {
    SetUpScreen(BK_INDEX8);
    const Points expected = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}};
    driver->Line(4, 0, 0, 4, 2);
    Points forward = Drawn();
    Clear(0);
    driver->Line(4, 4, 2, 0, 0);
    Points backward = Drawn();
    std::sort(forward.begin(), forward.end(), [](auto a, auto b) { return a.first < b.first; });
    std::sort(backward.begin(), backward.end(), [](auto a, auto b) { return a.first < b.first; });
    EXPECT_EQ(expected, forward);
    EXPECT_EQ(expected, backward);

    Clear(0);
    driver->Line(2, 3, 0, 3, 5); // vertical
    EXPECT_EQ((Points{{3, 0}, {3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 5}}), Drawn());
}

TEST_F(Draw2DTest, ClippedLinesRunBetweenTheirClippedEndPoints) {
    SetUpScreen(BK_INDEX8);
    sRect clip = {5, 5, 15, 15};
    // Each end moves onto the clip along the slope (truncating), and the line is walked from
    // there: (0, 2)-(30, 17) runs from (7, 5) to (14, 10), where the unclipped line would
    // enter the clip at (6, 5). Reversed and steep lines take the other branches; the slope
    // stays the one of the ends passed in.
    const struct {
        int x0, y0, x1, y1;
        Points expected;
    } lines[] = {
        // clang-format off
        {0, 2, 30, 17, {{7, 5}, {8, 6}, {9, 6}, {10, 7}, {11, 8}, {12, 8}, {13, 9}, {14, 10}}},
        {20, 0, 0, 19, {{14, 5}, {13, 6}, {12, 7}, {11, 8}, {10, 9}, {9, 10}, {8, 11}, {7, 12},
                        {6, 13}, {5, 14}}},
        {-3, -12, 11, 17, {{5, 5}, {6, 6}, {6, 7}, {7, 8}, {8, 9}, {8, 10}, {9, 11}, {10, 12},
                           {10, 13}, {11, 14}}},
        // clang-format on
    };
    auto byRow = [](Points p) {
        std::sort(p.begin(), p.end(), [](auto a, auto b) { return a.second < b.second; });
        return p;
    };
    for (const auto& l : lines) {
        SCOPED_TRACE(testing::Message() << l.x0 << "," << l.y0 << " " << l.x1 << "," << l.y1);
        Clear(0);
        driver->SetClip(&clip);
        driver->Line(1, l.x0, l.y0, l.x1, l.y1);
        EXPECT_EQ(byRow(l.expected), byRow(Drawn()));
    }
    // Nothing visible: left of the clip, and across its corner with both clipped ends outside,
    // where Plot's own test drops the pixels. Neither takes the lock.
    Clear(0);
    driver->SetClip(&clip);
    driver->Line(1, 0, 0, 4, 30);
    driver->Line(1, 0, 14, 6, 20);
    EXPECT_FALSE(driver->locked);
    EXPECT_TRUE(Drawn().empty());
}

TEST_F(Draw2DTest, SoftwareDrawingHoldsOneLockUntilTheNextBlit) {
    SetUpScreen(BK_INDEX8);
    auto* back = static_cast<ddsoft::Surface*>(driver->back);
    const struct {
        const char* step;
        std::function<void()> draw;
        int x, y;
        unsigned value;
        bool locked;
    } steps[] = {
        {"Plot", [&] { driver->Plot(3, 1, 1); }, 1, 1, 3, true},
        {"Plot again", [&] { driver->Plot(4, 2, 1); }, 2, 1, 4, true},
        {"FillRect", [&] { driver->FillRect(5, 0, 2, 4, 3); }, 3, 2, 5, false},
        {"Plot after the blit", [&] { driver->Plot(6, 1, 1); }, 1, 1, 6, true},
    };
    ASSERT_FALSE(back->Locked());
    int locks = 0;
    for (const auto& s : steps) {
        bool before = back->Locked();
        s.draw();
        EXPECT_EQ(s.locked, back->Locked()) << s.step;
        EXPECT_EQ(s.value, back->Memory()[s.y * back->Pitch() + s.x]) << s.step;
        locks += !before && back->Locked();
    }
    EXPECT_EQ(2, locks);
}

TEST_F(Draw2DTest, PlotStoresEveryDepth) {
    SetUpScreen(BK_0565);
    driver->Plot(0xF81F, 3, 4);
    EXPECT_EQ(0xF81Fu, Pixel(3, 4));
    EXPECT_EQ(0u, Pixel(4, 4));
    sRect clip = {0, 0, 3, 3};
    driver->SetClip(&clip);
    driver->Plot(0xFFFF, 3, 1);
    EXPECT_EQ(0u, Pixel(3, 1));
}

// A 4 x 2 Index 8 bitmap whose palette entries carry alpha.
sBitmap* MakeIndexBitmap() {
    sBitmap* b = new sBitmap;
    b->Create(4, 2, BK_INDEX8, 1);
    b->palette[1] = {255, 0, 0, 255};    // opaque red
    b->palette[2] = {0, 255, 0, 0};      // transparent
    b->palette[7] = {200, 100, 40, 128}; // half
    const uint8_t pixels[8] = {1, 2, 7, 1, 7, 7, 2, 2};
    for (int i = 0; i < 8; i++) b->SetPixel(pixels[i], i % 4, i / 4, 0);
    return b;
}

TEST_F(Draw2DTest, IndexedBitmapOnA565ScreenCopiesBlendsAndSkips) {
    SetUpScreen(BK_0565);
    Clear(0x001F); // blue
    sBitmap* b = MakeIndexBitmap();
    sBlitRect r = {0, 0, 10, 10, 4, 2};
    driver->BlitBitmap(b, r);
    EXPECT_EQ(0xF800u, Pixel(10, 10)); // opaque red
    EXPECT_EQ(0x001Fu, Pixel(11, 10)); // transparent: untouched
    // Half of (200, 100, 40) over (0, 0, 248): each channel c + (128 * (p - c)) >> 8.
    int red = (128 * 200) >> 8, green = (128 * 100) >> 8, blue = 248 + ((128 * (40 - 248)) >> 8);
    unsigned blended = (red & 0xF8) << 8 | (green & 0xFC) << 3 | blue >> 3;
    EXPECT_EQ(blended, Pixel(12, 10));
    EXPECT_EQ(blended, Pixel(10, 11));
    delete b;
}

TEST_F(Draw2DTest, IndexedBitmapOnA1555ScreenBlendsInItsOwnLayout) {
    SetUpScreen(BK_1555);
    Clear(0x7C00); // red, alpha bit clear
    sBitmap* b = MakeIndexBitmap();
    sBlitRect r = {0, 0, 0, 0, 4, 2};
    driver->BlitBitmap(b, r);
    EXPECT_EQ(0xFC00u, Pixel(0, 0)); // opaque red packs with its alpha bit
    int red = 248 + ((128 * (200 - 248)) >> 8), green = (128 * 100) >> 8, blue = (128 * 40) >> 8;
    unsigned blended = (red & 0xF8) << 7 | (green & 0xF8) << 2 | blue >> 3;
    EXPECT_EQ(blended, Pixel(2, 0));
    delete b;
}

TEST_F(Draw2DTest, SixteenBitBitmapsConvertBetweenLayouts) {
    SetUpScreen(BK_1555);
    sBitmap b;
    b.Create(2, 1, BK_0565, 1);
    b.SetPixel(0xFFFF, 0, 0, 0);
    b.SetPixel(0x07E0, 1, 0, 0); // pure green
    sBlitRect r = {0, 0, 0, 0, 2, 1};
    driver->BlitBitmap(&b, r);
    EXPECT_EQ(0x7FFFu, Pixel(0, 0));
    EXPECT_EQ(0x03E0u, Pixel(1, 0));
}

TEST_F(Draw2DTest, MonoBlitsWalkPartialFirstAndLastBytes) {
    SetUpScreen(BK_0565);
    sTexture t = {};
    sBitmap* mono = new sBitmap;
    mono->Create(24, 1, BK_MONO, 1);
    mono->Fill(0);
    for (int x : {3, 7, 8, 15, 16, 20}) mono->SetPixel(1, x, 0, 0);
    t.bitmap = mono;
    t.width = 24;
    t.height = 1;
    sBlitRect r = {3, 0, 100, 5, 18, 1}; // bits 3..20
    driver->BlitMono(&t, r, 0x1234);
    std::vector<int> set;
    for (int x = 95; x < 125; x++)
        if (Pixel(x, 5) == 0x1234) set.push_back(x - 100 + 3);
    EXPECT_EQ((std::vector<int>{3, 7, 8, 15, 16, 20}), set);

    sBlitRect r2 = {3, 0, 100, 6, 18, 1};
    driver->BlitMono(&t, r2, 0x1111, 0x2222);
    EXPECT_EQ(0x1111u, Pixel(100, 6));
    EXPECT_EQ(0x2222u, Pixel(101, 6));
    EXPECT_EQ(0u, Pixel(99, 6));
    EXPECT_EQ(0x1111u, Pixel(117, 6));
    EXPECT_EQ(0u, Pixel(118, 6));
    delete mono;
}

// A TT_IMAGE record over an Index 8 bitmap with a grey palette.
sTexture* MakeImage(int width, int height) {
    sTexture* t = new sTexture{};
    t->bitmap = new sBitmap;
    t->bitmap->Create(width, height, BK_INDEX8, 1);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) t->bitmap->SetPixel((x + 10 * y) & 0xFF, x, y, 0);
    t->tag = -1;
    t->type = TT_IMAGE;
    return t;
}

TEST_F(Draw2DTest, ImagesAreCopiedAsTheyAreForAnIndexedScreenAndBlitWithClipping) {
    SetUpScreen(BK_INDEX8);
    sTexture* t = MakeImage(16, 8);
    driver->AddTexture(t);
    driver->PrepareTextures(driver->current);
    EXPECT_EQ(BK_INDEX8, t->kind);
    driver->UploadTextures();
    ASSERT_NE(nullptr, t->videoSurface);

    sRect clip = {20, 0, 640, 480};
    driver->SetClip(&clip);
    sBlitRect r = {0, 0, 17, 2, 16, 8}; // starts 3 pixels left of the clip
    driver->Blit(t, r);
    EXPECT_EQ(3, r.srcX);
    EXPECT_EQ(13, r.width);
    EXPECT_EQ(20, r.dstX);
    EXPECT_EQ(3u, Pixel(20, 2));
    EXPECT_EQ(15u + 10u * 7u, Pixel(32, 9));
    EXPECT_EQ(0u, Pixel(19, 2));

    // A second upload makes no new surfaces and copies again.
    DWORD used = video::VideoMemoryUsed();
    IDirectDrawSurface* surface = t->videoSurface;
    driver->UploadTextures();
    EXPECT_EQ(surface, t->videoSurface);
    EXPECT_EQ(used, video::VideoMemoryUsed());

    EXPECT_EQ(1, driver->FreeTextures());
    EXPECT_EQ(nullptr, t->bitmap);
    EXPECT_EQ(nullptr, t->videoSurface);
    EXPECT_LT(video::VideoMemoryUsed(), used);
    driver->RemoveTexture(t);
    delete t;
}

TEST_F(Draw2DTest, ImagesAreConvertedForA565Screen) {
    SetUpScreen(BK_0565);
    sTexture* t = MakeImage(4, 2);
    driver->AddTexture(t);
    driver->PrepareTextures(driver->current);
    EXPECT_EQ(BK_0565, t->kind);
    driver->UploadTextures();
    sBlitRect r = {0, 0, 0, 0, 4, 2};
    driver->Blit(t, r);
    // The grey palette's entry 12 packed as 5-6-5.
    EXPECT_EQ((12u & 0xF8) << 8 | (12u & 0xFC) << 3 | 12u >> 3, Pixel(2, 1));
    driver->FreeTextures();
    driver->RemoveTexture(t);
    delete t;
}

TEST_F(Draw2DTest, RecordsOfOtherTypesGetNoSurfaces) {
    SetUpScreen(BK_INDEX8);
    sTexture* t = MakeImage(4, 4);
    t->type = 7;
    driver->AddTexture(t);
    driver->PrepareTextures(driver->current);
    driver->UploadTextures();
    EXPECT_TRUE(t->prepared);
    EXPECT_EQ(nullptr, t->systemSurface);
    EXPECT_EQ(nullptr, t->videoSurface);
    driver->FreeTextures();
    driver->RemoveTexture(t);
    delete t;
}

} // namespace
