// The decoder's output to the bit: faster paths (the Huffman lookup tables, the IMDCT over
// four subbands, the vectorised synthesis) must not change a single float. The checksums are
// those of the float output of the decoder before those paths existed, at full and half rate.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mpeg_test_util.h"

using namespace mpegtest;

namespace {

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
    return h;
}

struct Expected {
    const char* name;
    uint64_t full, half;
};

const Expected EXPECTED[] = {
    {"l1-fl1", 0x8264a9f6cdc5c353ull, 0x39869737d5365dfaull},
    {"l1-fl2", 0xb4b57a6038d2164aull, 0x68db55d0d124ca9cull},
    {"l2-fl10", 0x03a0d2191653499aull, 0x29f9214519c57538ull},
    {"l2-fl11", 0xde57180e3e2c2d23ull, 0x2ac4bce495aac296ull},
    {"l3-compl", 0xcdcfcfde4dd2a241ull, 0x3737294d3ade45d2ull},
    {"l3-si", 0x20d0a74e96007be1ull, 0xc39a93c18df62a1full},
    {"M2L3_compl24", 0xf8ee213a60daec78ull, 0xddb5264bcc7c2d84ull},
};

} // namespace

TEST(DecodedOutput, ConformanceStreamsDecodeToTheSameFloatsAsBefore) {
    std::vector<std::string> names;
    for (const Expected& e : EXPECTED) names.push_back(e.name);
    std::vector<ConformanceStream> streams = ConformanceStreams(names);
    if (streams.empty()) GTEST_SKIP() << "no conformance streams in " << ConformanceDirectory();
    for (const ConformanceStream& s : streams) {
        const Expected* e = EXPECTED;
        while (s.name != e->name) e++;
        for (int shift : {0, 1}) {
            SCOPED_TRACE(s.name + (shift ? " half rate" : " full rate"));
            MemoryStream source(s.bits, true);
            Decoded d = DecodeAll(&source, 0, shift, 0);
            ASSERT_GE(d.status, 0);
            EXPECT_EQ(Fnv1a(d.bytes), shift ? e->half : e->full);
        }
    }
}
