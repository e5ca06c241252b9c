// sFile over disk files and the packfile: directory lookup, name normalisation,
// member positions, the shared packfile handle and every fatal path.
#include <gtest/gtest.h>

#include "file.h"
#include "file_test_support.h"
#include "kernel32/file_handles.h"

using namespace filetest;

namespace {

struct Member {
    std::string name;
    Bytes data;
    uint32_t offset = 0; // 0: placed after the previous member
};

// An independent writer of the packfile layout: head, reserved words, count, entries
// (length, offset, name), end tag, then the data at the offsets.
Bytes MakePack(std::vector<Member> members) {
    Bytes head;
    PutText(head, "PACK");
    PutU32(head, 0);
    PutU32(head, 0);
    PutU32(head, uint32_t(members.size()));
    uint32_t directory = uint32_t(head.size()) + 4;
    for (const Member& m : members) directory += 8 + uint32_t(m.name.size()) + 1;
    uint32_t next = directory;
    for (Member& m : members) {
        if (m.offset == 0) m.offset = next;
        next = std::max(next, m.offset + uint32_t(m.data.size()));
        PutU32(head, uint32_t(m.data.size()));
        PutU32(head, m.offset);
        PutText(head, m.name);
        PutU8(head, 0);
    }
    PutText(head, "pack");
    head.resize(next, 0xEE);
    for (const Member& m : members)
        std::copy(m.data.begin(), m.data.end(), head.begin() + m.offset);
    return head;
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

std::string ReadMember(const char* name, int count) {
    sFile f;
    f.Open(name, 1);
    std::string out(count, '\0');
    f.Read(&out[0], count);
    f.Close();
    return out;
}

class PackTest : public ::testing::Test {
protected:
    void SetUp() override { ForgetPackfile(); }
    void TearDown() override { ForgetPackfile(); }
    std::string WritePack(const std::vector<Member>& members) {
        return dir.Write("pack.dat", MakePack(members));
    }
    ScratchDir dir;
};

TEST_F(PackTest, LookupIgnoresCaseButNotBackslashes) {
    std::string pack = WritePack({{"VD\\Q47_ARRO.SCL", Text("arrow-bytes")}});
    OpenPackfile(pack.c_str());
    ASSERT_TRUE(packfileMode);
    EXPECT_STREQ(packDirectory[0].name, "vd/q47_arro.scl");
    EXPECT_EQ(ReadMember("vd/q47_arro.scl", 5), "arrow");
    EXPECT_EQ(ReadMember("Vd/Q47_Arro.scl", 11), "arrow-bytes");

    ThreadOutcome o = RunOnThread([] { ReadMember("vd\\q47_arro.scl", 1); });
    EXPECT_EQ(o.exitCode, FATAL_EXIT_CODE);
    EXPECT_TRUE(o.Printed("sFile::Open() filename vd\\q47_arro.scl"));
    EXPECT_TRUE(o.Fatal("sFile::Open() could not open file"));
}

TEST_F(PackTest, LongNameIsCutAndTheNextEntryStillReads) {
    std::string longName(70, 'n');
    std::string pack = WritePack({{longName, Text("first")}, {"next.bin", Text("second")}});
    OpenPackfile(pack.c_str());
    ASSERT_EQ(packEntryCount, 2);
    EXPECT_EQ(std::string(packDirectory[0].name), std::string(63, 'n'));
    EXPECT_STREQ(packDirectory[1].name, "next.bin");
    EXPECT_EQ(ReadMember(std::string(63, 'n').c_str(), 5), "first");
    EXPECT_EQ(ReadMember("next.bin", 6), "second");
    ThreadOutcome o = RunOnThread([&] { ReadMember(longName.c_str(), 1); });
    EXPECT_TRUE(o.Fatal("sFile::Open() could not open file"));
}

TEST_F(PackTest, NameOfExactly63BytesKeepsItsFollowingEntry) {
    std::string name63(63, 'q');
    std::string pack = WritePack({{name63, Text("a")}, {"z", Text("b")}});
    OpenPackfile(pack.c_str());
    EXPECT_EQ(ReadMember(name63.c_str(), 1), "a");
    EXPECT_EQ(ReadMember("z", 1), "b");
}

TEST_F(PackTest, DuplicateNamesOpenTheEarlierEntry) {
    std::string pack = WritePack({{"same.scl", Text("early")}, {"SAME.SCL", Text("later")}});
    OpenPackfile(pack.c_str());
    EXPECT_EQ(ReadMember("same.scl", 5), "early");
}

TEST_F(PackTest, EmptyDirectoryLeavesTheDiskInCharge) {
    std::string pack = WritePack({});
    std::string loose = dir.Write("loose.scl", Text("from disk"));
    OpenPackfile(pack.c_str());
    EXPECT_FALSE(packfileMode);
    EXPECT_EQ(packEntryCount, 0);
    EXPECT_EQ(ReadMember(loose.c_str(), 9), "from disk");
}

TEST_F(PackTest, SeekCountsFromTheMemberOffset) {
    Bytes data(64);
    for (size_t i = 0; i < data.size(); i++) data[i] = uint8_t(i);
    std::string pack = WritePack({{"m", data, 5000}});
    OpenPackfile(pack.c_str());
    sFile f;
    f.Open("m", 1);
    EXPECT_TRUE(f.inPack);
    EXPECT_EQ(f.base, 5000);
    EXPECT_EQ(f.size, 64);
    f.Seek(10);
    uint8_t b[2] = {0, 0};
    f.Read(b, 2);
    EXPECT_EQ(b[0], 10);
    EXPECT_EQ(b[1], 11);
    EXPECT_EQ(f.position, 12);
    f.Close();
}

TEST_F(PackTest, MembersShareThePackfileHandleAndCloseLeavesItOpen) {
    std::string pack = WritePack({{"a", Text("AAAA")}, {"b", Text("BBBB")}});
    OpenPackfile(pack.c_str());
    int open = kernel32::OpenFileHandles();
    {
        sFile a;
        a.Open("a", 1);
        EXPECT_EQ(a.handle, Packfile.handle);
        a.Close();
    }
    EXPECT_EQ(kernel32::OpenFileHandles(), open);
    EXPECT_TRUE(IsFileHandle(Packfile.handle));
    EXPECT_EQ(ReadMember("b", 4), "BBBB");
}

TEST_F(PackTest, InterleavedMembersReadCorrectlyAfterSeek) {
    std::string pack = WritePack({{"a", Text("abcdef")}, {"b", Text("uvwxyz")}});
    OpenPackfile(pack.c_str());
    sFile a, b;
    a.Open("a", 1);
    b.Open("b", 1);
    char c = 0;
    a.Seek(a.position);
    a.Read(&c, 1);
    EXPECT_EQ(c, 'a');
    b.Seek(b.position);
    b.Read(&c, 1);
    EXPECT_EQ(c, 'u');
    a.Seek(a.position);
    a.Read(&c, 1);
    EXPECT_EQ(c, 'b');
}

TEST_F(PackTest, WriteOpenInPackfileModeStopsBeforeAnyLookup) {
    std::string pack = WritePack({{"a", Text("x")}});
    OpenPackfile(pack.c_str());
    ThreadOutcome o = RunOnThread([] {
        sFile f;
        f.Open("a", 2);
    });
    EXPECT_EQ(o.exitCode, FATAL_EXIT_CODE);
    EXPECT_TRUE(o.Fatal("sFile::Open() packfile can only be read"));
    EXPECT_FALSE(o.Printed("sFile::Open() filename a"));
}

// ---- damaged packfiles ----------------------------------------------------------

class BadPackTest : public PackTest {
protected:
    ThreadOutcome OpenBytes(const Bytes& bytes) {
        std::string path = dir.Write("bad.dat", bytes);
        return RunOnThread([path] { OpenPackfile(path.c_str()); });
    }
};

TEST_F(BadPackTest, WrongHeadTag) {
    Bytes b = MakePack({{"a", Text("x")}});
    b[0] = 'B';
    ThreadOutcome o = OpenBytes(b);
    EXPECT_EQ(o.exitCode, FATAL_EXIT_CODE);
    EXPECT_TRUE(o.Fatal("Illegal Packfile"));
    EXPECT_FALSE(packfileMode);
}

TEST_F(BadPackTest, FileShorterThanTheHeadTag) {
    EXPECT_TRUE(OpenBytes(Text("PA")).Fatal("Illegal Packfile"));
}

TEST_F(BadPackTest, WrongEndTag) {
    Bytes b = MakePack({{"a", Text("x")}});
    size_t end = 16 + 9 + 1; // head, one entry with a one-byte name
    b[end] = 'P';
    ThreadOutcome o = OpenBytes(b);
    EXPECT_TRUE(o.Fatal("Illegal Fastfile"));
    EXPECT_FALSE(packfileMode);
}

TEST_F(BadPackTest, CountThatCannotFitIsRefusedBeforeAllocating) {
    Bytes b;
    PutText(b, "PACK");
    PutU32(b, 0);
    PutU32(b, 0);
    PutU32(b, 4000000000u);
    b.resize(64, 0);
    ThreadOutcome o = OpenBytes(b);
    EXPECT_EQ(o.exitCode, FATAL_EXIT_CODE);
    EXPECT_TRUE(o.Fatal("Illegal Packfile"));
    EXPECT_EQ(packDirectory, nullptr);
}

TEST_F(BadPackTest, CountOneMoreThanTheFileHoldsIsRefused) {
    // Two entries of nine bytes fit exactly; a count of three cannot.
    Bytes b = MakePack({{"", Text("")}, {"", Text("")}});
    b[12] = 3;
    EXPECT_TRUE(OpenBytes(b).Fatal("Illegal Packfile"));
    b[12] = 2;
    ThreadOutcome o = OpenBytes(b);
    EXPECT_EQ(o.exitCode, 0u);
}

TEST_F(BadPackTest, DirectoryCutShortEndsWithoutHanging) {
    // The file ends inside the first name: reads past the end deliver nothing.
    Bytes b;
    PutText(b, "PACK");
    PutU32(b, 0);
    PutU32(b, 0);
    PutU32(b, 1);
    PutU32(b, 1);
    PutU32(b, 40);
    PutText(b, "abcdef");
    ThreadOutcome o = OpenBytes(b);
    ASSERT_TRUE(o.finished);
    EXPECT_TRUE(o.Fatal("Illegal Fastfile"));
}

// ---- disk files ------------------------------------------------------------------

class DiskFileTest : public PackTest {};

TEST_F(DiskFileTest, MissingFilePrintsItsNameThenStops) {
    std::string missing = dir.Path("nothing-here.scl");
    ThreadOutcome o = RunOnThread([missing] { ReadMember(missing.c_str(), 1); });
    EXPECT_EQ(o.exitCode, FATAL_EXIT_CODE);
    EXPECT_TRUE(o.Printed("sFile::Open() filename " + missing));
    EXPECT_TRUE(o.Fatal("sFile::Open() could not open file"));
}

TEST_F(DiskFileTest, IllegalLocking) {
    std::string path = dir.Write("x", Text("x"));
    ThreadOutcome o = RunOnThread([path] {
        sFile f;
        f.Open(path.c_str(), 3);
    });
    EXPECT_TRUE(o.Fatal("sFile::Open() Illegal file locking"));
}

TEST_F(DiskFileTest, WriteOpenTruncatesAndReadingItIsAReadError) {
    std::string path = dir.Write("w", Text("old contents"));
    ThreadOutcome o = RunOnThread([path] {
        sFile f;
        f.Open(path.c_str(), 2);
        char c;
        f.Read(&c, 1);
    });
    EXPECT_TRUE(o.Fatal("sFile::Read() read error"));
    EXPECT_TRUE(ReadBack(path).empty());
}

TEST_F(DiskFileTest, ReadAndSeekOnAClosedFileAreAssertions) {
    EXPECT_TRUE(RunOnThread([] {
                    sFile f;
                    char c;
                    f.Read(&c, 1);
                }).Asserted());
    EXPECT_TRUE(RunOnThread([] {
                    sFile f;
                    f.Seek(0);
                }).Asserted());
}

TEST_F(DiskFileTest, SeekBeforeTheStartFails) {
    std::string path = dir.Write("s", Text("abc"));
    ThreadOutcome o = RunOnThread([path] {
        sFile f;
        f.Open(path.c_str(), 1);
        f.Seek(-1);
    });
    EXPECT_TRUE(o.Fatal("sFile::Seek() failed"));
}

TEST_F(DiskFileTest, ShortReadCountsTheRequestAndKeepsTheRestOfTheBuffer) {
    std::string path = dir.Write("short", Text("ab"));
    sFile f;
    f.Open(path.c_str(), 1);
    char buffer[5] = {'.', '.', '.', '.', '.'};
    f.Read(buffer, 5);
    EXPECT_EQ(std::string(buffer, 5), "ab...");
    EXPECT_EQ(f.position, 5);
}

TEST_F(DiskFileTest, ReadStringCutsAtCapacityAndSkipsToTheNul) {
    Bytes b = Text("abcdefgh");
    b.push_back(0);
    PutText(b, "xy");
    b.push_back(0);
    std::string path = dir.Write("strings", b);
    sFile f;
    f.Open(path.c_str(), 1);
    char s[4];
    f.ReadString(s, sizeof s);
    EXPECT_STREQ(s, "abc");
    EXPECT_EQ(f.position, 9);
    f.ReadString(s, sizeof s);
    EXPECT_STREQ(s, "xy");
    // At the end of the file a string ends instead of reading for ever.
    f.ReadString(s, sizeof s);
    EXPECT_STREQ(s, "");
}

TEST_F(DiskFileTest, CloseReleasesTheHandleAndTheFileCanBeReopened) {
    std::string path = dir.Write("r", Text("xyz"));
    int before = kernel32::OpenFileHandles();
    sFile f;
    f.Open(path.c_str(), 1);
    EXPECT_EQ(kernel32::OpenFileHandles(), before + 1);
    f.Close();
    EXPECT_EQ(f.handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(kernel32::OpenFileHandles(), before);
    f.Open(path.c_str(), 1);
    char c = 0;
    f.Read(&c, 1);
    EXPECT_EQ(c, 'x');
}

} // namespace
