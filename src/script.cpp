// Number formatting and the script writer.
//
// A real prints as its float value widened to double, rounded to 17
// significant digits (ties to even; later digit positions read as 0), and then
// to six decimals from those digits, a seventh decimal of 5 or more raising the
// magnitude. Not printf's %f: that rounds the exact value once, and prints
// 100.007812 where this tool prints 100.007813.
#include "dalk.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233"
    "34353637383940414243444546474849505152535455565758596061626364656667"
    "6869707172737475767778798081828384858687888990919293949596979899";

constexpr uint64_t pow10_u64[] = {1,
                                  10,
                                  100,
                                  1000,
                                  10000,
                                  100000,
                                  1000000,
                                  10000000,
                                  100000000,
                                  1000000000,
                                  10000000000,
                                  100000000000,
                                  1000000000000,
                                  10000000000000,
                                  100000000000000,
                                  1000000000000000,
                                  10000000000000000,
                                  100000000000000000,
                                  1000000000000000000,
                                  10000000000000000000u};

// 5^k for k <= 13 fit in 32 bits
constexpr uint32_t pow5_u32[] = {1,     5,      25,      125,     625,      3125,      15625,
                                 78125, 390625, 1953125, 9765625, 48828125, 244140625, 1220703125};

// The two digits of n < 100.
const char *two_digits(uint64_t n) {
    return digit_pairs + 2 * n;
}

char *put_text(char *p, const char *text, size_t len) {
    std::memcpy(p, text, len);
    return p + len;
}

// n in decimal, written straight into place.
char *put_decimal(char *p, uint64_t n) {
    size_t len = 1;
    while (len < 20 && n >= pow10_u64[len]) ++len;
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

float_parts split(float magnitude) {
    uint32_t bits = std::bit_cast<uint32_t>(magnitude);
    uint32_t field = bits >> 23 & 0xff, fraction = bits & 0x7fffff;
    if (field == 0) return {fraction, -149};
    return {fraction | 0x800000, static_cast<int>(field) - 150};
}

// ---- fast path: |v| < 1e10 ----------------------------------------------------

// Below 1e10 the two roundings come to one: |v| * 10^6 rounded half up. A
// float m * 2^-k is either exactly on a six-decimal halfway point, which has at
// most 17 significant digits and so survives the first rounding, or at least
// |v| * 3e-14 away from every one, while rounding to 17 significant digits
// moves it by at most |v| * 5e-17: never across such a point.
char *put_magnitude_fast(char *p, float magnitude) {
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

// ---- general path: any finite float ----------------------------------------

// a = a * m in base 10^9; m < 2^31 keeps every step inside 64 bits.
void mul_base1e9(uint32_t *limb, int &n, uint32_t m) {
    uint64_t carry = 0;
    for (int i = 0; i < n; ++i) {
        uint64_t t = static_cast<uint64_t>(limb[i]) * m + carry;
        limb[i] = static_cast<uint32_t>(t % 1000000000);
        carry = t / 1000000000;
    }
    for (; carry != 0; carry /= 1000000000) limb[n++] = static_cast<uint32_t>(carry % 1000000000);
}

// The exact decimal digits of mant * 2^exp2, without leading zeros: mant *
// 2^exp2 when exp2 >= 0, else mant * 5^-exp2 with the point -exp2 places from
// the right. The largest, 2^24 * 5^149 < 10^112, takes 13 limbs.
int exact_digits(float_parts f, char *digits, int &after_point) {
    uint32_t limb[16] = {f.mant};
    int n = 1;
    after_point = f.exp2 < 0 ? -f.exp2 : 0;
    for (int e = f.exp2; e > 0; e -= 29) mul_base1e9(limb, n, uint32_t{1} << std::min(e, 29));
    for (int e = -f.exp2; e > 0; e -= 13) mul_base1e9(limb, n, pow5_u32[std::min(e, 13)]);
    char *p = put_decimal(digits, limb[n - 1]);
    for (int i = n - 2; i >= 0; --i) {
        char nine[9];
        uint32_t v = limb[i];
        for (int k = 8; k >= 0; --k, v /= 10) nine[k] = static_cast<char>('0' + v % 10);
        p = put_text(p, nine, 9);
    }
    return static_cast<int>(p - digits);
}

char *put_magnitude_exact(char *p, float magnitude) {
    char d[160];
    int after_point;
    int len = exact_digits(split(magnitude), d, after_point);
    int lead = len - 1 - after_point; // power of ten of d[0]

    if (len > 17) { // round to 17 significant digits, ties to even
        bool rest_nonzero = std::any_of(d + 18, d + len, [](char c) { return c != '0'; });
        bool up = d[17] > '5' || (d[17] == '5' && (rest_nonzero || (d[16] - '0') % 2 == 1));
        len = 17;
        if (up) {
            int i = 16;
            for (; i >= 0 && d[i] == '9'; --i) d[i] = '0';
            if (i >= 0) {
                ++d[i];
            } else {
                d[0] = '1'; // 99..9 became 10..0
                ++lead;
            }
        }
    }

    // Digits from 10^max(lead, 0) down to 10^-6, one spare in front for a carry.
    char t[real_text_max];
    int top = std::max(lead, 0), count = top + 7;
    for (int i = 0; i < count; ++i) {
        int at = lead - (top - i); // index into d of the digit at 10^(top - i)
        t[i + 1] = at >= 0 && at < len ? d[at] : '0';
    }
    int seventh = lead + 7;
    char *first = t + 1;
    if (seventh >= 0 && seventh < len && d[seventh] >= '5') {
        int i = count;
        for (; i >= 1 && t[i] == '9'; --i) t[i] = '0';
        if (i >= 1) {
            ++t[i];
        } else {
            t[0] = '1';
            first = t;
            ++count;
        }
    }
    p = put_text(p, first, static_cast<size_t>(count - 6));
    *p++ = '.';
    return put_text(p, first + count - 6, 6);
}

size_t format_real_paths(char *out, float v, bool fast_allowed) {
    if (std::isnan(v)) return static_cast<size_t>(put_text(out, "nan", 3) - out);
    char *p = out;
    if (std::signbit(v)) *p++ = '-';
    float magnitude = std::fabs(v);
    if (std::isinf(magnitude))
        p = put_text(p, "inf", 3);
    else if (fast_allowed && magnitude < 1e10f)
        p = put_magnitude_fast(p, magnitude);
    else
        p = put_magnitude_exact(p, magnitude);
    return static_cast<size_t>(p - out);
}

bool put_bytes(std::FILE *out, const char *bytes, size_t len) {
    return len == 0 || std::fwrite(bytes, 1, len, out) == len;
}

// ---- the script --------------------------------------------------------------

#define TEXT(s) (s), sizeof(s) - 1

// "mu_pelk N q dark.img\npelk_varn ", the text before each slice's axis value,
// with the slice number counted up in place: from one slice to the next, most
// often only its last digit changes.
struct slice_head {
    char text[48];
    size_t len;
};
constexpr size_t slice_digits_at = sizeof "mu_pelk " - 1;

void slice_head_set(slice_head &h, int32_t n) {
    char *p = put_text(h.text, TEXT("mu_pelk "));
    p += format_int(p, n);
    p = put_text(p, TEXT(" q dark.img\npelk_varn "));
    h.len = static_cast<size_t>(p - h.text);
}

void slice_head_next(slice_head &h, int32_t next) {
    if (next <= 0) { // counting a negative number up shortens it: rewrite it
        slice_head_set(h, next);
        return;
    }
    size_t i = h.len - (sizeof " q dark.img\npelk_varn " - 1);
    while (i > slice_digits_at && h.text[i - 1] == '9') h.text[--i] = '0';
    if (i > slice_digits_at)
        ++h.text[i - 1];
    else
        slice_head_set(h, next); // 99..9 became 100..0
}

// The mu_rab and nol2fex lines, the same in every block.
struct slice_tail {
    char text[128];
    size_t len;
};

void slice_tail_set(slice_tail &t, const run_params &run) {
    char *p = put_text(t.text, TEXT("mu_rab "));
    p += format_real(p, run.theta0);
    p = put_text(p, TEXT("\nnol2fex 16 "));
    p += format_real(p, run.delta);
    *p++ = '\n';
    t.len = static_cast<size_t>(p - t.text);
}

static_assert(sizeof "mu_pelk  q dark.img\npelk_varn " - 1 + int_text_max <=
              sizeof slice_head::text);
static_assert(sizeof "mu_rab \nnol2fex 16 \n" - 1 + 2 * real_text_max <= sizeof slice_tail::text);

// Head and tail are copied whole, a fixed size the compiler can inline, and
// the write position then advances by their length.
constexpr size_t block_room = sizeof slice_head::text + real_text_max + sizeof slice_tail::text;
char script_buf[1 << 16];

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
    return format_real_paths(out, v, true);
}

size_t format_real_exact(char *out, float v) {
    return format_real_paths(out, v, false);
}

bool write_range_complaint(std::FILE *out, const run_params &run) {
    char line[64];
    char *p = put_text(line, TEXT("parameter is wrong. from "));
    p += format_int(p, run.from);
    p = put_text(p, TEXT(" to "));
    p += format_int(p, run.to);
    return put_bytes(out, line, static_cast<size_t>(p - line)) && std::fflush(out) == 0;
}

bool write_script(std::FILE *out, const run_params &run) {
    slice_tail tail{}; // zeroed: copied whole, past its length
    slice_tail_set(tail, run);
    slice_head head{};
    slice_head_set(head, run.from);
    char *p = script_buf;
    for (int32_t n = run.from;; ++n) {
        if (static_cast<size_t>(script_buf + sizeof script_buf - p) < block_room) {
            if (!put_bytes(out, script_buf, static_cast<size_t>(p - script_buf))) return false;
            p = script_buf;
        }
        std::memcpy(p, head.text, sizeof head.text);
        p += head.len;
        p += format_real(p, axis_at(run, n));
        *p++ = '\n';
        std::memcpy(p, tail.text, sizeof tail.text);
        p += tail.len;
        if (n == run.to) break; // stepping past INT32_MAX would overflow
        slice_head_next(head, n + 1);
    }
    return put_bytes(out, script_buf, static_cast<size_t>(p - script_buf)) && std::fflush(out) == 0;
}
