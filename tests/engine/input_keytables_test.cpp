// The keyboard layout tables against the layout written out as text, one string per row
// of keys, decoded here from UTF-8 into the Latin-1 codes the tables must hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/input.h"

namespace {

std::vector<int> Latin1(const std::string& utf8) {
    std::vector<int> codes;
    for (size_t i = 0; i < utf8.size(); i++) {
        unsigned char c = utf8[i];
        if (c < 0x80) {
            codes.push_back(c);
        } else {
            // Two-byte sequences cover all of Latin-1.
            codes.push_back(((c & 0x1F) << 6) | (utf8[++i] & 0x3F));
        }
    }
    return codes;
}

struct Row {
    int firstScanCode;
    const char* columns[4]; // normal, shift, AltGr, AltGr + shift
};

const Row rows[] = {
    {0x02, {"1234567890ß", "!\"§$%&/()=?", "1²³456{[]}\\", "!²³$%&/()=\\"}},
    {0x0D, {"´", "`", "´", "`"}},
    {0x10, {"qwertzuiopü+", "QWERTZUIOPÜ*", "@wertzuiopü~", "@WERTZUIOPÜ~"}},
    {0x1E, {"asdfghjklöä^", "ASDFGHJKLÖÄ°", "asdfghjklöä^", "ASDFGHJKLÖÄ°"}},
    {0x2B, {"#yxcvbnm,.-", "'YXCVBNM;:_", "#yxcvbnµ<>-", "'YXCVBNµ;:_"}},
    {0x56, {"<", ">", "|", "|"}},
};

// Entries equal in all four tables.
struct Fixed {
    int scanCode;
    int32_t code;
};

const Fixed fixedEntries[] = {
    {0x01, 27},         {0x0E, 8},          {0x0F, 9},          {0x1C, 10},
    {0x39, 32},         {0x1D, 0x10014},    {0x2A, 0x10012},    {0x36, 0x10013},
    {0x38, 0x10016},    {0x3A, 0x10011},    {0x57, 0x1000B},    {0x58, 0x1000C},
    {0x37, 0x1000002A}, {0x47, 0x10000037}, {0x48, 0x10000038}, {0x49, 0x10000039},
    {0x4A, 0x1000002D}, {0x4B, 0x10000034}, {0x4C, 0x10000035}, {0x4D, 0x10000036},
    {0x4E, 0x1000002B}, {0x4F, 0x10000031}, {0x50, 0x10000032}, {0x51, 0x10000033},
    {0x52, 0x10000030}, {0x53, 0x1000002C},
};

const int32_t* const tables[4] = {keyTableNormal, keyTableShift, keyTableAltGr, keyTableAltGrShift};

// What every selectable table must hold, built from the text above.
std::vector<int32_t> Expected(int table) {
    std::vector<int32_t> expected(KEY_TABLE_SIZE, 0);
    for (const Row& row : rows) {
        std::vector<int> codes = Latin1(row.columns[table]);
        for (size_t i = 0; i < codes.size(); i++) expected[row.firstScanCode + i] = codes[i];
    }
    for (const Fixed& entry : fixedEntries) expected[entry.scanCode] = entry.code;
    for (int f = 0; f < 10; f++) expected[0x3B + f] = 0x10001 + f;
    return expected;
}

TEST(KeyTables, SelectableTablesMatchTheLayoutEntryByEntry) {
    for (int table = 0; table < 4; table++) {
        std::vector<int32_t> expected = Expected(table);
        for (int scanCode = 0; scanCode < KEY_TABLE_SIZE; scanCode++)
            EXPECT_EQ(expected[scanCode], tables[table][scanCode])
                << "table " << table << ", scan code " << std::hex << scanCode;
    }
}

TEST(KeyTables, ExtendedTableHoldsOnlyTheFourteenExtendedKeys) {
    std::vector<int32_t> expected(KEY_TABLE_SIZE, 0);
    const Fixed extended[] = {
        {0x9C, 0x1000000A}, {0x9D, 0x10015}, {0xB5, 0x1000002F}, {0xB8, 0x10017}, {0xD2, 0x10020},
        {0xD3, 0x10021},    {0xC7, 0x10022}, {0xCF, 0x10023},    {0xC9, 0x10024}, {0xD1, 0x10025},
        {0xC8, 0x10026},    {0xD0, 0x10027}, {0xCB, 0x10028},    {0xCD, 0x10029},
    };
    for (const Fixed& entry : extended) expected[entry.scanCode - 0x80] = entry.code;
    for (int i = 0; i < KEY_TABLE_SIZE; i++)
        EXPECT_EQ(expected[i], keyTableExtended[i]) << "scan code " << std::hex << (i + 0x80);
}

TEST(KeyTables, TranslationPicksTheTableByModifiers) {
    EXPECT_EQ(0x71u, TranslateScanCode(0x10, 0));
    EXPECT_EQ(0x51u, TranslateScanCode(0x10, MOD_CAPS));
    EXPECT_EQ(0x51u, TranslateScanCode(0x10, MOD_SHIFTR));
    EXPECT_EQ(0x40u, TranslateScanCode(0x10, MOD_ALTGR));
    EXPECT_EQ(0x40u, TranslateScanCode(0x10, MOD_ALTGR | MOD_SHIFTL));
    EXPECT_EQ(0xB5u, TranslateScanCode(0x32, MOD_ALTGR | MOD_SHIFTL));
    // Ctrl and Alt select nothing.
    EXPECT_EQ(0x71u, TranslateScanCode(0x10, MOD_CTRLL | MOD_CTRLR | MOD_ALT));
    // The extended keys ignore the modifiers; beyond 0xFF there is nothing.
    EXPECT_EQ((uint32_t)KEY_UP, TranslateScanCode(0xC8, MOD_ALTGR | MOD_SHIFTL));
    EXPECT_EQ(0u, TranslateScanCode(0x100, 0));
    EXPECT_EQ(0u, TranslateScanCode(0xFFFFFFFF, 0));
}

} // namespace
