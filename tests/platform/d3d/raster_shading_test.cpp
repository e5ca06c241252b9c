// What colour a covered pixel gets: Gouraud interpolation, texture sampling (point,
// bilinear, wrapping, perspective-correct) and the texture blends.
#include <math.h>

#include "raster_test.h"

namespace rastertest {
namespace {

class Shading : public Raster {};

TEST_F(Shading, GouraudInterpolatesEachChannelAtPixelCentres) {
    Open(256, 2, Format8888());
    // Red rises by exactly one per pixel from the left edge at x = 0.5; green falls; alpha
    // rises from 0 to 255 as well.
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLESTRIP,
                           {Vertex(0.5f, 0, 0x0000FF00), Vertex(255.5f, 0, 0xFFFF0000),
                            Vertex(0.5f, 2, 0x0000FF00), Vertex(255.5f, 2, 0xFFFF0000)}));
    for (int x = 0; x < 255; x++) {
        DWORD p = Pixel(x, 1);
        ASSERT_EQ((DWORD)x, (p >> 16) & 0xFF) << x;
        ASSERT_EQ((DWORD)(255 - x), (p >> 8) & 0xFF) << x;
        ASSERT_EQ((DWORD)x, p >> 24) << x;
    }
    EXPECT_EQ(0u, Pixel(255, 1)); // the right edge runs through its centre
}

TEST_F(Shading, GouraudMidpointOfATriangleIsTheMeanOfItsCorners) {
    Open(64, 64, Format0888());
    // Corners at (1,1), (61,1), (1,61) in pure red, green, blue: at the pixel whose centre
    // is (21, 21), the centroid, each channel is a third of 255.
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST,
                           {Vertex(0.5f, 0.5f, 0xFFFF0000), Vertex(60.5f, 0.5f, 0xFF00FF00),
                            Vertex(0.5f, 60.5f, 0xFF0000FF)}));
    EXPECT_EQ(0x00555555u, Pixel(20, 20));
    // Halfway along the top edge: red and green halves (127.5 rounds up).
    EXPECT_EQ(0x00808000u, Pixel(30, 0));
}

TEST_F(Shading, PointSampledQuadReproducesItsTextureOneToOne) {
    Open(16, 16, Format565());
    std::vector<DWORD> texels(8 * 8);
    for (int i = 0; i < 64; i++) texels[i] = (DWORD)(i * 1031 + 7) & 0xFFFF;
    D3DTEXTUREHANDLE t = Texture(8, 8, Format565(), texels);
    ASSERT_NE(0u, t);
    State(D3DRENDERSTATE_TEXTUREHANDLE, t);
    State(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_DECAL);
    Quad(4, 4, 12, 12, 0xFF123456);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            ASSERT_EQ(texels[y * 8 + x], Pixel(4 + x, 4 + y)) << x << "," << y;
    EXPECT_EQ(0u, Pixel(3, 3));
    EXPECT_EQ(0u, Pixel(12, 12));
}

TEST_F(Shading, TextureAddressesWrapBeyondTheUnitSquare) {
    Open(8, 1, Format0888());
    D3DTEXTUREHANDLE t = Texture(2, 1, Format0888(), {0x000000FF, 0x00FF0000});
    State(D3DRENDERSTATE_TEXTUREHANDLE, t);
    State(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_DECAL);
    // u from -1 to 3 across eight pixels: the two texels repeat four times.
    Draw(D3DPT_TRIANGLESTRIP, {Vertex(0, 0, ~0u, 0.5f, -1, 0), Vertex(8, 0, ~0u, 0.5f, 3, 0),
                               Vertex(0, 1, ~0u, 0.5f, -1, 1), Vertex(8, 1, ~0u, 0.5f, 3, 1)});
    for (int x = 0; x < 8; x++) EXPECT_EQ(x % 2 ? 0xFF0000u : 0xFFu, Pixel(x, 0)) << x;
}

TEST_F(Shading, BilinearFilteringBlendsNeighbouringTexelsWithWrapping) {
    Open(4, 1, Format0888());
    D3DTEXTUREHANDLE t = Texture(2, 1, Format0888(), {0x000000, 0xFFFFFF});
    State(D3DRENDERSTATE_TEXTUREHANDLE, t);
    State(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_DECAL);
    State(D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_LINEAR);
    Quad(0, 0, 4, 1);
    // Sample points fall a quarter texel either side of the texel centres; the outer two
    // blend with the texel wrapped in from the other side.
    const DWORD expected[4] = {0x404040, 0x404040, 0xBFBFBF, 0xBFBFBF};
    for (int x = 0; x < 4; x++) EXPECT_EQ(expected[x], Pixel(x, 0)) << x;
    // Point sampling of the same picks whole texels.
    State(D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_NEAREST);
    Quad(0, 0, 4, 1);
    EXPECT_EQ(0u, Pixel(1, 0));
    EXPECT_EQ(0xFFFFFFu, Pixel(2, 0));
}

TEST_F(Shading, TextureCoordinatesArePerspectiveCorrectThroughRhw) {
    Open(8, 1, Format0888());
    std::vector<DWORD> texels(8);
    for (int i = 0; i < 8; i++) texels[i] = (DWORD)(i * 0x20);
    D3DTEXTUREHANDLE t = Texture(8, 1, Format0888(), texels);
    State(D3DRENDERSTATE_TEXTUREHANDLE, t);
    State(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_DECAL);
    State(D3DRENDERSTATE_TEXTUREPERSPECTIVE, TRUE);
    // The right side is four times as far away as the left.
    const float wl = 1.0f, wr = 0.25f;
    Draw(D3DPT_TRIANGLESTRIP,
         {Vertex(0, 0, ~0u, 0.5f, 0, 0, wl), Vertex(8, 0, ~0u, 0.5f, 1, 0, wr),
          Vertex(0, 1, ~0u, 0.5f, 0, 1, wl), Vertex(8, 1, ~0u, 0.5f, 1, 1, wr)});
    for (int x = 0; x < 8; x++) {
        double s = (x + 0.5) / 8;
        double u = s * wr / ((1 - s) * wl + s * wr);
        EXPECT_EQ(texels[(int)floor(u * 8)], Pixel(x, 0)) << x;
    }
    // Without perspective the same quad maps linearly.
    State(D3DRENDERSTATE_TEXTUREPERSPECTIVE, FALSE);
    Draw(D3DPT_TRIANGLESTRIP,
         {Vertex(0, 0, ~0u, 0.5f, 0, 0, wl), Vertex(8, 0, ~0u, 0.5f, 1, 0, wr),
          Vertex(0, 1, ~0u, 0.5f, 0, 1, wl), Vertex(8, 1, ~0u, 0.5f, 1, 1, wr)});
    for (int x = 0; x < 8; x++) EXPECT_EQ(texels[x], Pixel(x, 0)) << x;
}

TEST_F(Shading, ModulateMultipliesAndTakesAlphaFromTheTextureWhenItHasOne) {
    Open(4, 4, Format8888());
    // Opaque mid-grey texture without alpha: colour halves, alpha is the vertex's.
    D3DTEXTUREHANDLE grey = Texture(1, 1, Format0888(), {0x808080});
    State(D3DRENDERSTATE_TEXTUREHANDLE, grey);
    State(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_MODULATE);
    Quad(0, 0, 4, 4, 0x40FF8000);
    EXPECT_EQ(0x40804000u, Pixel(1, 1));
    // A 4444 texture has alpha: it replaces the vertex's (0x8 widens to 0x88).
    D3DTEXTUREHANDLE alpha = Texture(1, 1, Format4444(), {0x8F0F});
    State(D3DRENDERSTATE_TEXTUREHANDLE, alpha);
    Quad(0, 0, 4, 4, 0x40FFFFFF);
    EXPECT_EQ(0x88FF00FFu, Pixel(2, 2));
    // Decal ignores the vertex colour.
    State(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_DECAL);
    Quad(0, 0, 4, 4, 0x40000000);
    EXPECT_EQ(0x88FF00FFu, Pixel(3, 3));
}

TEST_F(Shading, StaleTextureHandlesDrawUntextured) {
    Open(4, 4, Format565());
    State(D3DRENDERSTATE_TEXTUREHANDLE, 0x7777);
    Quad(0, 0, 4, 4, 0xFF0000FF);
    EXPECT_EQ(0x001Fu, Pixel(0, 0));
}

TEST_F(Shading, SixteenBitTargetsKeepTheirHighBits) {
    Open(4, 4, Format1555());
    Quad(0, 0, 4, 4, 0xFF0884FF); // 8-bit channels truncate to 5 bits; alpha sets bit 15
    EXPECT_EQ(0x8000u | 1u << 10 | 16u << 5 | 31u, Pixel(0, 0));
}

TEST_F(Shading, DitheringSpreadsAChannelBetweenTheTwoNearestLevels) {
    Open(4, 4, Format565());
    // Red 12 lies halfway between the 5-bit levels 1 (8) and 2 (16).
    Quad(0, 0, 4, 4, 0xFF0C0000);
    EXPECT_EQ(0, CountNot(1u << 11)); // without dithering: truncated everywhere
    State(D3DRENDERSTATE_DITHERENABLE, TRUE);
    Quad(0, 0, 4, 4, 0xFF0C0000);
    int raised = 0;
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) {
            DWORD p = Pixel(x, y);
            EXPECT_TRUE(p == 1u << 11 || p == 2u << 11) << x << "," << y;
            raised += p == 2u << 11;
        }
    EXPECT_EQ(8, raised);
    // Full intensity stays full rather than wrapping over.
    Quad(0, 0, 4, 4, 0xFFFFFFFF);
    EXPECT_EQ(0, CountNot(0xFFFF));
}

} // namespace
} // namespace rastertest
