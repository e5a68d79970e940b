// Number formatting: a slice number and a real to text, written into place.
//
// format_int writes a 32-bit integer in decimal, "-" before a negative one.
//
// format_real writes a float as its value widened to double, rounded to 17
// significant digits (ties to even; later digit positions read as 0) and then
// to six decimals from those digits, a seventh decimal of 5 or more raising
// the magnitude; "-" before a negative value and a negative zero; inf, -inf
// and nan otherwise. Not printf's %f: that rounds the exact value once, and
// prints 100.007812 where this tool prints 100.007813. The exhaustive check
// in tests/ compares every float bit pattern with an independent rendering.
//
// format_double is printf's %.6f for dalk-axis's doubles: the exact value
// rounded once to six decimals, a tie to even. It is the C library's own,
// exact in glibc, musl (WebAssembly) and MinGW-w64's printf (never msvcrt's:
// CI's windows step reads the imports).
#include "dalk.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233"
    "34353637383940414243444546474849505152535455565758596061626364656667"
    "6869707172737475767778798081828384858687888990919293949596979899";

// Both callers write less than 10^10: a slice number, or a real's integer
// part on the fast path.
constexpr size_t decimal_digits_max = 10;
constexpr uint64_t pow10_u64[decimal_digits_max] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// The two digits of n < 100.
const char *two_digits(uint64_t n) {
    return digit_pairs + 2 * n;
}

// n < 10^10 in decimal, written straight into place.
char *put_decimal(char *p, uint64_t n) {
    size_t len = 1;
    while (len < decimal_digits_max && n >= pow10_u64[len]) ++len;
    char *end = p + len;
    for (p = end; n >= 100; n /= 100) {
        p -= 2;
        std::memcpy(p, two_digits(n % 100), 2);
    }
    if (n >= 10)
        std::memcpy(p - 2, two_digits(n), 2);
    else
        p[-1] = static_cast<char>('0' + n);
    return end;
}

// |v| = mant * 2^exp2 exactly
struct float_parts {
    uint32_t mant;
    int exp2;
};

// A normal float's parts: the fast path splits nothing below 2^-24.
// (memcpy, not std::bit_cast, which the libc++ of emscripten 3.1 lacks.)
float_parts split(float magnitude) {
    uint32_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    return {(bits & 0x7fffff) | 0x800000, static_cast<int>(bits >> 23) - 150};
}

// ---- fast path: |v| < 1e10 ----------------------------------------------------

// Below 1e10 the two roundings come to one: |v| * 10^6 rounded half up, in
// exact 64-bit arithmetic.
//
// Any bound from 2^23 up to 1e10 prints the same: from 2^23 up every float is
// an integer, which put_big_integer can write, and put_decimal writes at most
// ten digits. An integer below 1e10 has no decimals to round, and 17
// significant digits carry it exactly.
//
// Below 2^24, a float is m * 2^-k with m < 2^24 and k >= 0. A six-decimal
// halfway point is an odd multiple of 5e-7, so its difference from the float
// is a multiple of 2^-k * 5e-7, more than |v| * 2.9e-14 unless it is zero.
// Rounding to 17 significant digits moves the float by at most |v| * 5e-17:
// never across such a point, and never off one it lies on (below 2^24 those
// have at most 15 significant digits).
char *put_millionths(char *p, float magnitude) {
    uint64_t millionths = 0; // below 2^-24, |v| * 10^6 < 0.06
    if (magnitude >= 0x1p-24f) {
        float_parts f = split(magnitude);
        uint64_t scaled = uint64_t{f.mant} * 1000000; // < 2^44
        if (f.exp2 >= 0) {
            millionths = scaled << f.exp2; // < 10^16
        } else {
            int k = -f.exp2; // 1..47 here
            millionths = (scaled + (uint64_t{1} << (k - 1))) >> k;
        }
    }
    uint32_t decimals = static_cast<uint32_t>(millionths % 1000000);
    p = put_decimal(p, millionths / 1000000);
    *p++ = '.';
    std::memcpy(p, two_digits(decimals / 10000), 2);
    std::memcpy(p + 2, two_digits(decimals / 100 % 100), 2);
    std::memcpy(p + 4, two_digits(decimals % 100), 2);
    return p + 6;
}

// ---- general path: 1e10 <= |v| <= FLT_MAX -----------------------------------

// A float of 1e10 or more is an integer of 11 to 39 digits: its first 17
// significant digits, zeros for the rest, and six zero decimals. The C
// library's printf rounds to those 17 digits correctly (std::to_chars would
// too, but for floats it lives in the shared C++ library, which the tool
// then needs at start-up). The rule for a tie never comes into it: a float
// of 18 digits or more is divisible by 2^33, while a tie (an eighteenth
// digit 5, zeros after it) has at most 21 factors of two.
//
// For such a value "%.16e" always writes 22 bytes, "d.dddddddddddddddde+XX":
// one digit, the point, sixteen digits, and an exponent of 10 to 38, which
// has two digits (C gives the exponent at least two).
char *put_big_integer(char *p, float magnitude) {
    char sci[32];
    std::snprintf(sci, sizeof sci, "%.16e", static_cast<double>(magnitude));
    int exponent = (sci[20] - '0') * 10 + (sci[21] - '0');
    size_t len = static_cast<size_t>(exponent) + 1; // digits before the point
    size_t from_sci = std::min<size_t>(len, 17) - 1;
    *p++ = sci[0];
    std::memcpy(p, sci + 2, from_sci);
    p += from_sci;
    if (len > 17) {
        std::memset(p, '0', len - 17);
        p += len - 17;
    }
    return put_text(p, ".000000");
}

} // namespace

size_t format_int(char *out, int32_t n) {
    char *p = out;
    uint32_t magnitude = static_cast<uint32_t>(n);
    if (n < 0) {
        *p++ = '-';
        magnitude = 0u - magnitude;
    }
    return static_cast<size_t>(put_decimal(p, magnitude) - out);
}

size_t format_real(char *out, float v) {
    if (std::isnan(v)) return static_cast<size_t>(put_text(out, "nan") - out);
    char *p = out;
    if (std::signbit(v)) *p++ = '-';
    float magnitude = std::fabs(v);
    if (magnitude < 1e10f) {
        p = put_millionths(p, magnitude);
    } else if (std::isinf(magnitude)) {
        p = put_text(p, "inf");
    } else {
        p = put_big_integer(p, magnitude);
    }
    return static_cast<size_t>(p - out);
}

size_t format_double(char *out, double v) {
    char text[64]; // below 1e39: "-", 39 digits, ".", 6 decimals and the NUL
    int len = std::snprintf(text, sizeof text, "%.6f", v);
    size_t kept = std::min(static_cast<size_t>(len), real_text_max - 1);
    std::memcpy(out, text, kept);
    return kept;
}
