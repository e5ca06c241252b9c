// sStream over an in-memory resource: buffering, seeking, bits, typed access, strings,
// delegate and tee, checked against a plain byte-vector model.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "stream.h"

namespace {

// A stream over a vector. Raw calls can be limited to simulate short transfers.
class MemoryStream : public sStream {
public:
    std::vector<uint8_t> data;
    int rawPosition = 0;
    int writeLimit = -1; // bytes each RawWrite accepts at most (-1: all)
    int rawReads = 0;

    void Open(int streamFlags, std::vector<uint8_t> bytes) {
        data = std::move(bytes);
        rawPosition = 0;
        Begin(streamFlags, 0, (int)data.size());
    }
    int RawRead(void* buffer, int n) override {
        rawReads++;
        int count = std::min<int>(n, (int)data.size() - rawPosition);
        if (count <= 0) return 0;
        memcpy(buffer, data.data() + rawPosition, count);
        rawPosition += count;
        return count;
    }
    int RawPeek(void* buffer, int n) override {
        int count = std::min<int>(n, (int)data.size() - rawPosition);
        if (count <= 0) return 0;
        memcpy(buffer, data.data() + rawPosition, count);
        return count;
    }
    int RawWrite(const void* buffer, int n) override {
        int count = writeLimit >= 0 ? std::min(n, writeLimit) : n;
        if (GetFlags() & SF_SEEK) {
            if ((int)data.size() < rawPosition + count) data.resize(rawPosition + count);
            memcpy(data.data() + rawPosition, buffer, count);
            rawPosition += count;
        } else {
            const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
            data.insert(data.end(), bytes, bytes + count);
        }
        return count;
    }
    int RawSeek(int target) override {
        rawPosition = target;
        return target;
    }
};

std::vector<uint8_t> Pattern(int n, int seed = 1) {
    std::vector<uint8_t> bytes(n);
    for (int i = 0; i < n; i++) bytes[i] = (uint8_t)(i * 7 + seed * 13 + (i >> 8));
    return bytes;
}

const int kSeekable = SF_READ | SF_WRITE | SF_SEEK | SF_UPDATE;

} // namespace

TEST(StreamRead, RefusesEmptyRequestsAndUnreadableStreams) {
    MemoryStream s;
    s.Open(kSeekable, Pattern(16));
    uint8_t buffer[4] = {9, 9, 9, 9};
    EXPECT_EQ(0, s.Read(buffer, 0));
    EXPECT_EQ(0, s.Read(buffer, -5));
    EXPECT_EQ(0, s.GetPosition());
    EXPECT_EQ(0, s.Control(SC_SHORT_READ, nullptr, 0));

    MemoryStream writeOnly;
    writeOnly.Open(SF_WRITE, {});
    EXPECT_EQ(0, writeOnly.Read(buffer, 4));
    EXPECT_EQ(9, buffer[0]);
    EXPECT_EQ(0, writeOnly.GetPosition());
}

TEST(StreamRead, ShortReadAppliesTheFillByteOnlyWhenSet) {
    for (int buffered : {0, 8, 64}) {
        MemoryStream s;
        s.Open(kSeekable, Pattern(5));
        s.Control(SC_SET_READ_BUFFER, nullptr, buffered);
        uint8_t buffer[8];
        memset(buffer, 0xAA, sizeof buffer);
        EXPECT_EQ(5, s.Read(buffer, 8));
        EXPECT_EQ(0xAA, buffer[5]) << "no fill byte: the rest stays";
        EXPECT_EQ(1, s.Control(SC_TAKE_SHORT_READ, nullptr, 0));
        EXPECT_EQ(0, s.Control(SC_SHORT_READ, nullptr, 0));

        EXPECT_EQ(-1, s.Control(SC_SET_FILL_BYTE, nullptr, 0));
        s.Seek(2);
        memset(buffer, 0xAA, sizeof buffer);
        EXPECT_EQ(3, s.Read(buffer, 8));
        for (int i = 3; i < 8; i++) EXPECT_EQ(0, buffer[i]) << "buffered " << buffered;
        EXPECT_EQ(1, s.Control(SC_SHORT_READ, nullptr, 0));
    }
}

TEST(StreamSeek, NegativeGoesToZeroAndBeyondSizeIsCutWhenBuffered) {
    MemoryStream s;
    s.Open(kSeekable, Pattern(100));
    s.Control(SC_SET_READ_BUFFER, nullptr, 16);
    EXPECT_EQ(0, s.Seek(-7));
    EXPECT_EQ(100, s.Seek(1000));
    EXPECT_EQ(100, s.SeekEnd(0));
    EXPECT_EQ(90, s.SeekEnd(-10));
    EXPECT_EQ(95, s.Skip(5));
    EXPECT_EQ(0, s.Skip(-500));

    MemoryStream sequential;
    sequential.Open(SF_READ, Pattern(10));
    uint8_t byte;
    sequential.Read(&byte, 1);
    EXPECT_EQ(1, sequential.Seek(5)) << "a non-seekable stream stays where it is";
}

// Random reads, peeks, seeks and writes on a buffered seekable stream must behave exactly
// like the same operations on a plain vector, for every buffer size.
TEST(StreamModel, BufferedSeekableMatchesVector) {
    for (int capacity : {0, 1, 3, 8, 9, 64, 300}) {
        std::mt19937 random(capacity + 5);
        MemoryStream s;
        std::vector<uint8_t> model = Pattern(500, capacity);
        s.Open(kSeekable, model);
        ASSERT_EQ(1, s.Control(SC_SET_READ_BUFFER, nullptr, capacity));
        int position = 0;
        for (int step = 0; step < 2000; step++) {
            int op = random() % 4;
            int n = random() % 80;
            if (op == 0) {
                std::vector<uint8_t> got(n + 1, 0);
                int count = s.Read(got.data(), n);
                int expect = std::max(0, std::min<int>(n, (int)model.size() - position));
                ASSERT_EQ(expect, count) << "capacity " << capacity << " step " << step;
                for (int i = 0; i < count; i++) ASSERT_EQ(model[position + i], got[i]);
                position += count;
            } else if (op == 1) {
                std::vector<uint8_t> got(n + 1, 0);
                int count = s.Peek(got.data(), n);
                int expect = std::max(0, std::min<int>(n, (int)model.size() - position));
                ASSERT_EQ(expect, count);
                for (int i = 0; i < count; i++) ASSERT_EQ(model[position + i], got[i]);
            } else if (op == 2) {
                int target = (int)(random() % (model.size() + 40)) - 20;
                // Only a buffered stream cuts the target to the size; an unbuffered one
                // goes where its resource goes (a later write leaves a zero gap).
                position = std::max(0, capacity ? std::min(target, (int)model.size()) : target);
                ASSERT_EQ(position, s.Seek(target)) << "capacity " << capacity << " step " << step;
            } else {
                std::vector<uint8_t> bytes = Pattern(n, step);
                ASSERT_EQ(n, s.Write(bytes.data(), n));
                if ((int)model.size() < position + n) model.resize(position + n);
                std::copy(bytes.begin(), bytes.end(), model.begin() + position);
                position += n;
            }
            ASSERT_EQ(position, s.GetPosition());
            ASSERT_EQ((int)model.size(), s.GetSize());
        }
        EXPECT_EQ(0, s.Shutdown());
        EXPECT_EQ(model, s.data) << "capacity " << capacity;
    }
}

TEST(StreamModel, WriteBufferKeepsOrderOnNonSeekableStreams) {
    for (int capacity : {0, 1, 8, 32}) {
        MemoryStream s;
        s.Open(SF_WRITE, {});
        ASSERT_EQ(1, s.Control(SC_SET_WRITE_BUFFER, nullptr, capacity));
        std::vector<uint8_t> expect;
        std::mt19937 random(capacity);
        for (int step = 0; step < 300; step++) {
            int n = random() % 70;
            std::vector<uint8_t> bytes = Pattern(n, step);
            ASSERT_EQ(n, s.Write(bytes.data(), n));
            expect.insert(expect.end(), bytes.begin(), bytes.end());
        }
        EXPECT_EQ((int)expect.size(), s.Control(SC_TRANSFERRED, nullptr, 0));
        s.Shutdown();
        EXPECT_EQ(expect, s.data) << "capacity " << capacity;
    }
}

TEST(StreamFlush, ShortRawWritesAreKeptInModeZeroAndReportedInModeOne) {
    MemoryStream s;
    s.Open(SF_WRITE, {});
    s.Control(SC_SET_WRITE_BUFFER, nullptr, 16);
    std::vector<uint8_t> bytes = Pattern(10);
    s.Write(bytes.data(), 10);
    s.writeLimit = 4;
    EXPECT_EQ(0, s.FlushWrite(0));
    EXPECT_EQ(4u, s.data.size());
    s.writeLimit = -1;
    EXPECT_EQ(1, s.FlushWrite(0));
    EXPECT_EQ(bytes, s.data) << "the unwritten rest follows, nothing lost or doubled";

    s.Write(bytes.data(), 10);
    s.writeLimit = 3;
    EXPECT_EQ(0, s.FlushWrite(1));
    EXPECT_EQ(1, s.Control(SC_SHORT_WRITE, nullptr, 0)) << "dropped bytes are reported";
}

TEST(StreamFlush, ShortWriteAtTheEndCutsTheSize) {
    MemoryStream s;
    s.Open(kSeekable, {});
    s.Control(SC_SET_READ_BUFFER, nullptr, 64);
    std::vector<uint8_t> bytes = Pattern(20);
    EXPECT_EQ(20, s.Write(bytes.data(), 20));
    EXPECT_EQ(20, s.GetSize());
    s.writeLimit = 12;
    EXPECT_EQ(1, s.Flush(1));
    EXPECT_EQ(12, s.GetSize());
    EXPECT_EQ(12, s.GetPosition());
    EXPECT_EQ(1, s.Control(SC_SHORT_WRITE, nullptr, 0));
}

TEST(StreamPeek, DoesNotConsumeOnAnyKindOfStream) {
    struct Case {
        int flags;
        int buffer;
    } cases[] = {{SF_READ, 0}, {SF_READ, 4}, {SF_READ, 32}, {kSeekable, 0}, {kSeekable, 4}};
    for (const Case& c : cases) {
        MemoryStream s;
        s.Open(c.flags, Pattern(12));
        s.Control(SC_SET_READ_BUFFER, nullptr, c.buffer);
        uint8_t first[3], peeked[4], read[4];
        s.Read(first, 3);
        EXPECT_EQ(4, s.Peek(peeked, 4)) << c.flags << "/" << c.buffer;
        EXPECT_EQ(4, s.Read(read, 4));
        EXPECT_EQ(0, memcmp(peeked, read, 4));
        EXPECT_EQ(7, s.GetPosition());
    }
}

TEST(StreamBits, MostSignificantFirstAcrossByteBoundaries) {
    for (int streamFlags : {(int)SF_READ, kSeekable}) {
        MemoryStream s;
        s.Open(streamFlags, {0xB2, 0x5C, 0xF0}); // 1011 0010 0101 1100 1111 0000
        EXPECT_EQ(1, s.ReadBit());
        EXPECT_EQ(0x1u, s.PeekBits(2)) << "01";
        EXPECT_EQ(0x3u, s.ReadBits(3)) << "011";
        EXPECT_EQ(0x12u, s.ReadBits(7)) << "0010 010";
        EXPECT_EQ(0xE78u, s.PeekBits(12)) << "1 1100 1111 000";
        EXPECT_EQ(0x1u, s.ReadBits(1));
        s.AlignRead();
        EXPECT_EQ(0xF0u, s.ReadBits(8));
    }
}

TEST(StreamBits, LeastSignificantFirstAssemblesLittleEndian) {
    for (int streamFlags : {(int)SF_READ, kSeekable}) {
        MemoryStream s;
        s.Open(streamFlags, {0xB2, 0x5C});
        s.Control(SC_SET_READ_BIT_ORDER, nullptr, 0);
        EXPECT_EQ(0u, s.ReadBits(1));
        EXPECT_EQ(0x1u, s.ReadBits(1));
        // Bits 2..11 of 0x5CB2 (little-endian assembly): 0x5CB2 >> 2 & 0x3FF
        EXPECT_EQ((0x5CB2u >> 2) & 0x3FF, s.ReadBits(10));
        EXPECT_EQ(0x5u, s.ReadBits(4));
    }
}

TEST(StreamBits, WrittenBitsReadBackInBothOrdersWithPad) {
    for (int order : {0, 1}) {
        for (int pad : {0, 1}) {
            MemoryStream s;
            s.Open(SF_WRITE, {});
            s.Control(SC_SET_BIT_ORDER, nullptr, order);
            s.Control(SC_SET_PAD, nullptr, pad);
            s.WriteBits(0x2D, 6);
            s.WriteBits(0x1F3, 9);
            s.FlushBits();
            ASSERT_EQ(2u, s.data.size());
            int trailing = order ? s.data[1] & 1 : s.data[1] >> 7;
            EXPECT_EQ(pad, trailing) << "the unused bit carries the pad value";

            MemoryStream back;
            back.Open(SF_READ, s.data);
            back.Control(SC_SET_READ_BIT_ORDER, nullptr, order);
            EXPECT_EQ(0x2Du, back.ReadBits(6));
            EXPECT_EQ(0x1F3u, back.ReadBits(9));
        }
    }
}

TEST(StreamBits, SeekableStreamsRewriteBitsInPlace) {
    MemoryStream s;
    s.Open(kSeekable, {0x00, 0xFF, 0x0F});
    s.Control(SC_SET_READ_BUFFER, nullptr, 16);
    s.Seek(1);
    s.WriteBits(0x5, 3); // 101 over 111 -> 1011 1111
    EXPECT_EQ(1, s.GetPosition()) << "a partly written byte keeps the position";
    s.FlushBits();
    EXPECT_EQ(2, s.GetPosition());
    s.WriteBits(0xA5, 8);
    s.Shutdown();
    EXPECT_EQ((std::vector<uint8_t>{0x00, 0xBF, 0xA5}), s.data);
}

TEST(StreamTyped, RoundTripsInBothByteOrders) {
    MemoryStream s;
    s.Open(kSeekable, {});
    s.Control(SC_SET_READ_BUFFER, nullptr, 8);
    s.WriteU16LE(0x1234);
    s.WriteU16BE(0x1234);
    s.WriteU32LE(0x89ABCDEF);
    s.WriteU32BE(0x89ABCDEF);
    s.WriteU64LE(0x0102030405060708ull);
    s.WriteU64BE(0xF102030405060708ull);
    s.WriteU8(0x80);
    s.Shutdown();
    const uint8_t expect[] = {0x34, 0x12, 0x12, 0x34, 0xEF, 0xCD, 0xAB, 0x89, 0x89, 0xAB,
                              0xCD, 0xEF, 8,    7,    6,    5,    4,    3,    2,    1,
                              0xF1, 2,    3,    4,    5,    6,    7,    8,    0x80};
    ASSERT_EQ(sizeof expect, s.data.size());
    EXPECT_EQ(0, memcmp(expect, s.data.data(), sizeof expect));

    MemoryStream r;
    r.Open(SF_READ, s.data);
    EXPECT_EQ(0x1234, r.PeekU16LE());
    EXPECT_EQ(0x1234, r.ReadU16LE());
    EXPECT_EQ(0x1234, r.ReadS16BE());
    EXPECT_EQ((int32_t)0x89ABCDEF, r.ReadS32LE());
    EXPECT_EQ(0x89ABCDEFu, r.ReadU32BE());
    EXPECT_EQ(0x0102030405060708ll, r.ReadS64LE());
    EXPECT_EQ((int64_t)0xF102030405060708ull, r.PeekS64BE());
    EXPECT_EQ(0xF102030405060708ull, r.ReadU64BE());
    EXPECT_EQ(-128, r.ReadS8());
    int count = 5;
    r.ReadByte(&count);
    EXPECT_EQ(0, count) << "at the end no byte is read";
}

TEST(StreamStrings, TerminatorFoundFitsOrTruncates) {
    MemoryStream s;
    s.Open(SF_READ, {'a', 'b', '\n', 'c', 'd', 'e', 'f', 0, 'g'});
    char text[4];
    EXPECT_EQ(1, s.ReadString(text, 4, '\n'));
    EXPECT_STREQ("ab", text);
    EXPECT_EQ(0, s.ReadStringZ(text, 4)) << "cdef does not fit in 3 characters";
    EXPECT_STREQ("cde", text);
    EXPECT_EQ(1, s.ReadStringZ(text, 4)) << "the rest, f, then its terminator";
    EXPECT_STREQ("f", text);
    EXPECT_EQ(0, s.ReadStringZ(text, 4)) << "no terminator before the end";
    EXPECT_STREQ("g", text);

    MemoryStream exact;
    exact.Open(SF_READ, {'x', 'y', 'z', 0});
    EXPECT_EQ(1, exact.ReadStringZ(text, 4)) << "an exactly fitting string counts";
    EXPECT_STREQ("xyz", text);
}

namespace {
struct CountingStream : MemoryStream {
    int* destroyed;
    explicit CountingStream(int* counter) : destroyed(counter) {}
    ~CountingStream() override { ++*destroyed; }
};
} // namespace

TEST(StreamDelegate, ForwardsEverythingAndOwnedDelegateGoesAtShutdown) {
    int destroyed = 0;
    CountingStream* inner = new CountingStream(&destroyed);
    inner->Open(kSeekable, Pattern(40));
    sStream outer;
    int newFlags = outer.Attach(inner, 1, SF_WRITE, 10, -1, 30);
    EXPECT_EQ(SF_OPEN | SF_READ | SF_SEEK | SF_UPDATE, newFlags);
    uint8_t byte;
    EXPECT_EQ(0, outer.Write(&byte, 1)) << "the cleared flag holds for the delegate";
    EXPECT_EQ(30, outer.Control(SC_SIZE, nullptr, 0));
    EXPECT_EQ(10, outer.Control(SC_POSITION, nullptr, 0));
    EXPECT_EQ(20, outer.Seek(20));
    EXPECT_EQ(1, outer.Read(&byte, 1));
    EXPECT_EQ(Pattern(40)[20], byte);
    EXPECT_EQ(0, outer.Shutdown());
    EXPECT_EQ(1, destroyed);
    EXPECT_EQ(nullptr, outer.GetDelegate());
}

TEST(StreamTee, CopiesReadsAndFollowsSeeks) {
    MemoryStream source, copy;
    source.Open(kSeekable, Pattern(64));
    copy.Open(kSeekable, std::vector<uint8_t>(64, 0));
    source.Control(SC_SET_READ_BUFFER, nullptr, 16);
    source.Control(SC_SET_TEE, &copy, 0);
    uint8_t buffer[64];
    source.Seek(8);
    source.Read(buffer, 10);
    source.Peek(buffer, 5); // a peek is not a read
    EXPECT_EQ(18, copy.GetPosition());
    source.Seek(40);
    EXPECT_EQ(40, copy.GetPosition());
    source.Read(nullptr, 4); // skipped bytes are read too
    copy.Shutdown();
    std::vector<uint8_t> expect(64, 0), pattern = Pattern(64);
    std::copy(pattern.begin() + 8, pattern.begin() + 18, expect.begin() + 8);
    std::copy(pattern.begin() + 40, pattern.begin() + 44, expect.begin() + 40);
    EXPECT_EQ(expect, copy.data);
}

TEST(StreamControl, EndsOfInputAndOutput) {
    MemoryStream s;
    s.Open(SF_READ, Pattern(6));
    s.Control(SC_SET_READ_BUFFER, nullptr, 4);
    uint8_t buffer[6];
    s.Read(buffer, 2);
    EXPECT_EQ(2, s.Control(SC_READ_BUFFERED, nullptr, 0));
    EXPECT_EQ(0, s.Control(SC_END_OF_INPUT, nullptr, 0));
    s.Read(buffer, 4);
    EXPECT_EQ(1, s.Control(SC_END_OF_INPUT, nullptr, 0));
    EXPECT_EQ(1, s.Control(SC_END_OF_OUTPUT, nullptr, 0)) << "not writable";
    EXPECT_EQ(0, s.Control(SC_REMAINING, nullptr, 0));
    EXPECT_EQ(1, s.Control(SC_END_READING, nullptr, 0));
    EXPECT_EQ(0, s.GetFlags() & SF_READ);

    MemoryStream rw;
    rw.Open(kSeekable, Pattern(4));
    rw.Seek(4);
    EXPECT_EQ(0, rw.Control(SC_END_OF_OUTPUT, nullptr, 0)) << "update streams go on";
    EXPECT_EQ(0, rw.Control(SC_SET_PAD, nullptr, 1));
    EXPECT_EQ(-1, rw.Control(SC_PAD, nullptr, 0));
}

TEST(StreamBuffer, SizeChangeRefusedWhileUnreadBytesRemain) {
    MemoryStream s;
    s.Open(SF_READ, Pattern(20));
    s.Control(SC_SET_READ_BUFFER, nullptr, 12);
    uint8_t byte;
    s.Read(&byte, 1);
    EXPECT_EQ(0, s.Control(SC_SET_READ_BUFFER, nullptr, 4));
    EXPECT_EQ(12, s.Control(SC_READ_BUFFER, nullptr, 0));
    s.Read(nullptr, 11);
    EXPECT_EQ(1, s.Control(SC_SET_READ_BUFFER, nullptr, 4));
    EXPECT_EQ(Pattern(20)[12], s.ReadU8()) << "nothing lost across the change";
}
