// The decoder's bit reader and input buffer: bits across byte boundaries, reads at and past
// the end of the data, refills that keep the bit offset, and other bit sources.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "mpeg_test_util.h"

using namespace mpegtest;

namespace {

// Reads the bits of bytes one at a time, the slow and obvious way.
uint32_t NaiveBits(const std::vector<uint8_t>& bytes, size_t position, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; i++) {
        size_t bit = position + (size_t)i;
        int b = bit / 8 < bytes.size() ? (bytes[bit / 8] >> (7 - bit % 8)) & 1 : 0;
        v = v << 1 | (uint32_t)b;
    }
    return v;
}

TEST(BitReader, AgreesWithANaiveReaderAtEveryAlignment) {
    std::mt19937 rng(17);
    std::vector<uint8_t> bytes(64);
    for (auto& b : bytes) b = (uint8_t)rng();
    auto s = std::make_unique<sMpegStream>();
    uint32_t position = 0;
    s->SetBitSource(bytes.data(), (uint32_t)bytes.size(), &position);
    for (int start = 0; start < 16; start++)
        for (int n = 1; n <= 25; n++) {
            position = (uint32_t)start;
            ASSERT_EQ(s->GetBits(n), NaiveBits(bytes, (size_t)start, n)) << start << " " << n;
            ASSERT_EQ(position, (uint32_t)(start + n));
        }
    // A run of mixed reads, as a layer decoder does them.
    position = 0;
    size_t naive = 0;
    for (int i = 0; i < 100; i++) {
        int n = 1 + (int)(rng() % 17);
        ASSERT_EQ(s->GetBits(n), NaiveBits(bytes, naive, n));
        naive += (size_t)n;
        if (naive > 400) position = 0, naive = 0;
    }
    EXPECT_EQ(s->GetBits(0), 0u);
}

TEST(BitReader, PastTheEndReadsZerosWithoutLeavingTheSource) {
    // The bytes live at the very end of a heap block, so any read beyond them is caught by
    // the address sanitizer.
    std::vector<uint8_t>* bytes = new std::vector<uint8_t>{0xAB, 0xCD, 0xEF};
    auto s = std::make_unique<sMpegStream>();
    uint32_t position = 12;
    s->SetBitSource(bytes->data(), 3, &position);
    EXPECT_EQ(s->GetBits(12), 0xDEFu);
    EXPECT_EQ(s->GetBits(8), 0u);
    position = 20;
    EXPECT_EQ(s->GetBits(8), 0xF0u);
    position = 1000000;
    EXPECT_EQ(s->GetBits(25), 0u);
    // Long reads are only used to skip: the position still moves by n.
    position = 0;
    s->GetBits(40);
    EXPECT_EQ(position, 40u);
    delete bytes;
}

TEST(InputBuffer, RefillKeepsTheBitOffsetAndZeroesTheRest) {
    std::vector<uint8_t> data(40000);
    for (size_t i = 0; i < data.size(); i++) data[i] = (uint8_t)(i * 7 + 3);
    for (bool seekable : {true, false}) {
        MemoryStream source(data, seekable);
        auto s = std::make_unique<sMpegStream>();
        s->source = &source;
        s->notSeekable = !seekable;
        s->ResetInput();
        EXPECT_EQ(s->inputLowWater, seekable ? 2048 : 16384);
        s->Refill();
        ASSERT_GE(s->inputFill, 2048);
        // Walk through the whole stream in odd steps, refilling as the header search does.
        size_t consumed = 0; // bits from the stream's start
        while (consumed + 13 <= data.size() * 8) {
            s->Refill();
            ASSERT_EQ(s->GetBits(13), NaiveBits(data, consumed, 13)) << consumed;
            consumed += 13;
            s->inputBitPos += 3 * 8 + 1;
            consumed += 25;
        }
        // Past the end: nothing more arrives, and what lies beyond the fill reads as zero.
        s->Refill();
        for (int i = s->inputFill; i < sMpegStream::INPUT_CAPACITY; i++)
            ASSERT_EQ(s->input[i], 0) << i;
    }
}

TEST(InputBuffer, PositionBeyondTheFillIsPulledBack) {
    MemoryStream source(std::vector<uint8_t>(100, 0x5A), true);
    auto s = std::make_unique<sMpegStream>();
    s->source = &source;
    s->ResetInput();
    s->Refill();
    EXPECT_EQ(s->inputFill, 100);
    s->inputBitPos = 5000 * 8;
    s->Refill();
    EXPECT_EQ(s->inputBitPos, 0u);
    EXPECT_EQ(s->inputFill, 0);
}

} // namespace
