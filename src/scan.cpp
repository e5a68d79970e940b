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
// smallest normal float becoming a zero of its sign. No number reads as 0.0.
// to_double stops at the double: dalk-axis fits the decimals as written, in
// double precision, within the range that a float can come from.
//
// read_whole_integer and read_whole_real, for dalk-axis, take a field that
// is one number of that grammar and nothing else.
//
// The reader owns the grammar; the C library's strtod, correctly rounded on
// every platform the tool is built for (glibc, and MinGW-w64's own on
// Windows), does the rounding. It is handed only text that the reader wrote
// itself: plain digits, a sticky digit and a decimal exponent, never the
// argument, so hexadecimal, inf, nan and d/D exponents never reach it.
#include "dalk.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool is_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The powers of ten of the first significant digit outside which the float
// is known without rounding: a first digit at 10^-42 or below puts the value
// under 1e-41, far below the smallest normal float (about 1.18e-38), so it
// reads as a zero; one at 10^39 or above puts it at 1e39 or more, past the
// largest float (about 3.40e38). to_double reads those as a zero and an
// infinity too: no measurement that dalk can hold lies there.
constexpr int lead_min = -41;
constexpr int lead_max = 38;

// Significant digits kept. A halfway point between two doubles in the range
// read by digits, from 10^lead_min up to 10^(lead_max + 1), has at most 150
// of them (the longest, odd multiples of 2^-190, lie just above 1e-41), so
// past 150 a digit can only matter as "something nonzero follows". That is
// the double's bound, which to_double needs; a float's halfway points there
// need 143. Any count from 150 up reads every number the same.
constexpr int max_digits = 150;

// value = digits (as an integer) * 10^exp10, plus a little more when truncated
struct decimal {
    char digit[max_digits];
    int count;      // stored significant digits; the first is nonzero
    bool truncated; // a nonzero digit was dropped past max_digits
    int64_t exp10;
    bool negative;
    bool has_digit;  // in the mantissa
    const char *end; // past the number read; the text itself when it has none
};

// Exponent digits beyond this bound cannot change the result, and stopping
// there keeps exp10 far from overflow for an argument of any length.
constexpr int64_t exponent_cap = 1000000000000;

void read_decimal(const char *text, decimal &d) {
    const char *s = text;
    d.count = 0;
    d.truncated = false;
    d.exp10 = 0;
    d.has_digit = false;
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
        d.has_digit = true;
        if (d.count == 0 && *s == '0') {
            if (after_point) --d.exp10; // leading zero after the point
        } else if (d.count < max_digits) {
            d.digit[d.count++] = *s;
            if (after_point) --d.exp10;
        } else {
            if (!after_point) ++d.exp10; // dropped integer digit still scales
            d.truncated |= *s != '0';
        }
    }
    // An exponent counts only when at least one digit follows its letter and
    // sign. (Without a mantissa digit, to_real reads 0.0 whatever follows.)
    if (*s == 'e' || *s == 'E' || *s == 'd' || *s == 'D') {
        const char *e = s + 1;
        bool negative_exp = *e == '-';
        if (*e == '+' || *e == '-') ++e;
        if (is_digit(*e)) {
            int64_t v = 0;
            for (s = e; is_digit(*s); ++s) v = std::min(v * 10 + (*s - '0'), exponent_cap);
            d.exp10 += negative_exp ? -v : v;
        }
    }
    d.end = d.has_digit ? s : text;
}

// The magnitude of d (count > 0, first digit within 10^lead_min to
// 10^lead_max) rounded to the nearest double by strtod, from
// "DIGITS[1]e<exp>". A dropped nonzero tail is written as one more digit 1:
// past max_digits, any nonzero tail rounds as that one does, never onto a
// halfway point.
double nearest_double(const decimal &d) {
    // The digits, the sticky 1, the 'e', and the exponent with its NUL: it
    // lies within lead_min - max_digits .. lead_max, well inside 32 bits.
    char text[max_digits + 2 + int_text_max];
    char *p = std::copy(d.digit, d.digit + d.count, text);
    int64_t exp10 = d.exp10;
    if (d.truncated) {
        *p++ = '1';
        --exp10;
    }
    *p++ = 'e';
    p[format_int(p, static_cast<int32_t>(exp10))] = '\0';
    return std::strtod(text, nullptr);
}

// The optional sign and leading decimal digits of text, past white space; a
// magnitude past the 32-bit range stops growing there, so the value tells
// that it is out of range without overflowing.
int64_t read_integer(const char *text, const char **end) {
    const char *s = text;
    while (is_space(*s)) ++s;
    bool negative = *s == '-';
    if (*s == '+' || *s == '-') ++s;
    const char *digits = s;
    int64_t magnitude = 0;
    for (; is_digit(*s); ++s)
        if (magnitude <= INT32_MAX) magnitude = magnitude * 10 + (*s - '0');
    *end = s > digits ? s : text;
    return negative ? -magnitude : magnitude;
}

} // namespace

int32_t to_int32(const char *text, const char **end) {
    const char *stop;
    int64_t value = std::clamp<int64_t>(read_integer(text, &stop), INT32_MIN, INT32_MAX);
    if (end) *end = stop;
    return static_cast<int32_t>(value);
}

double to_double(const char *text, const char **end) {
    decimal d;
    read_decimal(text, d);
    if (end) *end = d.end;
    if (!d.has_digit) return 0.0; // a sign alone is no number, and no negative zero
    double magnitude;
    int64_t lead = d.exp10 + d.count - 1; // power of ten of the first digit
    if (d.count == 0 || lead < lead_min)
        magnitude = 0.0;
    else if (lead > lead_max)
        magnitude = HUGE_VAL;
    else
        magnitude = nearest_double(d);
    return d.negative ? -magnitude : magnitude;
}

float to_real(const char *text, const char **end) {
    return flush_subnormal(static_cast<float>(to_double(text, end)));
}

// A field of dalk-axis's input or command line is the number alone: it
// starts with no white space, which the readers above would skip, and
// nothing follows the number.
bool read_whole_integer(const char *text, int64_t &value) {
    const char *end;
    int64_t v = read_integer(text, &end);
    if (is_space(*text) || end == text || *end != '\0') return false;
    value = v;
    return true;
}

bool read_whole_real(const char *text, double &value) {
    const char *end;
    double v = to_double(text, &end);
    if (is_space(*text) || end == text || *end != '\0') return false;
    value = v;
    return true;
}
