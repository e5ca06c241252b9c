// The IMDCT with its four window shapes, overlap-add and alias reduction, against the direct
// formulas of the standard evaluated in double precision.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <random>
#include <vector>

#include "layer3.h"

namespace {

const sLayer3Tables& Tables() {
    static sLayer3Tables* t = [] {
        auto* p = new sLayer3Tables;
        Layer3ComputeTables(p);
        return p;
    }();
    return *t;
}

double Window(int type, int i) {
    auto sine36 = [](int n) { return sin(M_PI / 36 * (n + 0.5)); };
    auto sine12 = [](int n) { return sin(M_PI / 12 * (n + 0.5)); };
    switch (type) {
    case 1: return i < 18 ? sine36(i) : i < 24 ? 1 : i < 30 ? sine12(i - 18) : 0;
    case 3: return i < 6 ? 0 : i < 12 ? sine12(i - 6) : i < 18 ? 1 : sine36(i);
    default: return sine36(i);
    }
}

// The standard's windowed 36-point IMDCT output of one block (all 36 values).
std::vector<double> DirectLong(const float* x, int type) {
    std::vector<double> z(36);
    for (int i = 0; i < 36; i++) {
        double sum = 0;
        for (int k = 0; k < 18; k++) sum += x[k] * cos(M_PI / 72 * (2 * i + 1 + 18) * (2 * k + 1));
        z[i] = sum * Window(type, i);
    }
    return z;
}

// Three windowed 12-point IMDCTs overlapped at 6, 12 and 18.
std::vector<double> DirectShort(const float* x) {
    std::vector<double> z(36, 0.0);
    for (int w = 0; w < 3; w++) {
        for (int i = 0; i < 12; i++) {
            double sum = 0;
            for (int k = 0; k < 6; k++)
                sum += x[w + 3 * k] * cos(M_PI / 24 * (2 * i + 1 + 6) * (2 * k + 1));
            z[6 + 6 * w + i] += sum * sin(M_PI / 12 * (i + 0.5));
        }
    }
    return z;
}

uint32_t FloatBits(float f) {
    uint32_t u;
    memcpy(&u, &f, 4);
    return u;
}

std::vector<float> RandomLines(std::mt19937& rng, int n, float scale) {
    std::uniform_real_distribution<float> d(-scale, scale);
    std::vector<float> v(n);
    for (float& f : v) f = d(rng);
    return v;
}

} // namespace

TEST(Imdct, LongBlocksOfEveryTypeMatchTheDirectFormulaWithOverlap) {
    std::mt19937 rng(11);
    for (int type : {0, 1, 3}) {
        SCOPED_TRACE(type);
        float overlap[18] = {};
        float out[18 * 4];
        std::vector<double> previous(36, 0.0);
        for (int block = 0; block < 3; block++) {
            std::vector<float> x = RandomLines(rng, 18, 1000.0f);
            Layer3ImdctLong(x.data(), type, Tables(), overlap, out, 4);
            std::vector<double> z = DirectLong(x.data(), type);
            for (int s = 0; s < 18; s++) {
                EXPECT_NEAR(out[s * 4], z[s] + previous[18 + s], 0.05) << "block " << block;
                EXPECT_NEAR(overlap[s], z[18 + s], 0.05);
            }
            previous = z;
        }
    }
}

TEST(Imdct, ShortBlocksMatchThreeOverlappedTwelvePointTransforms) {
    std::mt19937 rng(12);
    float overlap[18];
    std::vector<float> start = RandomLines(rng, 18, 100.0f);
    std::copy(start.begin(), start.end(), overlap);
    std::vector<float> x = RandomLines(rng, 18, 1000.0f);
    float out[18];
    Layer3ImdctShort(x.data(), Tables(), overlap, out, 1);
    std::vector<double> z = DirectShort(x.data());
    for (int s = 0; s < 6; s++) EXPECT_EQ(out[s], start[s]) << "no window reaches slot " << s;
    for (int s = 0; s < 18; s++) {
        EXPECT_NEAR(out[s], z[s] + start[s], 0.02) << s;
        EXPECT_NEAR(overlap[s], z[18 + s], 0.02) << s;
    }
    for (int s = 12; s < 18; s++) EXPECT_EQ(overlap[s], 0.0f) << "short windows end at 30";
}

// Four subbands side by side must give what four single subbands give, to the bit, over
// blocks that keep the overlap going; values span magnitudes so that any change in the
// order of the sums shows in the last bits.
TEST(Imdct, FourSubbandsSideBySideEqualSingleSubbandsBitForBit) {
    std::mt19937 rng(15);
    std::uniform_real_distribution<float> exponent(-8.0f, 12.0f);
    const int lanes = L3_IMDCT_LANES, stride = 32;
    for (int type : {0, 1, 3}) {
        SCOPED_TRACE(type);
        std::vector<float> laneOverlap(18 * lanes, 0.0f), singleOverlap(18 * lanes, 0.0f);
        for (int block = 0; block < 4; block++) {
            std::vector<float> x = RandomLines(rng, 18 * lanes, 1.0f);
            for (float& v : x) v *= exp2f(exponent(rng));
            std::vector<float> laneOut(18 * stride), singleOut(18 * stride);
            Layer3ImdctLongLanes(x.data(), type, Tables(), laneOverlap.data(), laneOut.data(),
                                 stride);
            for (int j = 0; j < lanes; j++)
                Layer3ImdctLong(x.data() + 18 * j, type, Tables(), singleOverlap.data() + 18 * j,
                                singleOut.data() + j, stride);
            for (int s = 0; s < 18; s++)
                for (int j = 0; j < lanes; j++)
                    ASSERT_EQ(FloatBits(laneOut[s * stride + j]),
                              FloatBits(singleOut[s * stride + j]))
                        << "block " << block << " slot " << s << " lane " << j;
            for (int i = 0; i < 18 * lanes; i++)
                ASSERT_EQ(FloatBits(laneOverlap[i]), FloatBits(singleOverlap[i])) << i;
        }
    }
}

// A start block followed by short blocks and a stop block keeps the window sequence exact:
// a constant spectrum through normal-start-short-stop-normal equals the direct overlap.
TEST(Imdct, WindowSwitchingSequenceOverlapsLikeTheDirectForm) {
    std::mt19937 rng(13);
    const int types[5] = {0, 1, 2, 3, 0};
    float overlap[18] = {};
    std::vector<double> previous(36, 0.0);
    for (int b = 0; b < 5; b++) {
        std::vector<float> x = RandomLines(rng, 18, 500.0f);
        float out[18];
        std::vector<double> z;
        if (types[b] == 2) {
            Layer3ImdctShort(x.data(), Tables(), overlap, out, 1);
            z = DirectShort(x.data());
        } else {
            Layer3ImdctLong(x.data(), types[b], Tables(), overlap, out, 1);
            z = DirectLong(x.data(), types[b]);
        }
        for (int s = 0; s < 18; s++) EXPECT_NEAR(out[s], z[s] + previous[18 + s], 0.05);
        previous = z;
    }
}

TEST(AliasReduction, ButterfliesAcrossEachBoundaryBelowTheLimit) {
    std::mt19937 rng(14);
    const double ci[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
    std::vector<float> lines = RandomLines(rng, L3_LINES, 10.0f);
    std::vector<float> before = lines;
    Layer3Alias(lines.data(), 3, Tables()); // boundaries after subbands 0 and 1 only
    std::vector<double> expect(before.begin(), before.end());
    for (int sb = 1; sb < 3; sb++) {
        for (int i = 0; i < 8; i++) {
            double cs = 1 / sqrt(1 + ci[i] * ci[i]), ca = ci[i] / sqrt(1 + ci[i] * ci[i]);
            double u = before[18 * sb - 1 - i], d = before[18 * sb + i];
            expect[18 * sb - 1 - i] = u * cs - d * ca;
            expect[18 * sb + i] = d * cs + u * ca;
        }
    }
    for (int i = 0; i < L3_LINES; i++) EXPECT_NEAR(lines[i], expect[i], 1e-5) << i;
    // The boundary after subband 2 is untouched.
    EXPECT_EQ(lines[53], before[53]);
    EXPECT_EQ(lines[54], before[54]);
}

TEST(Imdct, TablesComputedFromTheirFormulas) {
    const sLayer3Tables& t = Tables();
    EXPECT_FLOAT_EQ(t.pow43[8206], float(pow(8206.0, 4.0 / 3.0)));
    EXPECT_FLOAT_EQ(t.pow43[1], 1.0f);
    EXPECT_FLOAT_EQ(t.globalGain[210], 1.0f);
    EXPECT_FLOAT_EQ(t.globalGain[214], 2.0f);
    EXPECT_FLOAT_EQ(t.scaleFactor[2], 0.5f);
    EXPECT_FLOAT_EQ(t.midSide, float(sqrt(0.5)));
    // MPEG-1 intensity: position 0 all to the right, 3 equal halves, 6 all to the left.
    EXPECT_FLOAT_EQ(t.intensity1[0][0], 0.0f);
    EXPECT_FLOAT_EQ(t.intensity1[0][1], 1.0f);
    EXPECT_FLOAT_EQ(t.intensity1[3][0], 0.5f);
    EXPECT_NEAR(t.intensity1[6][0], 1.0f, 1e-6);
    EXPECT_NEAR(t.intensity1[6][1], 0.0f, 1e-6);
    // MPEG-2: odd positions scale the left, even the right, by powers of io.
    EXPECT_FLOAT_EQ(t.intensity2[0][1][0], float(pow(2.0, -0.25)));
    EXPECT_FLOAT_EQ(t.intensity2[1][1][0], float(pow(2.0, -0.5)));
    EXPECT_FLOAT_EQ(t.intensity2[1][4][1], 0.5f); // io^(4/2)
    EXPECT_FLOAT_EQ(t.intensity2[1][4][0], 1.0f);
}
