#include "timeline.h"

#include "fake_display.h"

#include <gtest/gtest.h>

namespace {

// An effect that records the times it was drawn at.
class Probe : public sEffect {
public:
    explicit Probe(uint32_t mask, int* deleted = nullptr) : deleted(deleted) { windowMask = mask; }
    ~Probe() override {
        if (deleted) (*deleted)++;
    }
    void Draw(sDisplay&, float t) override { drawn.push_back(t); }
    void Prepare(sDisplay&) override { prepared++; }
    std::vector<float> drawn;
    int prepared = 0;
    int* deleted;
};

struct TimelineTest : ::testing::Test {
    FakeDisplay display;
    sTimeline timeline;
    float value = -99.0f;

    float At(float t) {
        timeline.Draw(display, t);
        return value;
    }
};

TEST_F(TimelineTest, HoldsFirstValueBeforeAndLastValueAfterTheKeys) {
    timeline.AddKey(&value, 1000, 5);
    timeline.AddKey(&value, 2000, 7);
    timeline.AddKey(&value, 3000, 9);
    timeline.Prepare(display);
    EXPECT_EQ(5.0f, At(0));
    EXPECT_EQ(5.0f, At(1000));
    EXPECT_EQ(9.0f, At(3000));
    EXPECT_EQ(9.0f, At(1e6f));
}

TEST_F(TimelineTest, TwoKeysGiveTheSmoothStepCurve) {
    timeline.AddKey(&value, 0, 0);
    timeline.AddKey(&value, 1000, 1);
    timeline.Prepare(display);
    for (float t : {100.0f, 250.0f, 500.0f, 900.0f}) {
        float u = t / 1000.0f;
        EXPECT_NEAR(3 * u * u - 2 * u * u * u, At(t), 1e-5f) << t;
    }
    EXPECT_NEAR(0.5f, At(500), 1e-6f);
    // Zero slope at both ends.
    EXPECT_NEAR(0.0f, At(1.0f), 1e-5f);
    EXPECT_NEAR(1.0f, At(999.0f), 1e-5f);
}

TEST_F(TimelineTest, InnerKeysUseTheNeighboursSlopeAsTangent) {
    timeline.AddKey(&value, 0, 0);
    timeline.AddKey(&value, 1000, 10);
    timeline.AddKey(&value, 2000, 20);
    timeline.Prepare(display);
    // Tangent at the middle key: (20 - 0) / 2000 per millisecond, used unscaled.
    const sKey& k = *timeline.tracks[0].keys[0];
    EXPECT_FLOAT_EQ(0.0f, k.c1);
    EXPECT_FLOAT_EQ(3 * 10.0f - (0 + 0 + 0.01f), k.c2);
    EXPECT_FLOAT_EQ(0.01f - 2 * 10.0f, k.c3);
    EXPECT_EQ(2, timeline.tracks[0].count);
}

TEST_F(TimelineTest, SingleKeyTrackIsConstant) {
    timeline.AddKey(&value, 500, 3);
    timeline.Prepare(display);
    EXPECT_EQ(3.0f, At(-10));
    EXPECT_EQ(3.0f, At(500));
    EXPECT_EQ(3.0f, At(10000));
}

TEST_F(TimelineTest, RepeatedKeyTimesJumpWithoutDividingByZero) {
    timeline.AddKey(&value, 0, 0);
    timeline.AddKey(&value, 2000, 0);
    timeline.AddKey(&value, 2000, 0);
    timeline.AddKey(&value, 2001, 1);
    timeline.AddKey(&value, 5000, 1);
    timeline.Prepare(display);
    EXPECT_EQ(0.0f, At(1999.5f));
    EXPECT_EQ(0.0f, At(2000.0f));
    float mid = At(2000.5f);
    EXPECT_TRUE(mid > 0.0f && mid < 1.0f) << mid;
    EXPECT_FLOAT_EQ(1.0f, At(2001.0f));
    // The tangent after the jump comes from the key before it, so the curve overshoots a hair.
    EXPECT_NEAR(1.0f, At(3000.0f), 1e-3f);
    EXPECT_FLOAT_EQ(1.0f, At(5000.0f));
    // Backwards across the jump.
    EXPECT_EQ(0.0f, At(1000.0f));
}

TEST_F(TimelineTest, DrawingBackwardsGivesTheSameValuesAsFromTheStart) {
    float other = 0;
    for (int i = 0; i <= 10; i++) timeline.AddKey(&value, i * 1000.0f, (float)(i * i % 7));
    timeline.AddKey(&other, 0, 1);
    timeline.AddKey(&other, 30000, 2);
    timeline.Prepare(display);
    std::vector<float> fresh;
    for (float t = 0; t < 11000; t += 137) fresh.push_back(At(t));
    At(30000);
    size_t i = 0;
    for (float t = 0; t < 11000; t += 137) EXPECT_EQ(fresh[i++], At(t)) << t;
}

TEST_F(TimelineTest, WindowsAreStrictlyOpenAndMasksSelectEffects) {
    auto* always = new Probe(0);
    auto* second = new Probe(2);
    auto* first = new Probe(1);
    timeline.AddEffect(always);
    timeline.AddEffect(second);
    timeline.AddEffect(first);
    EXPECT_EQ(1, timeline.SetWindow(1, 2000, 17300));
    timeline.SetWindow(0, 0, 2000);
    timeline.Prepare(display);
    EXPECT_EQ(1, always->prepared);
    for (float t : {2000.0f, 2000.5f, 17299.0f, 17300.0f, 40000.0f}) timeline.Draw(display, t);
    EXPECT_EQ(5u, always->drawn.size());
    EXPECT_EQ((std::vector<float>{2000.5f, 17299.0f}), second->drawn);
    EXPECT_TRUE(first->drawn.empty()); // 2000 is the end of window 0: closed
    timeline.Draw(display, 1.0f);
    EXPECT_EQ(1u, timeline.activeWindows);
    EXPECT_EQ(1u, first->drawn.size());
}

TEST_F(TimelineTest, UnsetWindowsNeverOpenAndEffectsAreDeletedWithTheTimeline) {
    int deleted = 0;
    {
        sTimeline t;
        auto* p = new Probe(1u << 31, &deleted);
        t.AddEffect(p);
        t.AddEffect(new Probe(0, &deleted));
        t.Prepare(display);
        t.Draw(display, 0.5f);
        t.Draw(display, 1e9f);
        EXPECT_TRUE(p->drawn.empty());
        EXPECT_EQ(0u, t.activeWindows);
    }
    EXPECT_EQ(2, deleted);
}

} // namespace
