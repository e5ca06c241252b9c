// Base utilities: the formatter's documented cases, the generator's fixed sequence, and the
// memory and string routines at their boundaries.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/base.h"

namespace {

template <typename... Args> std::string F(int size, const char* format, Args... args) {
    char out[512];
    memset(out, 'Z', sizeof out);
    char* end = Format(out, size, format, args...);
    EXPECT_EQ(*end, 0);
    EXPECT_EQ(end - out, (long)strlen(out)) << "returns the terminator";
    EXPECT_EQ(out[size], 'Z') << "nothing written beyond size";
    return out;
}

template <typename... Args> std::string F(const char* format, Args... args) {
    return F(256, format, args...);
}

TEST(Format, WidthsAndFill) {
    EXPECT_EQ(F("%08x", 0x1A2B), "00001A2B");
    EXPECT_EQ(F("%x", 0), "0");
    EXPECT_EQ(F("%x", 0xDEADBEEFu), "DEADBEEF");
    EXPECT_EQ(F("%p", 0xABCu), "ABC");
    EXPECT_EQ(F("%b", 5), "101");
    EXPECT_EQ(F("%4d|", 7), "   7|");
    EXPECT_EQ(F("%04d", 7), "0007");
    EXPECT_EQ(F("dderr %08x %d\n", 0x88760091u, 123), "dderr 88760091 123\n");
}

TEST(Format, OverflowFillsTheFieldWithPercent) {
    EXPECT_EQ(F("%3d", 12345), "%%%");
    EXPECT_EQ(F("%3d", -456), "-%%") << "the sign still stands first";
    EXPECT_EQ(F("%3d", -45), "-45");
    EXPECT_EQ(F("%2x", 0x100), "%%");
}

TEST(Format, SignComesBeforeTheFill) {
    EXPECT_EQ(F("%5d", -42), "-  42");
    EXPECT_EQ(F("%05d", -42), "-0042");
    EXPECT_EQ(F("%+d", 7), "+7");
    EXPECT_EQ(F("%+d", 0), "+0");
    EXPECT_EQ(F("%+d", -7), "-7");
    EXPECT_EQ(F("%+5d", 7), "+   7");
    EXPECT_EQ(F("%d", (int)0x80000000u), "-2147483648");
    EXPECT_EQ(F("%d", 2147483647), "2147483647");
}

TEST(Format, PrecisionOfDecimalsIsAFixedPoint) {
    EXPECT_EQ(F("%.2d", 12345), "123.45");
    EXPECT_EQ(F("%.2d", 5), "0.05");
    EXPECT_EQ(F("%.2d", -5), "-0.05");
    EXPECT_EQ(F("%.3d", 1000), "1.000");
    EXPECT_EQ(F("%8.1d", 123), "    12.3");
}

TEST(Format, FixedPointIsTruncatedNotRounded) {
    EXPECT_EQ(F("%f", 0x18000), "1.50000");
    EXPECT_EQ(F("%.2f", 0x3243F), "3.14");
    EXPECT_EQ(F("%.3f", 0xFFFF), "0.999");
    EXPECT_EQ(F("%f", 0), "0.00000");
    EXPECT_EQ(F("%f", (int)0xFFFE8000u), "65534.50000") << "negative values stay unsigned";
}

TEST(Format, HugePrecisionsStayInsideTheScratchArea) {
    std::string d = F("%.60d", 1);
    EXPECT_EQ(d.size(), 31u); // clamped to 29 places
    EXPECT_EQ(d.substr(0, 2), "0.");
    std::string f = F("%.99f", 0x10000);
    EXPECT_EQ(f.substr(0, 2), "1.");
    EXPECT_EQ(f.size(), 27u); // clamped to 25 places
    EXPECT_EQ(F("%999999999999d", 1).size(), 255u) << "width is capped by the space";
}

TEST(Format, UnknownConversionsAreOutputAsCharacters) {
    EXPECT_EQ(F("%u", 5), "u");
    EXPECT_EQ(F("%-5d|%d", 7), "-5d|7") << "no left alignment, argument not consumed";
    EXPECT_EQ(F("%0+5d", 7), "+5d") << "flags only in their order";
    EXPECT_EQ(F("100%"), "100");
    EXPECT_EQ(F("%%|%5%|%c", 'A'), "%|%|A");
    EXPECT_EQ(F(""), "");
}

TEST(Format, Strings) {
    EXPECT_EQ(F("%5s|", "ab"), "ab   |");
    EXPECT_EQ(F("%2s|", "abcde"), "ab|");
    EXPECT_EQ(F("%05s", "ab"), "ab000");
    EXPECT_EQ(F("<%s>", "d3d"), "<d3d>");
    EXPECT_EQ(F("%.1s", "abc"), "abc") << "precision ignored";
    EXPECT_EQ(F("%s", (const char*)NULL), "(NULL)");
    EXPECT_EQ(F(7, "%s", (const char*)NULL), "") << "six characters need more than six bytes";
    EXPECT_EQ(F(8, "%s", (const char*)NULL), "(NULL)");
}

TEST(Format, TruncatesAtSize) {
    EXPECT_EQ(F(8, "%s", "abcdefghij"), "abcdefg");
    EXPECT_EQ(F(1, "%s", "abc"), "");
    EXPECT_EQ(F(4, "abcdef"), "abc");
    EXPECT_EQ(F(4, "ab%d", 12345), "ab%") << "a number that no longer fits shows as fill";
    EXPECT_EQ(F(6, "%8d", 1), "    1");
    char out[4] = {'Q', 'Q', 'Q', 'Q'};
    EXPECT_EQ(Format(out, 0, "abc"), out) << "no room at all: nothing written";
    EXPECT_EQ(out[0], 'Q');
}

// A fresh process (the threadsafe style re-runs the program) sees the generator at start.
void ExitWithFirstRandoms() {
    bool first = Random() == 25625;
    bool second = Random() == 57120;
    bool third = Random() == 25975;
    exit(first && second && third ? 0 : 1);
}

TEST(Random, FixedSequenceFromStart) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ExitWithFirstRandoms(), ::testing::ExitedWithCode(0), "");
    for (int i = 0; i < 1000; i++) {
        int r = Random();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 65535);
    }
}

TEST(MulDiv, SixtyFourBitIntermediateTruncatedTowardZero) {
    EXPECT_EQ(MulDiv(100000, 100000, 1000), 10000000);
    EXPECT_EQ(MulDiv(7, 1, 2), 3);
    EXPECT_EQ(MulDiv(-7, 1, 2), -3);
    EXPECT_EQ(MulDiv(2147483647, 2, 4), 1073741823);
}

TEST(Strings, CompareIgnoringAsciiCase) {
    EXPECT_EQ(StrCmpNoCase("Vd/Abc", "vd/abc"), 0);
    EXPECT_EQ(StrCmpNoCase("a", "B"), -1);
    EXPECT_EQ(StrCmpNoCase("ab", "a"), 1);
    EXPECT_EQ(StrCmpNoCase("", ""), 0);
    EXPECT_EQ(StrCmpNoCase("[", "a"), 1) << "'[' above 'Z' once a is folded to A";
    EXPECT_EQ(StrCmpNoCase("\xE9", "\xC9"), 1) << "only a-z are folded";
    EXPECT_EQ(StrCmpNoCase("\x80", "a"), -1) << "bytes compare as signed";
}

TEST(Strings, CopyAtMostN) {
    char out[8];
    memset(out, 'Z', sizeof out);
    StrCopyN(out, "abcdef", 3);
    EXPECT_EQ(std::string(out, 5), std::string("abc\0Z", 5));
    memset(out, 'Z', sizeof out);
    StrCopyN(out, "ab", 3);
    EXPECT_EQ(std::string(out, 4), std::string("ab\0Z", 4));
    memset(out, 'Z', sizeof out);
    StrCopyN(out, "ab", 0);
    EXPECT_EQ(std::string(out, 2), std::string("\0Z", 2));
    memset(out, 'Z', sizeof out);
    StrCopyN(out, "ab", -1);
    EXPECT_EQ(out[0], 'Z');
    EXPECT_EQ(StrLen("abc"), 3);
    EXPECT_EQ(StrLen(""), 0);
}

TEST(Memory, CopyAllSmallLengthsAtAllAlignments) {
    unsigned char src[64], dst[80];
    for (int i = 0; i < 64; i++) src[i] = (unsigned char)(i * 7 + 1);
    for (int dAlign = 0; dAlign < 4; dAlign++) {
        for (int sAlign = 0; sAlign < 4; sAlign++) {
            for (int n = 0; n <= 40; n++) {
                memset(dst, 0xEE, sizeof dst);
                MemCopy(dst + dAlign + 4, src + sAlign, n);
                ASSERT_EQ(memcmp(dst + dAlign + 4, src + sAlign, n), 0)
                    << "n=" << n << " d=" << dAlign << " s=" << sAlign;
                for (int i = 0; i < dAlign + 4; i++) ASSERT_EQ(dst[i], 0xEE);
                for (int i = dAlign + 4 + n; i < 80; i++) ASSERT_EQ(dst[i], 0xEE);
            }
        }
    }
}

TEST(Memory, FillStoresTheLowByteOnly) {
    unsigned char buf[32];
    for (int offset = 0; offset < 4; offset++) {
        for (int n = -2; n <= 20; n++) {
            memset(buf, 0x11, sizeof buf);
            MemFill(buf + offset, 0x1AB, n);
            for (int i = 0; i < 32; i++) {
                bool inside = i >= offset && i < offset + n;
                ASSERT_EQ(buf[i], inside ? 0xAB : 0x11) << "offset " << offset << " n " << n;
            }
        }
    }
}

TEST(Maths, SinAndFAbs) {
    EXPECT_DOUBLE_EQ(Sin(0.0), 0.0);
    EXPECT_NEAR(Sin(3.14159265358979 / 2), 1.0, 1e-12);
    EXPECT_EQ(FAbs(-2.5), 2.5);
}

} // namespace
