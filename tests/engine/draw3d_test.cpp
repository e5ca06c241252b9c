// The driver's Direct3D path: the render states each field of the mode word sets, the
// colours written into the vertex array, and the scene set-up.
#include "windriver_fixture_test.h"

#include <string.h>

namespace {

class Draw3DTest : public DriverTest {
protected:
    void SetUpScene(bool z = true) {
        Start();
        SetMode(640, 480, BK_0565, 2, z, true);
        ASSERT_NE(nullptr, device3D);
        driver->Begin3D(nullptr);
    }
    void TearDown() override {
        if (device3D) driver->End3D();
        DriverTest::TearDown();
    }
    // Straight from the surfaces' memory, so that reading takes no lock.
    static uint32_t At(IDirectDrawSurface* surface, int x, int y) {
        auto* s = static_cast<ddsoft::Surface*>(surface);
        uint32_t v = 0;
        memcpy(&v, s->Memory() + y * s->Pitch() + x * (int)s->BitsPerPixel() / 8,
               s->BitsPerPixel() / 8);
        return v;
    }
    DWORD State(D3DRENDERSTATETYPE s) {
        DWORD v = 0xDEAD;
        device3D->GetRenderState(s, &v);
        return v;
    }
};

TEST_F(Draw3DTest, FlatModeSpreadsTheCurrentColourIntoEveryVertex) {
    SetUpScene();
    sVertex* v = driver->SetVertexCount(4);
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(0xFFFFFFFFu, v[3].color); // Begin3D's white
    driver->SetColor(255, 0, 0, 255);
    driver->SetRenderMode(0);
    for (int i = 0; i < 4; i++) EXPECT_EQ(0xFFFF0000u, v[i].color);
    EXPECT_EQ((DWORD)D3DSHADE_FLAT, State(D3DRENDERSTATE_SHADEMODE));
    EXPECT_EQ(0u, State(D3DRENDERSTATE_TEXTUREHANDLE));
    EXPECT_EQ(0u, State(D3DRENDERSTATE_ZENABLE));
    EXPECT_EQ(0u, State(D3DRENDERSTATE_ALPHABLENDENABLE));
    EXPECT_EQ((DWORD)D3DBLEND_ZERO, State(D3DRENDERSTATE_DESTBLEND));
    // A new array takes the current colour.
    v = driver->SetVertexCount(2);
    driver->SetColor(sColor{1, 2, 3, 4});
    EXPECT_EQ(0x04010203u, v[1].color);
}

TEST_F(Draw3DTest, ModeWordsSetTheirRenderStates) {
    SetUpScene();
    sVertex* v = driver->SetVertexCount(3);
    v[0].color = 0x11223344;
    driver->SetRenderMode(0x223);
    EXPECT_EQ((DWORD)D3DSHADE_GOURAUD, State(D3DRENDERSTATE_SHADEMODE));
    EXPECT_EQ((DWORD)D3DTBLEND_MODULATE, State(D3DRENDERSTATE_TEXTUREMAPBLEND));
    EXPECT_EQ(1u, State(D3DRENDERSTATE_ZENABLE));
    EXPECT_EQ(1u, State(D3DRENDERSTATE_ZWRITEENABLE));
    EXPECT_EQ((DWORD)D3DCMP_ALWAYS, State(D3DRENDERSTATE_ZFUNC));
    EXPECT_EQ(1u, State(D3DRENDERSTATE_ALPHABLENDENABLE));
    EXPECT_EQ((DWORD)D3DBLEND_ONE, State(D3DRENDERSTATE_SRCBLEND));
    EXPECT_EQ((DWORD)D3DBLEND_ONE, State(D3DRENDERSTATE_DESTBLEND));
    EXPECT_EQ(0x11223344u, v[0].color); // Gouraud keeps the vertex colours

    driver->SetRenderMode(0x113);
    EXPECT_EQ(0u, State(D3DRENDERSTATE_ZWRITEENABLE));
    EXPECT_EQ((DWORD)D3DCMP_GREATEREQUAL, State(D3DRENDERSTATE_ZFUNC));
    EXPECT_EQ((DWORD)D3DBLEND_SRCALPHA, State(D3DRENDERSTATE_SRCBLEND));
    EXPECT_EQ((DWORD)D3DBLEND_INVSRCALPHA, State(D3DRENDERSTATE_DESTBLEND));

    // Depth field 4 changes nothing; shading and blending 0 apply.
    driver->SetRenderMode(0x40);
    EXPECT_EQ(1u, State(D3DRENDERSTATE_ZENABLE));
    EXPECT_EQ((DWORD)D3DCMP_GREATEREQUAL, State(D3DRENDERSTATE_ZFUNC));
    EXPECT_EQ((DWORD)D3DSHADE_FLAT, State(D3DRENDERSTATE_SHADEMODE));
    EXPECT_EQ(0u, State(D3DRENDERSTATE_ALPHABLENDENABLE));
    EXPECT_EQ(0x40u, driver->renderMode);
}

TEST_F(Draw3DTest, LinearMagnificationPersistsAndDecalWhitensVertices) {
    SetUpScene();
    sVertex* v = driver->SetVertexCount(2);
    driver->SetColor(10, 20, 30, 40);
    driver->SetRenderMode(4);
    EXPECT_EQ((DWORD)D3DFILTER_LINEAR, State(D3DRENDERSTATE_TEXTUREMAG));
    EXPECT_EQ((DWORD)D3DTBLEND_DECAL, State(D3DRENDERSTATE_TEXTUREMAPBLEND));
    EXPECT_EQ(0xFFFFFFFFu, v[0].color);
    driver->SetRenderMode(3);
    EXPECT_EQ((DWORD)D3DFILTER_LINEAR, State(D3DRENDERSTATE_TEXTUREMAG));
}

TEST_F(Draw3DTest, TextureHandleFollowsTheShadingField) {
    SetUpScene();
    sTexture t = {};
    t.type = TT_TEXTURE;
    t.textureHandle = 77;
    driver->SetRenderMode(2);
    driver->SetTexture(&t);
    EXPECT_EQ(77u, State(D3DRENDERSTATE_TEXTUREHANDLE));
    driver->SetRenderMode(4);
    t.textureHandle = 78;
    driver->SetTexture(&t); // takes effect at the next mode
    EXPECT_EQ(77u, State(D3DRENDERSTATE_TEXTUREHANDLE));
    driver->SetRenderMode(5);
    EXPECT_EQ(78u, State(D3DRENDERSTATE_TEXTUREHANDLE));
}

TEST_F(Draw3DTest, VerticesBeyondTheArrayAndImagesAsTexturesAreAssertions) {
    SetUpScene();
    driver->SetVertexCount(0);
    EXPECT_EQ(nullptr, driver->vertices);
    sWinDriver* d = driver;
    EXPECT_EQ(666u, RunOnThread([d] { d->GetVertices(1); }));
    EXPECT_NE(std::string::npos, Log().find("Assertion in line"));
    sTexture image = {};
    image.type = TT_IMAGE;
    EXPECT_EQ(666u, RunOnThread([d, &image] { d->SetTexture(&image); }));
}

TEST_F(Draw3DTest, StripsAndFansJoinTheirVerticesDifferently) {
    SetUpScene(false);
    // A square's corners in the order (10, 10), (30, 10), (10, 30), (30, 30). As a strip the
    // second triangle is the last three corners: the whole square. As a fan it is the first
    // corner with the last two: the upper right part of the square stays empty.
    const struct {
        const char* name;
        bool fan;
        int n;
        bool upperLeft, upperRight, lowerLeft;
    } cases[] = {
        {"strip", false, 4, true, true, true},
        {"fan", true, 4, true, false, true},
        {"strip of three", false, 3, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        driver->End3D();
        driver->FillRect(0, 0, 0, 640, 480);
        driver->Begin3D(nullptr);
        sVertex* v = driver->SetVertexCount(4);
        const float corners[4][2] = {{10, 10}, {30, 10}, {10, 30}, {30, 30}};
        for (int i = 0; i < 4; i++) v[i] = {corners[i][0], corners[i][1], 0.5f, 1.0f, 0, 0, 0, 0};
        driver->SetColor(255, 0, 0, 255);
        driver->SetRenderMode(0);
        if (c.fan)
            driver->DrawFan(c.n);
        else
            driver->DrawStrip(c.n);
        EXPECT_EQ(c.upperLeft, At(driver->back, 12, 14) != 0);
        EXPECT_EQ(c.upperRight, At(driver->back, 25, 18) != 0);
        EXPECT_EQ(c.lowerLeft, At(driver->back, 18, 25) != 0);
    }
}

TEST_F(Draw3DTest, BeginningASceneClearsTheDepthOfItsAreaToTheFarEnd) {
    SetUpScene();
    driver->End3D();
    auto* z = static_cast<ddsoft::Surface*>(driver->zBuffer);
    memset(z->Memory(), 0xAB, (size_t)z->Pitch() * z->Height());
    sRect area = {10, 20, 30, 40};
    driver->Begin3D(&area);
    const struct {
        int x, y;
        bool cleared;
    } points[] = {{10, 20, true},  {29, 39, true},  {20, 30, true}, {9, 20, false},
                  {30, 39, false}, {10, 19, false}, {29, 40, false}};
    for (const auto& p : points)
        EXPECT_EQ(p.cleared, At(driver->zBuffer, p.x, p.y) == 0) << p.x << "," << p.y;
    driver->End3D();
    driver->Begin3D(nullptr); // the whole screen
    EXPECT_EQ(0u, At(driver->zBuffer, 639, 479));
    EXPECT_EQ(0u, At(driver->zBuffer, 0, 0));
}

TEST_F(Draw3DTest, SceneWithoutDepthBufferStillBegins) {
    SetUpScene(false);
    EXPECT_EQ(nullptr, driver->zBuffer);
    EXPECT_EQ((DWORD)D3DCULL_NONE, State(D3DRENDERSTATE_CULLMODE));
    EXPECT_EQ(1u, State(D3DRENDERSTATE_TEXTUREPERSPECTIVE));
}

} // namespace
