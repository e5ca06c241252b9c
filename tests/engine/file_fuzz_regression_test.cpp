// Replays the inputs the fuzzers kept (tests/data/fuzz/packfile and .../bitmap) through
// the real engine: each must end normally or in the system's own message, in bounded
// time. The sanitizer build turns any bad access on the way into a failure.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "bitmap.h"
#include "file.h"
#include "file_test_support.h"

using namespace filetest;

namespace {

std::vector<std::string> Inputs(const std::string& target) {
    std::string dir = std::string(PRISMATEL_SOURCE_DIR) + "/tests/data/fuzz/" + target;
    std::vector<std::string> paths;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') paths.push_back(dir + "/" + e->d_name);
        closedir(d);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool EndedInPackfileMessage(const ThreadOutcome& o) {
    return o.Fatal("Illegal Packfile") || o.Fatal("Illegal Fastfile") ||
           o.Fatal("sFile::Open() could not open file") || o.Fatal("sFile::Seek() failed");
}

TEST(FuzzRegression, PackfileInputs) {
    std::vector<std::string> inputs = Inputs("packfile");
    ASSERT_FALSE(inputs.empty());
    for (const std::string& path : inputs) {
        ThreadOutcome o = RunOnThread([path] {
            OpenPackfile(path.c_str());
            char buffer[32];
            for (int i = 0; packfileMode && i < packEntryCount; i++) {
                sFile member;
                member.Open(packDirectory[i].name, 1);
                member.Read(buffer, sizeof buffer);
                member.Close();
            }
        });
        ASSERT_TRUE(o.finished) << path << " did not finish";
        EXPECT_TRUE(o.exitCode == 0 || (o.exitCode == FATAL_EXIT_CODE && EndedInPackfileMessage(o)))
            << path;
        ForgetPackfile();
    }
}

TEST(FuzzRegression, BitmapInputs) {
    std::vector<std::string> inputs = Inputs("bitmap");
    ASSERT_FALSE(inputs.empty());
    ForgetPackfile();
    for (const std::string& path : inputs) {
        ThreadOutcome o = RunOnThread([path] {
            sBitmap bitmap;
            bitmap.Load(path.c_str());
            bitmap.Fill(0x5A5A5A5A);
        });
        ASSERT_TRUE(o.finished) << path << " did not finish";
        EXPECT_TRUE(o.exitCode == 0 || (o.exitCode == FATAL_EXIT_CODE && o.Asserted())) << path;
    }
}

} // namespace
