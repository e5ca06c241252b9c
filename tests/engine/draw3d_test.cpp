// The driver's Direct3D path: the render states each field of the mode word sets, the
// colours written into the vertex array, and the scene set-up.
#include "windriver_fixture_test.h"

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

TEST_F(Draw3DTest, SceneWithoutDepthBufferStillBegins) {
    SetUpScene(false);
    EXPECT_EQ(nullptr, driver->zBuffer);
    EXPECT_EQ((DWORD)D3DCULL_NONE, State(D3DRENDERSTATE_CULLMODE));
    EXPECT_EQ(1u, State(D3DRENDERSTATE_TEXTUREPERSPECTIVE));
}

} // namespace
