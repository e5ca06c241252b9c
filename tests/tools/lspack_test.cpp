// lspack: the listing, the loader's checks reported as text, and safe extraction.
#include <gtest/gtest.h>

#include "mkpack_test_support.h"
#include "packfile.h"

using namespace tooltest;

namespace {

std::vector<uint8_t> Build(const std::vector<packfile::Input>& members) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(packfile::Build(members, out, error)) << error;
    return out;
}

void PutU32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; i++) b.push_back(uint8_t(v >> (8 * i)));
}

// A packfile written by hand, for names and counts mkpack refuses to write.
std::vector<uint8_t> RawPack(uint32_t count,
                             const std::vector<std::pair<std::string, uint32_t>>& entries) {
    std::vector<uint8_t> b = {'P', 'A', 'C', 'K'};
    PutU32(b, 0);
    PutU32(b, 0);
    PutU32(b, count);
    for (const auto& e : entries) {
        PutU32(b, 1);
        PutU32(b, e.second);
        b.insert(b.end(), e.first.begin(), e.first.end());
        b.push_back(0);
    }
    b.insert(b.end(), {'p', 'a', 'c', 'k'});
    return b;
}

TEST(Lspack, ListsOffsetsLengthsAndLookupNames) {
    Scratch dir;
    std::string pack =
        dir.Write("p.dat", Build({{"VD\\A.scl", {1, 2, 3}}, {"b", std::vector<uint8_t>(10)}}));
    ToolRun r = RunTool("lspack", "'" + pack + "'");
    ASSERT_EQ(r.status, 0) << r.output;
    // Directory: 16 + (8 + 9) + (8 + 2) + 4 = 47 bytes, then the data.
    EXPECT_NE(r.output.find("47          3  vd/a.scl"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("50         10  b"), std::string::npos) << r.output;
}

TEST(Lspack, ExtractsEveryMember) {
    Scratch dir;
    std::vector<uint8_t> big(5000);
    for (size_t i = 0; i < big.size(); i++) big[i] = uint8_t(i * 7);
    std::string pack = dir.Write("p.dat", Build({{"vd/x.scl", big}, {"y", {42}}}));
    ToolRun r = RunTool("lspack", "'" + pack + "' -x '" + dir.Path("out") + "'");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(dir.Read("out/vd/x.scl"), big);
    EXPECT_EQ(dir.Read("out/y"), std::vector<uint8_t>{42});
}

TEST(Lspack, ReportsTheLoadersMessagesAndEndsNormally) {
    Scratch dir;
    struct Case {
        std::vector<uint8_t> bytes;
        const char* message;
    } cases[] = {
        {{'J', 'U', 'N', 'K', 0, 0, 0, 0}, "Illegal Packfile"},
        {RawPack(4000000000u, {}), "Illegal Packfile"},
        {RawPack(2, {{"a", 40}}), "Illegal Fastfile"},
        {{}, "Illegal Packfile"},
    };
    cases[2].bytes.resize(cases[2].bytes.size() + 30, 'x'); // room for the count, no end tag
    for (const Case& c : cases) {
        std::string pack = dir.Write("bad.dat", c.bytes);
        ToolRun r = RunTool("lspack", "'" + pack + "'");
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    }
}

TEST(Lspack, WarnsAboutWhatTheLoaderAcceptsButLooksWrong) {
    Scratch dir;
    std::string longName(70, 'n');
    std::vector<uint8_t> raw = RawPack(3, {{longName, 0}, {"Dup", 0}, {"dup", 9999}});
    std::string pack = dir.Write("w.dat", raw);
    ToolRun r = RunTool("lspack", "'" + pack + "'");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("cut to 63"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("duplicate name dup"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("beyond the end"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(std::string(63, 'n') + "\n"), std::string::npos) << r.output;
}

TEST(Lspack, EmptyDirectoryIsReportedNotRefused) {
    Scratch dir;
    std::string pack = dir.Write("e.dat", RawPack(0, {}));
    ToolRun r = RunTool("lspack", "'" + pack + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("empty directory"), std::string::npos) << r.output;
}

TEST(Lspack, ExtractionStaysInsideTheFolder) {
    Scratch dir;
    std::vector<uint8_t> raw = RawPack(2, {{"../escape", 0}, {"/abs", 0}});
    std::string pack = dir.Write("sub/e.dat", raw);
    ToolRun r = RunTool("lspack", "'" + pack + "' -x '" + dir.Path("sub/out") + "'");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("leaves the folder"), std::string::npos) << r.output;
    EXPECT_TRUE(dir.Read("sub/escape").empty());
}

TEST(PackfileLibrary, DirectoryReaderAgreesWithTheBuilder) {
    std::vector<packfile::Input> in = {{"One", {1}}, {"two/2", {2, 2}}, {"THREE\\3", {}}};
    std::vector<uint8_t> bytes = Build(in);
    packfile::Directory d;
    std::string error;
    ASSERT_TRUE(packfile::ReadDirectory(bytes.data(), bytes.size(), d, error)) << error;
    ASSERT_EQ(d.members.size(), 3u);
    EXPECT_EQ(d.members[0].name, "one");
    EXPECT_EQ(d.members[2].name, "three/3");
    EXPECT_EQ(d.members[1].size, 2u);
    EXPECT_EQ(bytes[d.members[1].offset], 2);
    EXPECT_EQ(d.directoryBytes, size_t(d.members[0].offset));
    // Every cut of the file is answered without reading past it.
    for (size_t n = 0; n < d.directoryBytes; n++) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);
        EXPECT_FALSE(packfile::ReadDirectory(cut.data(), cut.size(), d, error) && d.count != 0)
            << n;
    }
}

} // namespace
