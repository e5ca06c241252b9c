// Depth test and write with the comparisons the driver uses, and the blends: source alpha
// over the target, and additive drawing that saturates.
#include "raster_test.h"

namespace rastertest {
namespace {

class ZBuffer : public Raster {
protected:
    void Compare(DWORD function, bool write) {
        State(D3DRENDERSTATE_ZENABLE, TRUE);
        State(D3DRENDERSTATE_ZWRITEENABLE, write);
        State(D3DRENDERSTATE_ZFUNC, function);
    }
};

const DWORD RED = 0xF800, GREEN = 0x07E0, BLUE = 0x001F;

TEST_F(ZBuffer, GreaterOrEqualRejectsFartherAndAcceptsEqualDepths) {
    Open(8, 8, Format565(), 16);
    Compare(D3DCMP_GREATEREQUAL, true);
    Quad(0, 0, 8, 8, 0xFFFF0000, 0.75f);
    EXPECT_EQ(RED, Pixel(3, 3));
    EXPECT_EQ(49151u, Depth(3, 3));      // 0.75 of 65535, rounded
    Quad(0, 0, 8, 8, 0xFF00FF00, 0.25f); // farther: smaller depth
    EXPECT_EQ(0, CountNot(RED));
    Quad(0, 0, 8, 8, 0xFF0000FF, 0.75f); // equal passes
    EXPECT_EQ(0, CountNot(BLUE));
    Quad(0, 0, 4, 8, 0xFFFF0000, 1.0f); // nearer, on the left half only
    EXPECT_EQ(RED, Pixel(0, 7));
    EXPECT_EQ(BLUE, Pixel(4, 0));
    EXPECT_EQ(65535u, Depth(1, 1));
}

TEST_F(ZBuffer, TestWithoutWriteLeavesTheBufferAndAlwaysOverwrites) {
    Open(8, 8, Format565(), 32);
    Compare(D3DCMP_ALWAYS, true);
    Quad(0, 0, 8, 8, 0xFFFF0000, 0.5f);
    DWORD half = Depth(2, 2);
    EXPECT_EQ(0x80000000u, half);
    Compare(D3DCMP_GREATEREQUAL, false);
    Quad(0, 0, 8, 8, 0xFF00FF00, 0.9f); // passes, draws, but keeps the old depth
    EXPECT_EQ(GREEN, Pixel(2, 2));
    EXPECT_EQ(half, Depth(2, 2));
    Quad(0, 0, 8, 8, 0xFF0000FF, 0.4f);
    EXPECT_EQ(GREEN, Pixel(2, 2));
    Compare(D3DCMP_ALWAYS, true);
    Quad(0, 0, 8, 8, 0xFF0000FF, 0.1f); // always: drawn though farther
    EXPECT_EQ(BLUE, Pixel(2, 2));
    EXPECT_NEAR(0.1 * 4294967295.0, (double)Depth(2, 2), 300.0);
}

TEST_F(ZBuffer, DepthIsInterpolatedAcrossTheTriangle) {
    Open(16, 1, Format565(), 24);
    Compare(D3DCMP_ALWAYS, true);
    // Depth 0 at x = 0 to 1 at x = 16: one sixteenth per pixel, read at the centres.
    Draw(D3DPT_TRIANGLESTRIP, {Vertex(0, 0, ~0u, 0), Vertex(16, 0, ~0u, 1), Vertex(0, 1, ~0u, 0),
                               Vertex(16, 1, ~0u, 1)});
    for (int x = 0; x < 16; x++)
        EXPECT_NEAR((x + 0.5) / 16 * 0xFFFFFF, (double)(Depth(x, 0) & 0xFFFFFF), 2.0) << x;
}

TEST_F(ZBuffer, DisabledZNeitherTestsNorWrites) {
    Open(4, 4, Format565(), 16);
    State(D3DRENDERSTATE_ZENABLE, FALSE);
    State(D3DRENDERSTATE_ZFUNC, D3DCMP_NEVER);
    Quad(0, 0, 4, 4, 0xFFFF0000, 0.6f);
    EXPECT_EQ(0, CountNot(RED));
    EXPECT_EQ(0u, Depth(0, 0));
}

class Blending : public Raster {
protected:
    void Blend(DWORD source, DWORD dest) {
        State(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
        State(D3DRENDERSTATE_SRCBLEND, source);
        State(D3DRENDERSTATE_DESTBLEND, dest);
    }
};

TEST_F(Blending, AdditiveDrawingSaturatesEachChannel) {
    Open(4, 4, Format0888());
    Fill(0x00C04010);
    Blend(D3DBLEND_ONE, D3DBLEND_ONE);
    Quad(0, 0, 4, 4, 0x00808080); // alpha plays no part
    EXPECT_EQ(0x00FFC090u, Pixel(1, 2));
    Quad(0, 0, 4, 4, 0x00808080);
    EXPECT_EQ(0x00FFFFFFu, Pixel(1, 2));
}

TEST_F(Blending, AdditiveOnSixteenBitsSaturatesToo) {
    Open(4, 4, Format565());
    Fill(0xC618); // (24, 48, 24) of (31, 63, 31)
    Blend(D3DBLEND_ONE, D3DBLEND_ONE);
    Quad(0, 0, 4, 4, 0xFF808080);
    EXPECT_EQ(0xFFFFu, Pixel(3, 3));
}

TEST_F(Blending, SourceAlphaMixesOverTheTarget) {
    Open(4, 4, Format0888());
    Fill(0x000000FF);
    Blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    Quad(0, 0, 4, 4, 0x80FF0000); // half-transparent red over blue
    EXPECT_EQ(0x0080007Fu, Pixel(0, 0));
    Quad(0, 0, 4, 4, 0x00FFFFFF); // fully transparent: nothing changes
    EXPECT_EQ(0x0080007Fu, Pixel(0, 0));
    Quad(0, 0, 4, 4, 0xFF00FF00); // opaque replaces
    EXPECT_EQ(0x0000FF00u, Pixel(0, 0));
}

TEST_F(Blending, BlendingOffIgnoresTheBlendFactors) {
    Open(4, 4, Format0888());
    Fill(0x00FFFFFF);
    State(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
    State(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ZERO);
    State(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    Quad(0, 0, 4, 4, 0x00102030);
    EXPECT_EQ(0x00102030u, Pixel(2, 2));
}

} // namespace
} // namespace rastertest
