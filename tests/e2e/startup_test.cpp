// The real program, started as a user would start it, without a display.
#include "program.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using e2e::PROGRAM;

TEST(Startup, HeadlessRunStartsItsThreadsAndEndsWithStatusZeroQuickly) {
    if (access(PROGRAM, X_OK) != 0) GTEST_SKIP() << PROGRAM << " not built";
    // Escape at once, for a demo that would otherwise run until a key.
    e2e::Outcome run = e2e::RunProgram({"PRISMATEL_HEADLESS=1", "PRISMATEL_INPUT=0:ESCAPE"},
                                       std::chrono::seconds(20));
    ASSERT_TRUE(run.exited) << "did not end; stderr:\n" << run.errors;
    EXPECT_EQ(run.status, 0) << run.errors;
    // A hang detector, not a speed target: start-up decodes the whole music first.
    EXPECT_LT(run.took.count(), 10000);
    EXPECT_EQ(run.errors.find("Fatal:"), std::string::npos) << run.errors;
}

} // namespace
