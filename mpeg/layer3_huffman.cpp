// Huffman decoding of one granule and channel: big-value pairs by region, then count-1
// quadruples, each value stored through the reorder table as its signed 4/3 power.
#include <string.h>

#include "huffman.h"
#include "layer3.h"

namespace {

inline uint64_t BigEndian(uint64_t word) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return word;
#else
    return __builtin_bswap64(word);
#endif
}

// A reader that keeps up to 57 bits in a cache; bytes past the readable size read as zero.
struct BitCache {
    const uint8_t* bytes;
    uint32_t size;
    uint32_t nextByte; // next byte to load into the cache
    uint64_t cache;    // unread bits at the top
    int count;         // unread bits in the cache

    // Bits consumed from the start: what was loaded less what is still unread.
    uint32_t Position() const { return nextByte * 8 - uint32_t(count); }

    void Load(const sLayer3Bits& bits) {
        bytes = bits.bytes;
        size = bits.size;
        nextByte = bits.position >> 3;
        cache = 0;
        count = 0;
        Fill();
        int skip = int(bits.position & 7);
        cache <<= skip;
        count -= skip;
    }

    // Tops the cache up with whole bytes: eight at a time inside the buffer, one at a time at
    // its end.
    void Fill() {
        int take = (64 - count) >> 3;
        if (nextByte + 8 <= size) {
            uint64_t word;
            memcpy(&word, bytes + nextByte, 8);
            word = BigEndian(word);
            cache |= (word >> (64 - 8 * take)) << (64 - count - 8 * take);
            nextByte += uint32_t(take);
            count += 8 * take;
            return;
        }
        while (count <= 56) {
            uint64_t byte = nextByte < size ? bytes[nextByte] : 0;
            cache |= byte << (56 - count);
            nextByte++;
            count += 8;
        }
    }

    // Makes sure n bits (at most 57) are in the cache for the unchecked reads below.
    void Ensure(int n) {
        if (count < n) Fill();
    }

    uint32_t Take(int n) {
        uint32_t value = uint32_t(cache >> (64 - n));
        cache <<= n;
        count -= n;
        return value;
    }

    // The escape's bits, making sure of them and of two signs after them.
    uint32_t TakeEscape(int linbits) {
        Ensure(linbits + 2);
        return Take(linbits);
    }

    // A sign bit follows a non-zero value only; flipping the float's sign bit is negation.
    float TakeSignIf(bool present, float magnitude) {
        uint32_t sign = uint32_t(cache >> 63) & uint32_t(present);
        cache <<= int(present);
        count -= int(present);
        uint32_t word;
        memcpy(&word, &magnitude, 4);
        word ^= sign << 31;
        memcpy(&magnitude, &word, 4);
        return magnitude;
    }

    // The code of table n (huffman.h).
    int TakeCode(const huffman::sHuffLookup& lookup, int n) {
        int length;
        int value = huffman::Decode(lookup, n, cache, &length);
        cache <<= length;
        count -= length;
        return value;
    }
};

// The longest pair code and its two signs; an escape makes sure of its own bits and the
// signs after it. A quadruple code is at most 6 bits, with four signs.
enum { PAIR_BITS_MAX = 19 + 2, QUAD_BITS_MAX = 6 + 4 };

int DecodeBigValues(BitCache& in, const sLayer3Side& side, const int16_t* reorder,
                    const sLayer3Tables& tables, float* lines) {
    const float* pow43 = tables.pow43;
    int end = side.bigValueLines > L3_LINES ? L3_LINES : side.bigValueLines;
    int regionEnd[3] = {side.region1Start, side.region2Start, end};
    int line = 0;
    for (int r = 0; r < 3; r++) {
        int stop = regionEnd[r] < end ? regionEnd[r] : end;
        int n = side.tableSelect[r] & 31;
        int linbits = huffman::tables[n].linbits;
        for (; line < stop; line += 2) {
            in.Ensure(PAIR_BITS_MAX);
            int leaf = in.TakeCode(tables.huffLookup, n);
            int x = leaf >> 4, y = leaf & 15;
            // Zeros store +0, which the lines already hold, so both values are stored
            // whatever they are: no branch to mispredict.
            if (x == 15 && linbits) x += int(in.TakeEscape(linbits));
            lines[reorder[line]] = in.TakeSignIf(x != 0, pow43[x]);
            if (y == 15 && linbits) y += int(in.TakeEscape(linbits));
            lines[reorder[line + 1]] = in.TakeSignIf(y != 0, pow43[y]);
        }
    }
    return line;
}

int DecodeCount1(BitCache& in, const sLayer3Side& side, const int16_t* reorder, int line,
                 const huffman::sHuffLookup& lookup, float* lines) {
    int n = side.count1Table == 33 ? huffman::QUAD_B : huffman::QUAD_A;
    int last = line;
    while (in.Position() < side.part23End && line < L3_LINES) {
        last = line;
        in.Ensure(QUAD_BITS_MAX);
        int v = in.TakeCode(lookup, n);
        for (int bit = 3; bit >= 0; bit--, line++) {
            int present = (v >> bit) & 1;
            float value = in.TakeSignIf(present, float(present));
            if (line < L3_LINES) lines[reorder[line]] = value;
        }
    }
    if (in.Position() > side.part23End && line > last) {
        // The last quadruple overran the granule's bits: it belongs to the next one.
        for (int i = last; i < line && i < L3_LINES; i++) lines[reorder[i]] = 0;
        line = last;
    }
    return line < L3_LINES ? line : L3_LINES;
}

} // namespace

int Layer3DecodeSpectrum(sLayer3Bits* bits, const sLayer3Side& side, const int16_t* reorder,
                         const sLayer3Tables& tables, float* lines) {
    memset(lines, 0, sizeof(float) * L3_LINES);
    BitCache in;
    in.Load(*bits);
    int line = DecodeBigValues(in, side, reorder, tables, lines);
    line = DecodeCount1(in, side, reorder, line, tables.huffLookup, lines);
    bits->position = in.Position();
    return line;
}
