// sFileStream over real files in a scratch directory.
#include <gtest/gtest.h>

#include <dirent.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "filestream.h"

namespace {

class FileStreamTest : public testing::Test {
protected:
    std::string dir;
    void SetUp() override {
        char pattern[] = "/tmp/filestream_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir = pattern;
    }
    void TearDown() override {
        std::string command = "rm -rf '" + dir + "'";
        (void)!system(command.c_str());
    }
    std::string PathOf(const char* name) { return dir + "/" + name; }
    void WriteFile(const std::string& path, const std::string& text) {
        FILE* f = fopen(path.c_str(), "wb");
        ASSERT_NE(nullptr, f);
        fwrite(text.data(), 1, text.size(), f);
        fclose(f);
    }
    std::string ReadFile(const std::string& path) {
        std::string text;
        FILE* f = fopen(path.c_str(), "rb");
        if (!f) return "<missing>";
        int c;
        while ((c = fgetc(f)) != EOF) text += (char)c;
        fclose(f);
        return text;
    }
};

int OpenDescriptors() {
    int count = 0;
    DIR* d = opendir("/proc/self/fd");
    if (!d) return -1;
    while (readdir(d)) count++;
    closedir(d);
    return count;
}

} // namespace

TEST_F(FileStreamTest, MissingFileInReadModeFailsAndStaysClosed) {
    sFileStream s;
    EXPECT_EQ(-1, s.Open(PathOf("absent.mp3").c_str(), 2));
    EXPECT_EQ(0, s.GetFlags());
    uint8_t byte;
    EXPECT_EQ(0, s.Read(&byte, 1));
    EXPECT_EQ(-1, s.Open(PathOf("absent.mp3").c_str(), 0));
    EXPECT_EQ(-1, s.Open(nullptr, 2));
}

TEST_F(FileStreamTest, ModesSetTheStreamFlagsAndSize) {
    std::string path = PathOf("data.bin");
    WriteFile(path, "0123456789");
    const int expect[4] = {SF_READ, SF_WRITE, SF_READ | SF_SEEK,
                           SF_READ | SF_WRITE | SF_SEEK | SF_UPDATE};
    for (int mode = 0; mode < 4; mode++) {
        sFileStream s;
        ASSERT_EQ(0, s.Open(path.c_str(), mode));
        EXPECT_EQ(expect[mode] | SF_OPEN, s.GetFlags()) << "mode " << mode;
        EXPECT_EQ(mode == 1 ? 0 : 10, s.GetSize()) << "mode " << mode;
        EXPECT_EQ(0, s.GetPosition());
    }
    EXPECT_EQ("0123456789", ReadFile(path)) << "opening changes nothing";
}

TEST_F(FileStreamTest, CreateBitsCreateTruncateAndRefuseExisting) {
    std::string path = PathOf("new.bin");
    sFileStream s;
    EXPECT_EQ(-1, s.Open(path.c_str(), 1)) << "no create bit: the file must exist";
    ASSERT_EQ(0, s.Open(path.c_str(), 1 | 4));
    EXPECT_EQ(5, s.WriteString("hello", 0));
    s.Shutdown();
    ASSERT_EQ(0, s.Open(path.c_str(), 1 | 4)); // writing appends
    s.WriteString(" world", 0);
    s.Shutdown();
    EXPECT_EQ("hello world", ReadFile(path));

    EXPECT_EQ(-1, s.Open(path.c_str(), 3 | 12)) << "exclusive create of an existing file";
    ASSERT_EQ(0, s.Open(path.c_str(), 3 | 8));
    EXPECT_EQ(0, s.GetSize()) << "truncated";
    s.WriteString("x", 1);
    s.Shutdown();
    EXPECT_EQ(std::string("x\0", 2), ReadFile(path));

    struct stat info;
    ASSERT_EQ(0, stat(path.c_str(), &info));
    EXPECT_EQ(0u, info.st_mode & 0077u) << "only the owner may use it";
    EXPECT_EQ(0600u, info.st_mode & 0600u);
}

TEST_F(FileStreamTest, BufferedUpdateInTheMiddleReachesTheFile) {
    std::string path = PathOf("update.bin");
    WriteFile(path, "abcdefghijklmnopqrstuvwxyz");
    sFileStream s;
    ASSERT_EQ(0, s.Open(path.c_str(), 3));
    s.Control(SC_SET_READ_BUFFER, nullptr, 8);
    EXPECT_EQ('a', s.ReadU8());
    s.Seek(10);
    s.WriteString("KLM", 0);
    EXPECT_EQ('n', s.ReadU8());
    s.SeekEnd(0);
    s.WriteString("!", 0);
    EXPECT_EQ(27, s.GetSize());
    EXPECT_EQ(0, s.Shutdown());
    EXPECT_EQ("abcdefghijKLMnopqrstuvwxyz!", ReadFile(path));
}

TEST_F(FileStreamTest, PeekOnASequentialFileDoesNotConsume) {
    std::string path = PathOf("seq.bin");
    WriteFile(path, "ABCDEF");
    sFileStream s;
    ASSERT_EQ(0, s.Open(path.c_str(), 0));
    char text[4] = {0};
    EXPECT_EQ(3, s.Peek(text, 3));
    EXPECT_STREQ("ABC", text);
    EXPECT_EQ(0x41424344u, s.ReadU32BE());
    EXPECT_EQ(0, s.ReadStringZ(text, 4)) << "no terminator before the end";
    EXPECT_STREQ("EF", text);
}

TEST_F(FileStreamTest, UpdateFlagOnlyInReadWriteMode) {
    std::string path = PathOf("flag.bin");
    WriteFile(path, "z");
    sFileStream s;
    ASSERT_EQ(0, s.Open(path.c_str(), 2));
    EXPECT_EQ(0, s.Control(SC_SET_FILE_UPDATE, nullptr, 1));
    EXPECT_EQ(0, s.Control(SC_FILE_UPDATE, nullptr, 0));
    ASSERT_EQ(0, s.Open(path.c_str(), 3));
    EXPECT_EQ(0, s.Control(SC_SET_FILE_UPDATE, nullptr, 1));
    EXPECT_EQ(1, s.Control(SC_FILE_UPDATE, nullptr, 0));
    EXPECT_EQ(1, s.Control(SC_SIZE, nullptr, 0)) << "other codes reach the base";
}

TEST_F(FileStreamTest, DestroyingAnOpenStreamGivesBackTheDescriptor) {
    std::string path = PathOf("leak.bin");
    WriteFile(path, "data");
    int before = OpenDescriptors();
    {
        sFileStream s;
        ASSERT_EQ(0, s.Open(path.c_str(), 2));
        EXPECT_EQ(before + 1, OpenDescriptors());
    }
    EXPECT_EQ(before, OpenDescriptors());
}
