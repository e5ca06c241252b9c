// Which pixels a triangle covers: the top-left rule on shared and axis-aligned edges,
// sub-pixel vertex positions, flat colours, and input that must draw nothing or stay inside
// the target.
#include <math.h>

#include "raster_test.h"

namespace rastertest {
namespace {

const DWORD RED565 = 0xF800;

class Coverage : public Raster {
protected:
    // Additive drawing of a dim grey shows any pixel drawn twice as twice as bright.
    void ExpectEachPixelAtMostOnce(int& lit) {
        lit = 0;
        for (DWORD y = 0; y < height; y++)
            for (DWORD x = 0; x < width; x++) {
                DWORD p = Pixel((int)x, (int)y);
                EXPECT_TRUE(p == 0 || p == 0x00202020u) << x << "," << y << " = " << std::hex << p;
                lit += p != 0;
            }
    }
};

TEST_F(Coverage, EdgesOnPixelCentresBelongToTheTopAndLeftOnly) {
    Open(8, 8, Format565());
    // Every edge of this square runs through pixel centres: the top row and left column
    // are in, the bottom row and right column (row and column 4) are out.
    Quad(0.5f, 0.5f, 4.5f, 4.5f, 0xFFFF0000);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            EXPECT_EQ(x < 4 && y < 4 ? RED565 : 0u, Pixel(x, y)) << x << "," << y;
}

TEST_F(Coverage, SmallFlatTriangleCoversItsKnownPixelsInTheFirstVertexColour) {
    Open(8, 8, Format565());
    State(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    // Centres with x + y == 3 lie on the hypotenuse, a right-hand edge: left out.
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, {Vertex(0, 0, 0xFFFF0000), Vertex(4, 0, 0xFF00FF00),
                                                Vertex(0, 4, 0xFF0000FF)}));
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            EXPECT_EQ(x + y <= 2 ? RED565 : 0u, Pixel(x, y)) << x << "," << y;
}

TEST_F(Coverage, FlatFanTrianglesTakeTheColourOfTheirSecondListedVertex) {
    Open(8, 4, Format565());
    State(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    // Two fan triangles: (v0, v1, v2) shaded by v1, (v0, v2, v3) by v2.
    ASSERT_EQ(D3D_OK,
              Draw(D3DPT_TRIANGLEFAN, {Vertex(0, 0, 0xFF000000), Vertex(8, 0, 0xFFFF0000),
                                       Vertex(8, 4, 0xFF0000FF), Vertex(0, 4, 0xFF00FF00)}));
    EXPECT_EQ(RED565, Pixel(7, 0));  // above the diagonal
    EXPECT_EQ(0x001Fu, Pixel(0, 3)); // below it
}

// Pixel centres strictly inside a convex polygon given clockwise on screen.
int CentresInside(const std::vector<D3DTLVERTEX>& poly, int w, int h) {
    int n = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            bool inside = true;
            for (size_t i = 0; i < poly.size(); i++) {
                const D3DTLVERTEX& a = poly[i];
                const D3DTLVERTEX& b = poly[(i + 1) % poly.size()];
                double e = (double)(b.sx - a.sx) * (y + 0.5 - a.sy) -
                           (double)(b.sy - a.sy) * (x + 0.5 - a.sx);
                inside = inside && e > 0;
            }
            n += inside;
        }
    return n;
}

TEST_F(Coverage, TrianglesSharingEdgesDrawEveryCoveredPixelExactlyOnce) {
    Open(40, 40, Format0888());
    State(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    State(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    State(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    const DWORD grey = 0xFF202020;
    // A fan around an off-centre point with vertices on odd sub-pixel positions (on the
    // 1/16 grid, so that the reference outline below is the one drawn), some shared edges
    // exactly through pixel centres (x = 20.5).
    std::vector<D3DTLVERTEX> rim = {Vertex(3.3125f, 2.125f, grey), Vertex(20.5f, 1.5f, grey),
                                    Vertex(36.8125f, 5.0f, grey),  Vertex(38.1875f, 30.6875f, grey),
                                    Vertex(20.5f, 38.5f, grey),    Vertex(1.625f, 27.875f, grey)};
    std::vector<D3DTLVERTEX> fan = {Vertex(20.5f, 17.25f, grey)};
    fan.insert(fan.end(), rim.begin(), rim.end());
    fan.push_back(rim.front());
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLEFAN, fan));
    int lit = 0;
    ExpectEachPixelAtMostOnce(lit);
    // No gaps either: at least every centre strictly inside the outline, and no more than
    // the centres on its boundary besides.
    int inside = CentresInside(rim, 40, 40);
    EXPECT_GE(lit, inside);
    EXPECT_LE(lit, inside + 80);
}

TEST_F(Coverage, StripOfManyThinTrianglesLeavesNoPixelTwice) {
    Open(32, 32, Format0888());
    State(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    State(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    State(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    std::vector<D3DTLVERTEX> strip;
    for (int i = 0; i <= 12; i++) {
        float x = 1.0f + i * 2.37f;
        strip.push_back(Vertex(x, 3.0f + (i % 3) * 0.4f, 0xFF202020));
        strip.push_back(Vertex(x + 0.7f, 29.0f - (i % 2) * 0.6f, 0xFF202020));
    }
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLESTRIP, strip));
    int lit = 0;
    ExpectEachPixelAtMostOnce(lit);
    EXPECT_GT(lit, 600);
}

TEST_F(Coverage, CullModesDropOneWindingAndStripsKeepOneWinding) {
    Open(8, 8, Format565());
    State(D3DRENDERSTATE_CULLMODE, D3DCULL_CW);
    // Clockwise on screen (y grows downwards): culled.
    const DWORD red = 0xFFFF0000;
    Draw(D3DPT_TRIANGLELIST, {Vertex(0, 0, red), Vertex(8, 0, red), Vertex(0, 8, red)});
    EXPECT_EQ(0, CountNot(0));
    State(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    Draw(D3DPT_TRIANGLELIST, {Vertex(0, 0, red), Vertex(8, 0, red), Vertex(0, 8, red)});
    EXPECT_EQ(RED565, Pixel(1, 1));
    EXPECT_EQ(28, CountNot(0)); // x + y <= 6: the hypotenuse centres are out
    // Both triangles of a strip wind alike (clockwise for this quad), so one cull mode
    // hides the whole strip and the other none of it.
    Fill(0);
    State(D3DRENDERSTATE_CULLMODE, D3DCULL_CW);
    Quad(0, 0, 8, 8, red);
    EXPECT_EQ(0, CountNot(0));
    State(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    Quad(0, 0, 8, 8, red);
    EXPECT_EQ(64, CountNot(0));
}

TEST_F(Coverage, DegenerateAndMalformedTrianglesDrawNothing) {
    Open(16, 16, Format565());
    // Zero area: a line, a point, and collinear corners.
    Draw(D3DPT_TRIANGLELIST, {Vertex(1, 1), Vertex(9, 9), Vertex(5, 5)});
    Draw(D3DPT_TRIANGLELIST, {Vertex(3, 3), Vertex(3, 3), Vertex(3, 3)});
    // Too few vertices, and coordinates that are not numbers.
    Draw(D3DPT_TRIANGLESTRIP, {Vertex(0, 0), Vertex(16, 0)});
    Draw(D3DPT_TRIANGLELIST, {Vertex(NAN, 0), Vertex(16, 0), Vertex(0, 16)});
    Draw(D3DPT_TRIANGLELIST, {Vertex(0, INFINITY), Vertex(16, 0), Vertex(0, 16)});
    // Entirely off the target on each side.
    Draw(D3DPT_TRIANGLELIST, {Vertex(-20, 0), Vertex(-1, 0), Vertex(-10, 10)});
    Draw(D3DPT_TRIANGLELIST, {Vertex(17, 0), Vertex(40, 0), Vertex(20, 10)});
    Draw(D3DPT_TRIANGLELIST, {Vertex(0, -9), Vertex(16, -9), Vertex(8, -0.6f)});
    Draw(D3DPT_TRIANGLELIST, {Vertex(0, 16), Vertex(16, 16), Vertex(8, 30)});
    EXPECT_EQ(0, CountNot(0));
}

TEST_F(Coverage, HugeAndOverhangingTrianglesStayInsideTheTarget) {
    // Runs under the address sanitizer too: any write outside the target is caught there.
    Open(16, 16, Format565(), 16);
    State(D3DRENDERSTATE_ZENABLE, TRUE);
    State(D3DRENDERSTATE_ZFUNC, D3DCMP_ALWAYS);
    Draw(D3DPT_TRIANGLELIST,
         {Vertex(-1e30f, -1e30f, 0xFFFF0000, 2.0f), Vertex(1e30f, -5, 0xFFFF0000, NAN),
          Vertex(8, 1e30f, 0xFFFF0000, -3.0f)});
    Draw(D3DPT_TRIANGLELIST,
         {Vertex(-10, -10, 0xFFFF0000), Vertex(50, -10, 0xFFFF0000), Vertex(-10, 50, 0xFFFF0000)});
    EXPECT_EQ(RED565, Pixel(0, 0));
    EXPECT_EQ(RED565, Pixel(15, 15));
    EXPECT_EQ(0, CountNot(RED565));
}

TEST_F(Coverage, PointsAndLinesAreAcceptedWithoutDrawing) {
    Open(8, 8, Format565());
    EXPECT_EQ(D3D_OK, Draw(D3DPT_LINELIST, {Vertex(0, 0), Vertex(8, 8)}));
    EXPECT_EQ(D3D_OK, Draw(D3DPT_POINTLIST, {Vertex(1, 1), Vertex(2, 2), Vertex(3, 3)}));
    EXPECT_EQ(0, CountNot(0));
}

} // namespace
} // namespace rastertest
