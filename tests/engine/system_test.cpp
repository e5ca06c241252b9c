// The frame's small services: integer and rectangle helpers, clocks, fatal paths and debug
// output, each checked through the platform as the engine uses it.
#include <gtest/gtest.h>

#include <limits.h>
#include <string.h>

#include <atomic>
#include <string>

#include "cdaudio/cdaudio.h"
#include "support/headless_machine.h"
#include "machine/machine.h"
#include "system.h"

namespace {

TEST(Integers, MinSignAbsAlignUp) {
    EXPECT_EQ(Min(3, 3), 3);
    EXPECT_EQ(Min(-1, 2), -1);
    EXPECT_EQ(Sign(0), 0);
    EXPECT_EQ(Sign(-5), -1);
    EXPECT_EQ(Sign(INT_MAX), 1);
    EXPECT_EQ(Abs(-7), 7);
    EXPECT_EQ(Abs(0), 0);
    EXPECT_EQ(Abs(INT_MIN), INT_MIN) << "no positive counterpart: unchanged";
    EXPECT_EQ(AlignUp(5, 4), 8);
    EXPECT_EQ(AlignUp(8, 4), 8);
    EXPECT_EQ(AlignUp(0, 16), 0);
    EXPECT_EQ(AlignUp(1, 1), 1);
}

TEST(Rectangles, ContainsExcludesRightAndBottom) {
    sRect r = {10, 20, 30, 40};
    EXPECT_TRUE(r.Contains(10, 20));
    EXPECT_TRUE(r.Contains(29, 39));
    EXPECT_FALSE(r.Contains(30, 25));
    EXPECT_FALSE(r.Contains(15, 40));
    EXPECT_FALSE(r.Contains(9, 25));
    sRect empty = {5, 5, 5, 5};
    EXPECT_FALSE(empty.Contains(5, 5));
}

// ---- ClipBlitRect --------------------------------------------------------------------------

const sRect CLIP = {0, 0, 100, 80};

sBlitRect Blit(int srcX, int srcY, int dstX, int dstY, int width, int height) {
    return sBlitRect{srcX, srcY, dstX, dstY, width, height};
}

void ExpectBlit(const sBlitRect& r, int srcX, int srcY, int dstX, int dstY, int width, int height) {
    EXPECT_EQ(r.srcX, srcX);
    EXPECT_EQ(r.srcY, srcY);
    EXPECT_EQ(r.dstX, dstX);
    EXPECT_EQ(r.dstY, dstY);
    EXPECT_EQ(r.width, width);
    EXPECT_EQ(r.height, height);
}

TEST(ClipBlitRect, InsideIsUnchanged) {
    sBlitRect r = Blit(1, 2, 10, 20, 30, 40);
    EXPECT_TRUE(ClipBlitRect(r, CLIP, 64, 64));
    ExpectBlit(r, 1, 2, 10, 20, 30, 40);
}

TEST(ClipBlitRect, EverySideOfTheClip) {
    sBlitRect left = Blit(5, 0, -10, 10, 30, 20);
    EXPECT_TRUE(ClipBlitRect(left, CLIP, 64, 64));
    ExpectBlit(left, 15, 0, 0, 10, 20, 20);

    sBlitRect top = Blit(0, 5, 10, -8, 20, 30);
    EXPECT_TRUE(ClipBlitRect(top, CLIP, 64, 64));
    ExpectBlit(top, 0, 13, 10, 0, 20, 22);

    sBlitRect right = Blit(0, 0, 90, 10, 30, 20);
    EXPECT_TRUE(ClipBlitRect(right, CLIP, 64, 64));
    ExpectBlit(right, 0, 0, 90, 10, 10, 20);

    sBlitRect bottom = Blit(0, 0, 10, 75, 20, 20);
    EXPECT_TRUE(ClipBlitRect(bottom, CLIP, 64, 64));
    ExpectBlit(bottom, 0, 0, 10, 75, 20, 5);

    sBlitRect all = Blit(0, 0, -5, -5, 200, 200);
    EXPECT_TRUE(ClipBlitRect(all, CLIP, 300, 300));
    ExpectBlit(all, 5, 5, 0, 0, 100, 80);
}

TEST(ClipBlitRect, OutsideReturnsFalseKeepingOnlyTheSourceClip) {
    sBlitRect r = Blit(50, 0, 100, 10, 30, 20);
    EXPECT_FALSE(ClipBlitRect(r, CLIP, 64, 64));
    ExpectBlit(r, 50, 0, 100, 10, 14, 20);

    r = Blit(0, 0, -30, 10, 30, 20);
    EXPECT_FALSE(ClipBlitRect(r, CLIP, 64, 64)) << "touching the left edge draws nothing";
    r = Blit(0, 0, 10, -20, 30, 20);
    EXPECT_FALSE(ClipBlitRect(r, CLIP, 64, 64));
    r = Blit(0, 0, 10, 80, 30, 20);
    EXPECT_FALSE(ClipBlitRect(r, CLIP, 64, 64));
}

TEST(ClipBlitRect, SourceBounds) {
    sBlitRect beyond = Blit(60, 0, 0, 0, 10, 10);
    EXPECT_TRUE(ClipBlitRect(beyond, CLIP, 64, 64));
    EXPECT_EQ(beyond.width, 4);

    sBlitRect past = Blit(64, 0, 0, 0, 10, 10);
    EXPECT_FALSE(ClipBlitRect(past, CLIP, 64, 64)) << "nothing of the source is left";

    sBlitRect negative = Blit(-4, -6, 10, 10, 20, 20);
    EXPECT_TRUE(ClipBlitRect(negative, CLIP, 64, 64));
    ExpectBlit(negative, 0, 0, 14, 16, 16, 14);

    sBlitRect swallowed = Blit(-50, 0, 10, 10, 30, 10);
    EXPECT_FALSE(ClipBlitRect(swallowed, CLIP, 64, 64)) << "the source offset eats the width";

    sBlitRect both = Blit(-5, 0, -5, 0, 20, 10);
    EXPECT_TRUE(ClipBlitRect(both, CLIP, 64, 64));
    ExpectBlit(both, 0, 0, 0, 0, 15, 10);
}

TEST(ClipBlitRect, ExtremeValuesDoNotOverflow) {
    sBlitRect r = Blit(INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX, INT_MAX);
    EXPECT_FALSE(ClipBlitRect(r, CLIP, 64, 64));
    r = Blit(INT_MAX, 0, INT_MIN, 0, INT_MAX, 10);
    EXPECT_FALSE(ClipBlitRect(r, CLIP, 64, 64));
    r = Blit(INT_MIN, 0, 0, 0, INT_MAX, 10);
    EXPECT_FALSE(ClipBlitRect(r, CLIP, 64, 64));
}

// ---- clocks --------------------------------------------------------------------------------

TEST(Clocks, FollowTheCounter) {
    StartHeadlessMachine(3);
    EXPECT_EQ(GetMicroseconds(), 0);
    machine::AdvanceFrame();
    EXPECT_EQ(GetMicroseconds(), 333333);
    EXPECT_EQ(GetMilliseconds(), 333);
}

TEST(Clocks, FallBackToTimeGetTimeInStepsOfAMillisecond) {
    StartHeadlessMachine(3);
    machine::SetPerformanceCounterPresent(false);
    for (int frame = 1; frame <= 10; frame++) {
        machine::AdvanceFrame();
        int64_t us = GetMicroseconds();
        EXPECT_EQ(us % 1000, 0);
        EXPECT_EQ(us, (int64_t)timeGetTime() * 1000);
        EXPECT_EQ(GetMilliseconds(), (int64_t)(frame * 1000 / 3));
    }
}

TEST(Clocks, CountsBeyondThirtyTwoBits) {
    StartHeadlessMachine(1);
    machine::SetPerformanceFrequency(3579545); // 2^32 counts after 1200 s
    for (int i = 0; i < 2000; i++) machine::AdvanceFrame();
    EXPECT_NEAR((double)GetMicroseconds(), 2e9, 1.0);
    EXPECT_NEAR((double)GetMilliseconds(), 2e6, 1.0);
}

// ---- fatal paths --------------------------------------------------------------------------

LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, m, wp, lp);
}

class FatalPaths : public ::testing::Test {
protected:
    void SetUp() override {
        StartHeadlessMachine(60);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PlainProc;
        wc.lpszClassName = "Target";
        RegisterClassA(&wc);
        mainWindow = CreateWindowExA(0, "Target", "", 0, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
        fatalMessage[0] = 0;
    }

    // Runs the routine on its own thread; returns its exit code.
    DWORD RunThread(LPTHREAD_START_ROUTINE routine) {
        HANDLE t = CreateThread(NULL, 65536, routine, NULL, 0, NULL);
        EXPECT_EQ(WaitForSingleObject(t, 5000), (DWORD)WAIT_OBJECT_0);
        DWORD code = 0;
        GetExitCodeThread(t, &code);
        CloseHandle(t);
        return code;
    }

    bool QuitWasPosted() {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            if (msg.message == WM_QUIT) return true;
        return false;
    }
};

std::atomic<bool> reachedAfterFatal{false};

DWORD WINAPI DieWithBoom(LPVOID) {
    Fatal("boom");
    reachedAfterFatal = true;
    return 0;
}

TEST_F(FatalPaths, FatalLeavesItsMessagePostsQuitAndEndsOnlyItsThread) {
    reachedAfterFatal = false;
    EXPECT_EQ(RunThread(DieWithBoom), 666u);
    EXPECT_FALSE(reachedAfterFatal);
    EXPECT_STREQ(fatalMessage, "Fatal:boom\n");
    auto lines = machine::DebugLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "Fatal:boom\n");
    EXPECT_TRUE(QuitWasPosted()) << "WM_QUIT lands in the window thread's queue";
    EXPECT_TRUE(machine::MessageBoxes().empty()) << "the box is the window thread's job";
}

DWORD WINAPI DieWithLongText(LPVOID) {
    static char text[400];
    memset(text, 'x', sizeof text - 1);
    Fatal(text);
}

TEST_F(FatalPaths, LongMessagesAreCutAt255Characters) {
    RunThread(DieWithLongText);
    EXPECT_EQ(strlen(fatalMessage), 255u);
    EXPECT_EQ(std::string(fatalMessage, 7), "Fatal:x");
}

DWORD WINAPI FailAnAssertion(LPVOID) {
    AssertionFailed(12, "engine/x.cpp");
}

TEST_F(FatalPaths, AssertionTextGoesThroughFatal) {
    EXPECT_EQ(RunThread(FailAnAssertion), 666u);
    EXPECT_STREQ(fatalMessage, "Fatal:Assertion in line 12, file engine/x.cpp\n");
}

std::atomic<int> assertLine{0};
std::atomic<int> assertValue{1};
DWORD WINAPI FailTheMacro(LPVOID) {
    // clang-format off
    assertLine = __LINE__; ASSERT(assertValue == 2);
    // clang-format on
    return 0;
}

TEST_F(FatalPaths, AssertMacroPassesLineAndFile) {
    EXPECT_EQ(RunThread(FailTheMacro), 666u);
    std::string expected = "Fatal:Assertion in line " + std::to_string(assertLine.load()) +
                           ", file " + __FILE__ + "\n";
    EXPECT_EQ(fatalMessage, expected.substr(0, 255));
}

DWORD WINAPI DieOnTheCdThread(LPVOID) {
    MarkCdThread();
    Fatal("cd");
}

TEST_F(FatalPaths, FatalOnTheCdThreadReleasesTheShutDownWait) {
    cdThreadRunning = true;
    EXPECT_EQ(RunThread(DieWithBoom), 666u);
    EXPECT_TRUE(cdThreadRunning) << "another thread's Fatal leaves the flag alone";
    EXPECT_EQ(RunThread(DieOnTheCdThread), 666u);
    EXPECT_FALSE(cdThreadRunning);
}

TEST_F(FatalPaths, FatalBoxShowsTheTextAndExitsWithOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(FatalBox("Could not create main thread"), ::testing::ExitedWithCode(1),
                "Prismatel.*Could not create main thread");
}

// ---- debug output ----------------------------------------------------------------------------

TEST_F(FatalPaths, DebugPrintFormatsIntoOneLine) {
    DebugPrint("d3d device <%s> <%s>\n", "RGB Emulation", "Microsoft");
    DebugPrint("%s", std::string(300, 'y').c_str());
    DebugOutput("plain\n");
    auto lines = machine::DebugLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "d3d device <RGB Emulation> <Microsoft>\n");
    EXPECT_EQ(lines[1], std::string(255, 'y'));
    EXPECT_EQ(lines[2], "plain\n");
}

// ---- the CD-audio thread's loop ---------------------------------------------------------------

TEST(CdThreadLoop, QuitEndsTheThreadWithItsCodeAndClearsTheFlag) {
    StartHeadlessMachine(0);
    cdCommand = 0x600; // not a command: ignored
    cdThreadRunning = true;
    HANDLE t = CreateThread(NULL, 65536, CdThread, NULL, 0, NULL);
    EXPECT_EQ(WaitForSingleObject(t, 250), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(cdCommand.load(), 0u) << "every command word is taken";
    DWORD start = timeGetTime();
    cdCommand = CD_QUIT | 0x12;
    ASSERT_EQ(WaitForSingleObject(t, 1000), (DWORD)WAIT_OBJECT_0);
    DWORD took = timeGetTime() - start;
    EXPECT_GE(took, 90u) << "the pass that takes the quit still sleeps";
    EXPECT_LE(took, 400u);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, 123u);
    EXPECT_FALSE(cdThreadRunning);
    CloseHandle(t);
}

} // namespace
