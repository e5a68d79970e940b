// Independent references for the tool's conversions, reaching the same
// results by other means: the C library's strtod for reading reals, and
// std::to_chars (17 significant digits) plus decimal-text rounding for
// printing them. Test code only; these may allocate.
#pragma once

#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace ref {

inline bool space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
inline bool digit(char c) {
    return c >= '0' && c <= '9';
}

// strtod of the longest decimal prefix, with d/D read as e, rounded to float
// and flushed below the smallest normal float.
inline float to_real(const std::string &text) {
    size_t i = 0;
    while (i < text.size() && space(text[i])) ++i;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
    size_t mantissa_digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (digit(text[i])) {
            ++mantissa_digits;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
        number += text[i];
    }
    if (mantissa_digits == 0) return 0.0f;
    if (i < text.size() && std::string("eEdD").find(text[i]) != std::string::npos) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
        if (j < text.size() && digit(text[j])) {
            while (j < text.size() && digit(text[j])) exponent += text[j++];
            number += exponent;
        }
    }
    float f = static_cast<float>(std::strtod(number.c_str(), nullptr));
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
// seventh decimal rounding half away from zero.
inline std::string format(float v) {
    if (std::isnan(v)) return "nan";
    std::string sign = std::signbit(v) ? "-" : "";
    double a = std::fabs(static_cast<double>(v));
    if (std::isinf(a)) return sign + "inf";
    if (a == 0) return sign + "0.000000";
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 16);
    std::string sci(buf, res.ptr); // d.dddddddddddddddde+XX
    std::string digits = sci.substr(0, 1) + sci.substr(2, 16);
    int exp10 = std::atoi(sci.c_str() + sci.find('e') + 1); // first digit at 10^exp10
    // Place the digits on a fixed grid from 10^40 down to 10^-7.
    std::string grid(48, '0');
    for (int k = 0; k < 17; ++k) {
        int power = exp10 - k;
        if (power <= 40 && power >= -7)
            grid[static_cast<size_t>(40 - power)] = digits[static_cast<size_t>(k)];
    }
    bool up = grid[47] >= '5';
    grid.pop_back();
    for (size_t k = grid.size(); up && k-- > 0;) {
        if (grid[k] == '9') {
            grid[k] = '0';
        } else {
            ++grid[k];
            up = false;
        }
    }
    std::string whole = grid.substr(0, 41), frac = grid.substr(41);
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
    return sign + whole + "." + frac;
}

} // namespace ref
