// The lookup tables of huffman.h, built from the trees at every Open.
#include "huffman.h"

namespace huffman {

namespace {

int Depth(const int32_t* tree, int i) {
    if (tree[i] >= 0) return 0;
    int zero = Depth(tree, i + 1), one = Depth(tree, i + 1 - tree[i]);
    return 1 + (zero > one ? zero : one);
}

// Fills every entry whose index starts with the code so far (prefix, depth bits long) from
// the subtree at node i.
void Fill(const int32_t* tree, int i, unsigned prefix, int depth, int bits, uint16_t* part) {
    if (tree[i] >= 0 || depth == bits) {
        unsigned first = prefix << (bits - depth), count = 1u << (bits - depth);
        unsigned entry = tree[i] >= 0 ? unsigned(tree[i]) | unsigned(depth) << 8
                                      : unsigned(LOOKUP_NODE) | unsigned(i);
        for (unsigned k = 0; k < count; k++) part[first + k] = uint16_t(entry);
        return;
    }
    Fill(tree, i + 1, prefix << 1, depth + 1, bits, part);
    Fill(tree, i + 1 - tree[i], prefix << 1 | 1, depth + 1, bits, part);
}

} // namespace

int BuildLookup(sHuffLookup* lookup) {
    int used = 0;
    for (int n = 0; n < TABLES; n++) {
        const int32_t* tree = tables[n].tree;
        int shared = 0;
        while (shared < n && tables[shared].tree != tree) shared++;
        if (shared < n) {
            lookup->part[n] = lookup->part[shared];
            lookup->bits[n] = lookup->bits[shared];
            continue;
        }
        int depth = Depth(tree, 0);
        // A single leaf takes no bits, but the index needs one: both entries say length 0.
        int bits = depth < 1 ? 1 : depth > LOOKUP_BITS ? LOOKUP_BITS : depth;
        uint16_t* part = lookup->entries + used;
        used += 1 << bits;
        Fill(tree, 0, 0, 0, bits, part);
        lookup->part[n] = part;
        lookup->bits[n] = bits;
    }
    return used;
}

} // namespace huffman
