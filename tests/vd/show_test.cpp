// The show script against the default data: its totals, drawing order and windows.
#include "show.h"

#include "fake_display.h"
#include "file.h"
#include "moveit.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

const char* const PACKFILE = PRISMATEL_BINARY_DIR "/data/q47.dat";

template <class T> int CountOf(const sTimeline& t, int from, int to) {
    int n = 0;
    for (int i = from; i < to; i++) n += dynamic_cast<T*>(t.effects[i]) != nullptr;
    return n;
}

TEST(Show, BuildsFortySevenEffectsFiveWindowsFortyThreeTracksNinetyNineKeys) {
    if (access(PACKFILE, R_OK) != 0) GTEST_SKIP() << "no default data at " << PACKFILE;
    OpenPackfile(PACKFILE);
    sTimeline timeline;
    BuildShow(timeline);
    EXPECT_EQ(47, timeline.effectCount);
    EXPECT_EQ(43, timeline.trackCount);
    EXPECT_EQ(99, timeline.keyCount);
    int windows = 0;
    for (auto& w : timeline.windows) windows += w.start < w.end;
    EXPECT_EQ(5, windows);

    // Drawing order: backgrounds, fades and shades, titles, frames, warp fades, panels.
    EXPECT_EQ(3, CountOf<sImageEffect>(timeline, 0, 3));
    EXPECT_NE(nullptr, dynamic_cast<sPaletteFadeEffect*>(timeline.effects[3]));
    EXPECT_EQ(13, CountOf<sShadeRectEffect>(timeline, 4, 18));
    EXPECT_EQ(5, CountOf<sSpriteEffect>(timeline, 18, 23));
    EXPECT_EQ(11, CountOf<sFrameEffect>(timeline, 23, 34));
    EXPECT_EQ(2, CountOf<sPaletteFadeEffect>(timeline, 34, 36));
    EXPECT_EQ(11, CountOf<sWarpEffect>(timeline, 36, 47));
    const uint32_t masks[] = {2, 4, 8, 0, 1, 0};
    for (int i = 0; i < 6; i++) EXPECT_EQ(masks[i], timeline.effects[i]->windowMask) << i;
    EXPECT_EQ(16u, timeline.effects[46]->windowMask);

    // Warp images are remapped into their palette bands, with the 1024-byte rows they need.
    ASSERT_NE(nullptr, warpImageA);
    EXPECT_EQ(1024, warpImageA->levelPitch[0]);
    EXPECT_GE(warpImageB->height, 128);

    // Drawing: the first background's texture is registered by Prepare; at 2000.5 ms window
    // 0 has closed and window 1 is open.
    FakeDisplay display;
    timeline.Prepare(display);
    EXPECT_EQ(1 + 1 + 1, display.GetTextureCount());
    timeline.Draw(display, 2000.5f);
    EXPECT_EQ(2u, timeline.activeWindows);
    timeline.Draw(display, 20000.0f);
    EXPECT_EQ(4u | 16u, timeline.activeWindows);
    timeline.Draw(display, 36000.0f);
    EXPECT_EQ(0u, timeline.activeWindows);
    // The display owns the registered images now.
    for (int i = 0; i < display.GetTextureCount(); i++) delete display.GetTexture(i)->bitmap;
}

} // namespace
