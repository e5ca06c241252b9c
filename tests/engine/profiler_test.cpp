// The frame profiler: its two mark buffers and the overlay bar, on the machine's virtual
// clock (one AdvanceFrame per 1/fps second).
#include "profiler.h"

#include "support/headless_machine.h"
#include "machine/machine.h"
#include "support/null_display.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A display that records the overlay's drawing calls as text.
class RecordingDisplay : public NullDisplay {
public:
    std::vector<std::string> calls;

    void VLine(unsigned raw, int x, int y0, int y1) override {
        calls.push_back("V " + std::to_string(raw) + " " + std::to_string(x) + " " +
                        std::to_string(y0) + " " + std::to_string(y1));
    }
    void HLine(unsigned raw, int x0, int x1, int y) override {
        calls.push_back("H " + std::to_string(raw) + " " + std::to_string(x0) + " " +
                        std::to_string(x1) + " " + std::to_string(y));
    }
    void FillRect(unsigned raw, int x0, int y0, int x1, int y1) override {
        calls.push_back("F " + std::to_string(raw) + " " + std::to_string(x0) + " " +
                        std::to_string(y0) + " " + std::to_string(x1) + " " + std::to_string(y1));
    }
    using sDisplay::FillRect;
};

class ProfilerTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartHeadlessMachine(80); // one step of the clock: 12,500 microseconds
    }
    void Step() { machine::AdvanceFrame(); }
};

TEST_F(ProfilerTest, AFrameKeepsAtMostSixtyFourMarks) {
    sProfiler p;
    p.StartFrame(1);
    for (int i = 0; i < 70; i++) p.Mark(2);
    EXPECT_EQ(64, p.counts[p.current]);
    int running = p.current;
    p.StartFrame(3); // the closing mark is dropped too: the buffer is full
    EXPECT_EQ(64, p.counts[running]);
    EXPECT_EQ(1, p.counts[p.current]);
    EXPECT_EQ(3, p.colours[p.current][0]);
}

TEST_F(ProfilerTest, FramesShareTheirBoundaryMark) {
    sProfiler p;
    p.StartFrame(0);
    Step();
    p.StartFrame(0);
    int finished = p.current ^ 1;
    EXPECT_EQ(2, p.counts[finished]);
    EXPECT_EQ(p.times[finished][1], p.times[p.current][0]);
    EXPECT_EQ(12500, p.times[finished][1] - p.times[finished][0]);
}

TEST_F(ProfilerTest, OverlayScalesMarksAcrossTheBar) {
    sProfiler p;
    p.SetScale(25);
    p.StartFrame(0);
    p.Mark(8); // at the frame's start: a segment of no width
    Step();
    p.Mark(15); // 12,500 us: half of 25 ms
    Step();
    Step();
    p.Mark(9); // 37,500 us: beyond the bar's end
    p.StartFrame(0);
    RecordingDisplay d;
    p.DrawOverlay(d);
    const std::vector<std::string> expected = {
        "V 0 10 459 470",      // left end
        "F 8 11 461 10 468",   // the empty first segment
        "V 0 10 459 470",      //
        "F 15 11 461 320 468", // 12,500 us of 25 ms across 620 pixels
        "V 0 320 459 470",     //
        "H 0 10 630 464",      // the middle line, cut at the bar's end
    };
    EXPECT_EQ(expected, d.calls);
}

TEST_F(ProfilerTest, OverlayBeforeTheSecondFrameDrawsOnlyItsLeftEnd) {
    sProfiler p;
    p.StartFrame(0);
    RecordingDisplay d;
    p.DrawOverlay(d);
    EXPECT_EQ((std::vector<std::string>{"V 0 10 459 470", "H 0 10 10 464"}), d.calls);
}

} // namespace
