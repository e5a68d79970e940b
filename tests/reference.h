// Independent references for the tool's conversions, reaching the same
// results by other means: std::from_chars for reading reals, and
// std::to_chars (17 significant digits) plus decimal-text rounding for
// printing them. Test code only; these may allocate.
#pragma once

#include "dalk.h"

#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace ref {

inline bool space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
inline bool digit(char c) {
    return c >= '0' && c <= '9';
}

// std::from_chars of the longest decimal prefix, with d/D read as e, rounded
// to float and flushed below the smallest normal float. Out of double's
// range from_chars leaves the value as it was: that is an infinity when the
// first nonzero digit stands above the units, a zero otherwise.
inline float to_real(const std::string &text) {
    size_t i = 0;
    while (i < text.size() && space(text[i])) ++i;
    bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::string number;
    size_t point = std::string::npos, first = std::string::npos;
    for (; i < text.size() && (digit(text[i]) || (text[i] == '.' && point == std::string::npos));
         ++i) {
        if (text[i] == '.') point = number.size();
        if (text[i] > '0' && first == std::string::npos) first = number.size();
        number += text[i];
    }
    if (number.find_first_of("0123456789") == std::string::npos) return 0.0f;
    int64_t exponent = 0;
    if (i < text.size() && std::string("eEdD").find(text[i]) != std::string::npos) {
        size_t j = i + 1;
        bool negative_exp = j < text.size() && text[j] == '-';
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && digit(text[j])) {
            number += 'e';
            if (negative_exp) number += '-';
            for (; j < text.size() && digit(text[j]); ++j) {
                number += text[j];
                exponent = std::min<int64_t>(exponent * 10 + (text[j] - '0'), INT32_MAX);
            }
            if (negative_exp) exponent = -exponent;
        }
    }
    double magnitude = 0;
    if (first != std::string::npos) {
        auto [end, error] =
            std::from_chars(number.data(), number.data() + number.size(), magnitude);
        if (end != number.data() + number.size()) std::abort(); // the prefix is a whole number
        if (error == std::errc::result_out_of_range) {
            if (point == std::string::npos) point = number.find('e');
            if (point == std::string::npos) point = number.size();
            int64_t lead = exponent + static_cast<int64_t>(point) - static_cast<int64_t>(first) -
                           (first < point ? 1 : 0);
            magnitude = lead > 0 ? INFINITY : 0.0;
        }
    }
    float f = static_cast<float>(negative ? -magnitude : magnitude);
    return std::fabs(f) < FLT_MIN ? std::copysign(0.0f, f) : f;
}

// Saturating 32-bit conversion, through 64-bit arithmetic that saturates too.
inline int32_t to_int32(const std::string &text) {
    size_t i = 0;
    while (i < text.size() && space(text[i])) ++i;
    bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    int64_t v = 0;
    for (; i < text.size() && digit(text[i]); ++i)
        v = v > INT64_MAX / 20 ? INT64_MAX / 20 : v * 10 + (text[i] - '0');
    if (negative) v = -v;
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
}

// Six decimals from the 17 significant digits of the widened value, the
// seventh decimal rounding half away from zero. Writes into out (64 bytes)
// and returns the length; allocates nothing, for the exhaustive check.
inline size_t format(char *out, float v) {
    char *p = out;
    if (std::isnan(v)) {
        std::memcpy(out, "nan", 3);
        return 3;
    }
    if (std::signbit(v)) *p++ = '-';
    double a = std::fabs(static_cast<double>(v));
    if (std::isinf(a)) {
        std::memcpy(p, "inf", 3);
        return static_cast<size_t>(p + 3 - out);
    }
    // Digits on a fixed grid: grid[i] holds the digit at 10^(40 - i), down
    // to 10^-7; grid[0] stays 0 for a carry.
    char grid[48];
    std::memset(grid, '0', sizeof grid);
    if (a != 0) {
        char sci[64]; // d.dddddddddddddddde+XX
        *std::to_chars(sci, sci + sizeof sci - 1, a, std::chars_format::scientific, 16).ptr = '\0';
        int lead = std::atoi(sci + 19); // power of ten of the first digit
        for (int k = 0; k < 17; ++k) {
            int power = lead - k;
            if (power <= 40 && power >= -7) grid[40 - power] = sci[k == 0 ? 0 : k + 1];
        }
    }
    bool up = grid[47] >= '5';
    for (int k = 46; up && k >= 0; --k) {
        up = grid[k] == '9';
        grid[k] = up ? '0' : static_cast<char>(grid[k] + 1);
    }
    int first = 0;
    while (first < 40 && grid[first] == '0') ++first;
    std::memcpy(p, grid + first, static_cast<size_t>(41 - first));
    p += 41 - first;
    *p++ = '.';
    std::memcpy(p, grid + 41, 6);
    return static_cast<size_t>(p + 6 - out);
}

inline std::string format(float v) {
    char buf[64];
    return std::string(buf, format(buf, v));
}

// The script of a run, line by line through the reference formatter, as the
// writer must reproduce it; stops once longer than limit bytes.
inline std::string script(const run_params &run, size_t limit = SIZE_MAX) {
    std::string tail =
        "\nmu_rab " + format(run.theta0) + "\nnol2fex 16 " + format(run.delta) + "\n";
    std::string s;
    for (int64_t n = run.from; n <= run.to && s.size() <= limit; ++n)
        s += "mu_pelk " + std::to_string(n) + " q dark.img\npelk_varn " +
             format(axis_at(run, static_cast<int32_t>(n))) + tail;
    return s;
}

} // namespace ref
