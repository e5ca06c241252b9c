// The Layer III Huffman trees: shape (prefix-free and complete), contents, and codes checked
// against entries of the standard's code tables.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "huffman.h"

namespace {

struct Walked {
    bool ok = true;
    int maxDepth = 0;
    std::vector<std::pair<std::string, int>> leaves; // code, leaf value
    std::vector<int> visits;
};

// Visits the subtree at index i; returns the index after it. Checks every branch stays
// inside the table so that a walk can never leave it.
int Visit(const huffman::sHuffTable& t, int i, const std::string& code, Walked& w) {
    if (i < 0 || i >= t.entries) {
        w.ok = false;
        return t.entries;
    }
    w.visits[i]++;
    if (int(code.size()) > w.maxDepth) w.maxDepth = int(code.size());
    int entry = t.tree[i];
    if (entry >= 0) {
        w.leaves.push_back({code, entry});
        return i + 1;
    }
    int k = -entry;
    int afterZero = Visit(t, i + 1, code + "0", w);
    if (afterZero != i + k + 1) w.ok = false; // the 1-branch must follow the 0-subtree
    return Visit(t, i + k + 1, code + "1", w);
}

Walked WalkAll(const huffman::sHuffTable& t) {
    Walked w;
    w.visits.assign(t.entries, 0);
    int end = Visit(t, 0, "", w);
    if (end != t.entries) w.ok = false;
    return w;
}

int WalkCode(const huffman::sHuffTable& t, const char* bits) {
    int i = 0;
    for (const char* p = bits; t.tree[i] < 0; p++) {
        if (!*p) return -1; // code too short
        i += *p == '1' ? 1 - t.tree[i] : 1;
    }
    return t.tree[i];
}

int RowLength(int table) {
    static const int rows[16] = {1, 2, 3, 3, 1, 4, 4, 6, 6, 6, 8, 8, 8, 16, 1, 16};
    return table < 16 ? rows[table] : 16;
}

} // namespace

TEST(HuffmanTrees, EveryTreeIsAFullPrefixFreeTreeCoveringItsValues) {
    for (int n = 0; n < huffman::TABLES; n++) {
        SCOPED_TRACE(n);
        const huffman::sHuffTable& t = huffman::tables[n];
        Walked w = WalkAll(t);
        ASSERT_TRUE(w.ok);
        for (int v : w.visits) EXPECT_EQ(v, 1); // each entry belongs to exactly one place
        // A full binary tree: a complete code (Kraft sum 1) without prefixes.
        double kraft = 0;
        for (auto& leaf : w.leaves) kraft += 1.0 / double(1u << leaf.first.size());
        EXPECT_DOUBLE_EQ(kraft, 1.0);
        EXPECT_LE(w.maxDepth, 19);
        std::set<int> values;
        for (auto& leaf : w.leaves) values.insert(leaf.second);
        EXPECT_EQ(values.size(), w.leaves.size()) << "a value coded twice";
        if (n >= huffman::QUAD_A) {
            EXPECT_EQ(w.leaves.size(), 16u);
            EXPECT_EQ(*values.rbegin(), 15);
            continue;
        }
        int row = RowLength(n);
        EXPECT_EQ(int(w.leaves.size()), row * row);
        for (int v : values) {
            EXPECT_LT(v >> 4, row);
            EXPECT_LT(v & 15, row);
        }
    }
}

TEST(HuffmanTrees, TablesWithoutCodesAndSharedEscapeTrees) {
    for (int n : {0, 4, 14}) {
        EXPECT_EQ(huffman::tables[n].entries, 1);
        EXPECT_EQ(huffman::tables[n].tree[0], 0);
    }
    const int linbits[16] = {1, 2, 3, 4, 6, 8, 10, 13, 4, 5, 6, 7, 8, 9, 11, 13};
    for (int n = 16; n < 32; n++) {
        EXPECT_EQ(huffman::tables[n].linbits, linbits[n - 16]) << n;
        EXPECT_EQ(huffman::tables[n].tree, n < 24 ? huffman::tree16 : huffman::tree24) << n;
    }
    for (int n = 0; n < 16; n++) EXPECT_EQ(huffman::tables[n].linbits, 0) << n;
}

TEST(HuffmanTrees, CodesOfTheStandardTables) {
    struct Code {
        int table;
        const char* bits;
        int x, y;
    };
    const Code codes[] = {
        {1, "1", 0, 0},     {1, "001", 0, 1},         {1, "01", 1, 0},
        {1, "000", 1, 1},   {2, "011", 1, 0},         {2, "000000", 2, 2},
        {3, "11", 0, 0},    {3, "10", 0, 1},          {5, "000110", 0, 2},
        {6, "111", 0, 0},   {7, "00000011", 1, 5},    {13, "1", 0, 0},
        {13, "0100", 1, 1}, {15, "111", 0, 0},        {15, "000000001000", 13, 13},
        {16, "1", 0, 0},    {16, "000010001", 0, 15}, {16, "00000011", 15, 15},
        {24, "1111", 0, 0}, {24, "0011", 15, 15},     {24, "01000000000", 12, 10},
    };
    for (const Code& c : codes) {
        SCOPED_TRACE(std::to_string(c.table) + " " + c.bits);
        EXPECT_EQ(WalkCode(huffman::tables[c.table], c.bits), c.x * 16 + c.y);
    }
}

TEST(HuffmanTrees, QuadrupleTables) {
    // Table A, by v w x y.
    const char* a[16] = {"1",    "0101",  "0100",  "00101",  "0110",  "000101", "00100",  "000100",
                         "0111", "00011", "00110", "000000", "00111", "000010", "000011", "000001"};
    for (int v = 0; v < 16; v++) {
        EXPECT_EQ(WalkCode(huffman::tables[huffman::QUAD_A], a[v]), v) << a[v];
        // Table B is the four bits inverted.
        char b[5];
        for (int i = 0; i < 4; i++) b[i] = (v >> (3 - i)) & 1 ? '0' : '1';
        b[4] = 0;
        EXPECT_EQ(WalkCode(huffman::tables[huffman::QUAD_B], b), v) << b;
    }
}

// Decoding goes through the lookup tables; the trees are the data. Every code of every table,
// followed by different bits, must give the tree's leaf and the code's length, whether the
// code ends inside the table's index bits or continues as a walk from the node stored there.
TEST(HuffmanLookup, EveryCodeDecodesToItsTreeLeafAndLength) {
    static huffman::sHuffLookup lookup;
    EXPECT_EQ(huffman::BuildLookup(&lookup), int(huffman::LOOKUP_CAPACITY));
    const uint64_t tails[] = {0, ~uint64_t(0), 0x5A3C96E1F00F1234ull, 0x8000000000000000ull};
    int longCodes = 0;
    for (int n = 0; n < huffman::TABLES; n++) {
        SCOPED_TRACE(n);
        Walked w = WalkAll(huffman::tables[n]);
        for (auto& leaf : w.leaves) {
            uint64_t code = 0;
            for (char c : leaf.first) code = code << 1 | uint64_t(c == '1');
            int size = int(leaf.first.size());
            longCodes += size > huffman::LOOKUP_BITS;
            for (uint64_t tail : tails) {
                uint64_t window = size ? code << (64 - size) | tail >> size : tail;
                int length = -1;
                EXPECT_EQ(huffman::Decode(lookup, n, window, &length), leaf.second) << leaf.first;
                EXPECT_EQ(length, size) << leaf.first;
            }
        }
    }
    EXPECT_GT(longCodes, 0) << "no code reached the walk past the table";
}
