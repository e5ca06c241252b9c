// Replays the inputs the decoder's fuzzer kept (tests/data/fuzz/mpeg) the way the fuzzer
// runs them: the first byte picks the output options, the rest is the stream. Under the
// sanitizers this checks that none of them reads or writes outside the decoder's buffers.
#include <gtest/gtest.h>

#include <dirent.h>

#include <memory>
#include <string>
#include <vector>

#include "mpeg_test_util.h"

using namespace mpegtest;

namespace {

std::vector<std::string> Inputs() {
    std::string dir = std::string(PRISMATEL_SOURCE_DIR) + "/tests/data/fuzz/mpeg";
    std::vector<std::string> files;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') files.push_back(dir + "/" + e->d_name);
        closedir(d);
    }
    return files;
}

// Returns the bytes decoded, or -1 when the stream did not open.
long Replay(const std::vector<uint8_t>& input) {
    if (input.empty()) return -1;
    uint8_t options = input[0];
    static const int channelChoices[4] = {0, 1, 2, -2};
    static const int readSizes[4] = {4608, 1000, 9216 * 3, 7};
    std::vector<uint8_t> stream(input.begin() + 1, input.end());
    MemoryStream source(stream, (options & 0x20) == 0);
    auto s = std::make_unique<sMpegStream>();
    int rate = 0, stereo = 0;
    if (s->Open(&source, &rate, &stereo, options & 1, (options >> 1) & 3,
                channelChoices[(options >> 3) & 3]) < 0)
        return -1;
    if (options & 0x10) {
        std::vector<float> gains(576);
        for (int i = 0; i < 576; i++) gains[(size_t)i] = 0.5f + (float)(i % 7) * 0.1f;
        s->Control(4099, gains.data(), 0);
    }
    std::vector<uint8_t> out(3 * 9216 + 17);
    long total = 0;
    bool ended = false;
    int readSize = readSizes[(options >> 6) & 3];
    for (int reads = 0; reads < 4000; reads++) {
        int got = s->Read(out.data(), readSize);
        if (got <= 0) {
            ended = true;
            break;
        }
        EXPECT_LE(got, readSize);
        total += got;
        if (reads == 3 && (options & 0x20) == 0) s->Seek((int)(total / 3));
    }
    // A stream read to its end says so.
    if (ended) {
        EXPECT_EQ(s->Control(49, nullptr, 0), 1);
    }
    return total;
}

TEST(MpegFuzzRegression, KeptInputsDecodeWithinBounds) {
    std::vector<std::string> files = Inputs();
    if (files.empty()) GTEST_SKIP() << "no kept fuzz inputs";
    int opened = 0;
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        long decoded = Replay(ReadFile(f));
        if (decoded >= 0) opened++;
        // The seeds named for a file shape (tags, junk, info frames around real frames) are
        // music the decoder must find.
        if (f.find("/shape_") != std::string::npos) {
            EXPECT_GT(decoded, 0);
        }
    }
    // The kept inputs grew out of real streams: many of them still open.
    EXPECT_GT(opened, 0);
}

} // namespace
