// Base utilities. The formatter is the engine's own so that every message looks the same
// everywhere and nothing touches the heap.
#include "base.h"

#include <math.h>
#include <string.h>

double Sin(double angle) {
    return sin(angle);
}

double FAbs(double x) {
    return fabs(x);
}

int MulDiv(int a, int b, int c) {
    return (int)((int64_t)a * b / c);
}

// ---- random numbers ---------------------------------------------------------------

// Fixed seeds: every run of the show sees the same sequence.
static uint32_t RandomState0 = 0x42AFD867;
static uint32_t RandomState1 = 0x7294BD7E;

static uint32_t RotateLeft(uint32_t v, int n) {
    return (v << n) | (v >> (32 - n));
}

int Random() {
    uint32_t t = RotateLeft(RandomState0, 20);
    RandomState0 = t ^ RotateLeft(RandomState1, 27);
    RandomState1 = RandomState0 - t;
    return (int)(RandomState1 & 0xFFFF);
}

// ---- memory -----------------------------------------------------------------------

void MemCopy(void* dst, const void* src, int n) {
    uint8_t* d = (uint8_t*)dst;
    const uint8_t* s = (const uint8_t*)src;
    while (n > 0 && ((uintptr_t)d & 3) != 0) {
        *d++ = *s++;
        n--;
    }
    // The source may stay unaligned; memcpy of a fixed 8 bytes compiles to plain moves.
    while (n >= 8) {
        memcpy(d, s, 8);
        d += 8;
        s += 8;
        n -= 8;
    }
    while (n > 0) {
        *d++ = *s++;
        n--;
    }
}

void MemFill(void* dst, int byte, int n) {
    uint8_t* d = (uint8_t*)dst;
    uint32_t word = 0x01010101u * (uint8_t)byte;
    while (n >= 4) {
        memcpy(d, &word, 4);
        d += 4;
        n -= 4;
    }
    while (n > 0) {
        *d++ = (uint8_t)byte;
        n--;
    }
}

// ---- strings ----------------------------------------------------------------------

int StrLen(const char* s) {
    int n = 0;
    while (s[n]) n++;
    return n;
}

void StrCopyN(char* dst, const char* src, int n) {
    if (n < 0) return;
    for (int i = 0; i < n; i++) {
        dst[i] = src[i];
        if (src[i] == 0) return;
    }
    dst[n] = 0;
}

static char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

int StrCmpNoCase(const char* a, const char* b) {
    for (int i = 0;; i++) {
        signed char ca = (signed char)UpperAscii(a[i]);
        signed char cb = (signed char)UpperAscii(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

// ---- the formatter ----------------------------------------------------------------

namespace {

const int SCRATCH_SIZE = 32;
// Precisions beyond these would not fit the scratch area; they are clamped.
const int MAX_DECIMAL_PRECISION = 29;
const int MAX_FIXED_PRECISION = 25;
const int DEFAULT_FIXED_PRECISION = 5;
// Widths beyond any possible buffer are clamped while parsing so the number cannot wrap.
const int MAX_WIDTH = 1 << 20;

// One static scratch area, as the engine's formatter has always had; it holds a number's
// characters least significant first.
char scratch[SCRATCH_SIZE];

struct Spec {
    bool plus;
    bool zero;
    int width;
    int precision;
    char conversion;
};

struct Output {
    char* p;
    int left;

    void Put(char c) {
        *p++ = c;
        left--;
    }
    void Repeat(char c, int n) {
        for (int i = 0; i < n; i++) Put(c);
    }
};

const char DIGITS[] = "0123456789ABCDEF";

int UnsignedDigits(uint32_t value, uint32_t base, char* out) {
    int n = 0;
    do {
        out[n++] = DIGITS[value % base];
        value /= base;
    } while (value != 0);
    return n;
}

// "%.2d" shows the integer as a fixed-point decimal with two places.
int DecimalDigits(uint32_t magnitude, int precision, char* out) {
    if (precision == 0) return UnsignedDigits(magnitude, 10, out);
    int n = 0;
    for (int i = 0; i < precision; i++) {
        out[n++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    }
    out[n++] = '.';
    return n + UnsignedDigits(magnitude, 10, out + n);
}

// 16.16 fixed point: the integer part, '.', then the fraction's digits, truncated.
int FixedDigits(uint32_t value, int precision, char* out) {
    char fraction[MAX_FIXED_PRECISION];
    uint32_t rest = value & 0xFFFF;
    for (int i = 0; i < precision; i++) {
        rest *= 10;
        fraction[i] = (char)('0' + (rest >> 16));
        rest &= 0xFFFF;
    }
    int n = 0;
    for (int i = precision - 1; i >= 0; i--) out[n++] = fraction[i];
    out[n++] = '.';
    return n + UnsignedDigits(value >> 16, 10, out + n);
}

int Clamp(int value, int limit) {
    return value < limit ? value : limit;
}

void PutNumber(Output& out, const Spec& spec, char sign, int digits) {
    int length = digits + (sign ? 1 : 0);
    int field = Clamp(spec.width ? spec.width : length, out.left);
    int rest = field;
    if (sign && rest > 0) {
        out.Put(sign);
        rest--;
    }
    if (digits > rest) {
        out.Repeat('%', rest);
        return;
    }
    out.Repeat(spec.zero ? '0' : ' ', rest - digits);
    for (int i = digits - 1; i >= 0; i--) out.Put(scratch[i]);
}

void PutString(Output& out, const Spec& spec, const char* s) {
    if (!s) {
        if (out.left > 6)
            for (const char* n = "(NULL)"; *n; n++) out.Put(*n);
        return;
    }
    int length = StrLen(s);
    int field = Clamp(spec.width ? spec.width : length, out.left);
    int copied = Clamp(length, field);
    for (int i = 0; i < copied; i++) out.Put(s[i]);
    out.Repeat(spec.zero ? '0' : ' ', field - copied);
}

void PutSignedDecimal(Output& out, const Spec& spec, int value) {
    uint32_t magnitude = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
    char sign = value < 0 ? '-' : (spec.plus ? '+' : 0);
    int precision = Clamp(spec.precision, MAX_DECIMAL_PRECISION);
    PutNumber(out, spec, sign, DecimalDigits(magnitude, precision, scratch));
}

// Negative 16.16 values come out as their unsigned bit pattern, as the engine always
// printed them; callers format only non-negative values.
void PutFixed(Output& out, const Spec& spec, uint32_t value) {
    int precision =
        spec.precision ? Clamp(spec.precision, MAX_FIXED_PRECISION) : DEFAULT_FIXED_PRECISION;
    PutNumber(out, spec, spec.plus ? '+' : 0, FixedDigits(value, precision, scratch));
}

const char* ParseSpec(const char* f, Spec& spec) {
    spec.plus = spec.zero = false;
    spec.width = spec.precision = 0;
    if (*f == '+') spec.plus = true, f++;
    if (*f == '0') spec.zero = true, f++;
    while (*f >= '0' && *f <= '9') spec.width = Clamp(spec.width * 10 + (*f++ - '0'), MAX_WIDTH);
    if (*f == '.') {
        f++;
        while (*f >= '0' && *f <= '9')
            spec.precision = Clamp(spec.precision * 10 + (*f++ - '0'), MAX_WIDTH);
    }
    spec.conversion = *f;
    return f;
}

void PutConversion(Output& out, const Spec& spec, va_list& args) {
    switch (spec.conversion) {
    case '%': out.Put('%'); break;
    case 'c': out.Put((char)va_arg(args, int)); break;
    case 's': PutString(out, spec, va_arg(args, const char*)); break;
    case 'd': PutSignedDecimal(out, spec, va_arg(args, int)); break;
    case 'f': PutFixed(out, spec, va_arg(args, unsigned int)); break;
    case 'x':
    case 'p':
        PutNumber(out, spec, 0, UnsignedDigits(va_arg(args, unsigned int), 16, scratch));
        break;
    case 'b':
        PutNumber(out, spec, 0, UnsignedDigits(va_arg(args, unsigned int), 2, scratch));
        break;
    default: out.Put(spec.conversion); break; // not a conversion: shown as it stands
    }
}

} // namespace

char* FormatV(char* out, int size, const char* format, va_list args) {
    if (size < 1) return out; // no room even for the terminator
    if (!format || !*format) {
        out[0] = 0;
        return out;
    }
    va_list rest;
    va_copy(rest, args);
    Output o = {out, size - 1};
    const char* f = format;
    while (*f && o.left > 0) {
        if (*f != '%') {
            o.Put(*f++);
            continue;
        }
        Spec spec;
        f = ParseSpec(f + 1, spec);
        if (!spec.conversion) break; // a '%' at the very end is dropped
        f++;
        PutConversion(o, spec, rest);
    }
    va_end(rest);
    *o.p = 0;
    return o.p;
}

char* Format(char* out, int size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    char* end = FormatV(out, size, format, args);
    va_end(args);
    return end;
}
