// Number reading: text to a slice number and to a real, as C programs of old
// read their arguments, but exact and in fixed memory for text of any length.
//
// to_int32 skips white space, takes an optional sign and the leading decimal
// digits, and saturates to the 32-bit range; no digit reads as 0.
//
// to_real takes the longest leading decimal real (optional sign, digits with
// at most one '.', an exponent after e, E, d or D only when a digit follows
// it), whatever the locale, and returns it rounded correctly to double (ties
// to even, from all its digits) and then to float, a result below the
// smallest normal float becoming a zero of its sign: what strtod and a cast
// give, without allocating. No number reads as 0.0.
#include "dalk.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace {

bool is_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// ---- decimal text ----------------------------------------------------------

// 768 significant digits are more than any halfway point between two doubles
// has, so the digits past them can only matter as "something nonzero follows".
constexpr int max_digits = 768;

// value = digits (as an integer) * 10^exp10, plus a little more when truncated
struct decimal {
    uint8_t digit[max_digits];
    int count;      // stored significant digits; the first is nonzero
    bool truncated; // a nonzero digit was dropped past max_digits
    int64_t exp10;
    bool negative;
    bool is_number; // the text had at least one mantissa digit
};

// Exponent digits beyond this bound cannot change the result, and stopping
// there keeps exp10 far from overflow for an argument of any length.
constexpr int64_t exponent_cap = 1000000000000;

void read_decimal(const char *s, decimal &d) {
    d.count = 0;
    d.truncated = false;
    d.exp10 = 0;
    d.is_number = false;
    while (is_space(*s)) ++s;
    d.negative = *s == '-';
    if (*s == '+' || *s == '-') ++s;

    bool after_point = false;
    for (;; ++s) {
        if (*s == '.' && !after_point) {
            after_point = true;
            continue;
        }
        if (!is_digit(*s)) break;
        d.is_number = true;
        int v = *s - '0';
        if (d.count == 0 && v == 0) {
            if (after_point) --d.exp10; // leading zero after the point
        } else if (d.count < max_digits) {
            d.digit[d.count++] = static_cast<uint8_t>(v);
            if (after_point) --d.exp10;
        } else {
            if (!after_point) ++d.exp10; // dropped integer digit still scales
            d.truncated |= v != 0;
        }
    }
    if (!d.is_number) return;

    // An exponent counts only when at least one digit follows its letter.
    if (*s == 'e' || *s == 'E' || *s == 'd' || *s == 'D') {
        const char *e = s + 1;
        bool negative_exp = *e == '-';
        if (*e == '+' || *e == '-') ++e;
        if (is_digit(*e)) {
            int64_t v = 0;
            for (; is_digit(*e); ++e) v = std::min(v * 10 + (*e - '0'), exponent_cap);
            d.exp10 += negative_exp ? -v : v;
        }
    }
}

// ---- fixed-size unsigned big integers --------------------------------------

// Largest operand: 768 digits (2552 bits), shifted by one bit; 5^807 is smaller.
constexpr int big_words = 84;

struct big {
    uint32_t w[big_words]; // little-endian; w[n-1] != 0 unless n == 0
    int n;
};

// The sizes above rule out a result that does not fit. Were one ever to
// arise, the tool would print wrong digits without a sign: it stops instead.
[[noreturn]] void big_overflow() {
    std::abort();
}

void big_set(big &a, uint32_t v) {
    a.w[0] = v;
    a.n = v != 0;
}

// a = a * m + add
void big_mul_add(big &a, uint32_t m, uint32_t add) {
    uint64_t carry = add;
    for (int i = 0; i < a.n; ++i) {
        uint64_t t = static_cast<uint64_t>(a.w[i]) * m + carry;
        a.w[i] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
    if (carry == 0) return;
    if (a.n == big_words) big_overflow();
    a.w[a.n++] = static_cast<uint32_t>(carry);
}

void big_mul_pow5(big &a, int64_t e) {
    constexpr uint32_t pow5_13 = 1220703125; // 5^13, the largest power of 5 in 32 bits
    uint32_t small = 1;
    for (; e >= 13; e -= 13) big_mul_add(a, pow5_13, 0);
    for (; e > 0; --e) small *= 5;
    big_mul_add(a, small, 0);
}

int big_bits(const big &a) {
    if (a.n == 0) return 0;
    return a.n * 32 - std::countl_zero(a.w[a.n - 1]);
}

void big_shl(big &a, int bits) {
    if (a.n == 0 || bits == 0) return;
    if (big_bits(a) + bits > 32 * big_words) big_overflow();
    int words = bits / 32, r = bits % 32;
    int top = std::min(a.n + words + 1, big_words);
    for (int i = top - 1; i >= 0; --i) {
        int src = i - words;
        uint64_t hi = src >= 0 && src < a.n ? a.w[src] : 0;
        uint64_t lo = src - 1 >= 0 && src - 1 < a.n ? a.w[src - 1] : 0;
        a.w[i] = static_cast<uint32_t>(((hi << 32 | lo) << r) >> 32);
    }
    a.n = top;
    while (a.n > 0 && a.w[a.n - 1] == 0) --a.n;
}

int big_cmp(const big &a, const big &b) {
    if (a.n != b.n) return a.n < b.n ? -1 : 1;
    for (int i = a.n - 1; i >= 0; --i)
        if (a.w[i] != b.w[i]) return a.w[i] < b.w[i] ? -1 : 1;
    return 0;
}

// a -= b, where a >= b
void big_sub(big &a, const big &b) {
    int64_t borrow = 0;
    for (int i = 0; i < a.n; ++i) {
        int64_t t = static_cast<int64_t>(a.w[i]) - (i < b.n ? b.w[i] : 0) - borrow;
        borrow = t < 0;
        a.w[i] = static_cast<uint32_t>(t + (borrow << 32));
    }
    while (a.n > 0 && a.w[a.n - 1] == 0) --a.n;
}

// ---- decimal to double, correctly rounded -----------------------------------

// The magnitude of d (count > 0, value within [1e-41, 1e39)) rounded to the
// nearest double, ties to even. With value = digits * 10^e = (a / b) * 2^e,
// a = digits * 5^e and b = 1 for e >= 0, or a = digits and b = 5^-e: 64
// quotient bits of a / b by long division, the remainder and the truncated
// tail as a sticky bit, then one rounding to 53 bits.
double nearest_double(const decimal &d) {
    big a, b;
    big_set(a, 0);
    int i = 0;
    for (; i + 9 <= d.count; i += 9) {
        uint32_t chunk = 0;
        for (int k = 0; k < 9; ++k) chunk = chunk * 10 + d.digit[i + k];
        big_mul_add(a, 1000000000, chunk);
    }
    uint32_t chunk = 0, scale = 1;
    for (; i < d.count; ++i, scale *= 10) chunk = chunk * 10 + d.digit[i];
    big_mul_add(a, scale, chunk);

    big_set(b, 1);
    if (d.exp10 >= 0)
        big_mul_pow5(a, d.exp10);
    else
        big_mul_pow5(b, -d.exp10);

    // Scale so that 1 <= a / b < 2, tracking the power of two in k.
    int k = big_bits(a) - big_bits(b);
    if (k >= 0)
        big_shl(b, k);
    else
        big_shl(a, -k);
    if (big_cmp(a, b) < 0) {
        big_shl(a, 1);
        --k;
    }

    uint64_t q = 0;
    for (int bit = 0; bit < 64; ++bit) {
        bool one = big_cmp(a, b) >= 0;
        if (one) big_sub(a, b);
        q = q << 1 | one;
        big_shl(a, 1);
    }
    bool sticky = a.n != 0 || d.truncated;

    uint64_t mant = q >> 11, rest = q & 0x7ff;
    bool up = rest > 0x400 || (rest == 0x400 && (sticky || (mant & 1)));
    int exp2 = static_cast<int>(d.exp10) + k - 63 + 11;
    mant += up;
    if (mant >> 53) {
        mant >>= 1;
        ++exp2;
    }
    return std::ldexp(static_cast<double>(mant), exp2);
}

} // namespace

int32_t to_int32(const char *text) {
    const char *s = text;
    while (is_space(*s)) ++s;
    bool negative = *s == '-';
    if (*s == '+' || *s == '-') ++s;
    int64_t magnitude = 0; // stops growing once past the 32-bit range
    for (; is_digit(*s); ++s)
        if (magnitude <= INT32_MAX) magnitude = magnitude * 10 + (*s - '0');
    if (negative)
        return magnitude > -static_cast<int64_t>(INT32_MIN) ? INT32_MIN
                                                            : static_cast<int32_t>(-magnitude);
    return magnitude > INT32_MAX ? INT32_MAX : static_cast<int32_t>(magnitude);
}

float to_real(const char *text) {
    decimal d;
    read_decimal(text, d);
    if (!d.is_number) return 0.0f;
    float magnitude;
    int64_t lead = d.exp10 + d.count - 1; // power of ten of the first digit
    if (d.count == 0 || lead < -41)
        magnitude = 0.0f; // below 1e-40: far under the smallest normal float
    else if (lead > 38)
        magnitude = INFINITY; // at least 1e39: beyond the largest float
    else
        magnitude = flush_subnormal(static_cast<float>(nearest_double(d)));
    return d.negative ? -magnitude : magnitude;
}
