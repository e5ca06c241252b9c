// mkpack: packfiles the engine's OpenPackfile reads back byte for byte, and the names
// it must refuse.
#include <gtest/gtest.h>

#include "file.h"
#include "mkpack_test_support.h"
#include "packfile.h"

using namespace tooltest;

namespace {

std::vector<uint8_t> Pattern(size_t n, int seed) {
    std::vector<uint8_t> v(n);
    uint32_t x = uint32_t(seed) * 2654435761u + 1;
    for (auto& b : v) {
        x = x * 1664525u + 1013904223u;
        b = uint8_t(x >> 24);
    }
    return v;
}

class MkpackTest : public ::testing::Test {
protected:
    void SetUp() override { ForgetPackfile(); }
    void TearDown() override { ForgetPackfile(); }
    Scratch dir;
};

TEST_F(MkpackTest, EveryMemberReadsBackThroughTheEngine) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> members = {
        {"vd/q47_back.scl", Pattern(70000, 1)},
        {"vd/Q47_Arro.scl", Pattern(1, 2)},
        {"empty.bin", {}},
        {"deep/er/path/x.bin", Pattern(4097, 3)},
    };
    std::string names;
    for (const auto& m : members) {
        dir.Write("in/" + m.first, m.second);
        names += " '" + m.first + "'";
    }
    ToolRun r =
        RunTool("mkpack", "'" + dir.Path("out.dat") + "' -C '" + dir.Path("in") + "'" + names);
    ASSERT_EQ(r.status, 0) << r.output;

    OpenPackfile(dir.Path("out.dat").c_str());
    ASSERT_TRUE(packfileMode);
    ASSERT_EQ(packEntryCount, int(members.size()));
    for (size_t i = 0; i < members.size(); i++) {
        // The directory word holds the member's length.
        EXPECT_EQ(packDirectory[i].size, members[i].second.size());
        sFile f;
        f.Open(members[i].first.c_str(), 1);
        std::vector<uint8_t> back(members[i].second.size());
        if (!back.empty()) f.Read(back.data(), int(back.size()));
        EXPECT_EQ(back, members[i].second) << members[i].first;
        f.Close();
    }
}

TEST_F(MkpackTest, LayoutOfHeaderAndDirectory) {
    dir.Write("a", {1, 2, 3});
    ASSERT_EQ(RunTool("mkpack", "'" + dir.Path("p.dat") + "' -C '" + dir.Path("") + "' a").status,
              0);
    std::vector<uint8_t> p = dir.Read("p.dat");
    const std::vector<uint8_t> expected = {'P', 'A', 'C', 'K', 0,   0,   0,   0,   0, 0,  0,
                                           0,   1,   0,   0,   0,   3,   0,   0,   0, 30, 0,
                                           0,   0,   'a', 0,   'p', 'a', 'c', 'k', 1, 2,  3};
    EXPECT_EQ(p, expected);
}

TEST_F(MkpackTest, BackslashesAreStoredAsForwardSlashes) {
    dir.Write("in/sub/x.bin", {9});
    ASSERT_EQ(
        RunTool("mkpack", "'" + dir.Path("p.dat") + "' -C '" + dir.Path("in") + "' 'sub\\x.bin'")
            .status,
        0);
    packfile::Directory d;
    std::string error;
    std::vector<uint8_t> p = dir.Read("p.dat");
    ASSERT_TRUE(packfile::ReadDirectory(p.data(), p.size(), d, error)) << error;
    EXPECT_EQ(d.members[0].name, "sub/x.bin");
}

TEST_F(MkpackTest, RefusesNamesTheLoaderWouldCut) {
    std::string name63(63, 'a'), name64(64, 'b');
    dir.Write("in/" + name63, {1});
    dir.Write("in/" + name64, {2});
    ToolRun ok =
        RunTool("mkpack", "'" + dir.Path("ok.dat") + "' -C '" + dir.Path("in") + "' " + name63);
    EXPECT_EQ(ok.status, 0) << ok.output;
    ToolRun bad =
        RunTool("mkpack", "'" + dir.Path("bad.dat") + "' -C '" + dir.Path("in") + "' " + name64);
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.output.find("63"), std::string::npos) << bad.output;
}

TEST_F(MkpackTest, RefusesDuplicateNamesAlsoWhenOnlyCaseDiffers) {
    dir.Write("in/a.bin", {1});
    dir.Write("in/A.BIN", {2});
    ToolRun same =
        RunTool("mkpack", "'" + dir.Path("x.dat") + "' -C '" + dir.Path("in") + "' a.bin a.bin");
    EXPECT_NE(same.status, 0);
    EXPECT_NE(same.output.find("duplicate"), std::string::npos) << same.output;
    ToolRun cased =
        RunTool("mkpack", "'" + dir.Path("y.dat") + "' -C '" + dir.Path("in") + "' a.bin A.BIN");
    EXPECT_NE(cased.status, 0);
}

TEST_F(MkpackTest, MissingInputOrNoArguments) {
    ToolRun missing =
        RunTool("mkpack", "'" + dir.Path("x.dat") + "' -C '" + dir.Path("in") + "' nothing.bin");
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.output.find("nothing.bin"), std::string::npos);
    EXPECT_NE(RunTool("mkpack", "").status, 0);
}

TEST_F(MkpackTest, NoMembersMakesAnEmptyDirectory) {
    ASSERT_EQ(RunTool("mkpack", "'" + dir.Path("e.dat") + "'").status, 0);
    OpenPackfile(dir.Path("e.dat").c_str());
    EXPECT_FALSE(packfileMode);
}

} // namespace
