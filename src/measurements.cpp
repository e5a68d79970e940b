// dalk-axis's input: one measurement a line, a slice and an axis separated
// by blanks or tabs. Blank lines and lines whose first character past the
// blanks is '#' hold none; a CR before the line feed is taken off. Anything
// else is refused, with the reason: a wrong measurement must never pass for
// a right one, as a header line or a decimal comma would in awk.
#include "dalk.h"

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

struct field {
    char *text;
    size_t len;
};

// Why the field is not a number of the kind that why_not reads, with a NUL
// briefly after it; nullptr when it is one.
template <typename T>
const char *why_not(field f, T &value, const char *(*why)(const char *, T &)) {
    char after = f.text[f.len];
    f.text[f.len] = '\0';
    const char *reason = why(f.text, value);
    f.text[f.len] = after;
    return reason;
}

bool holds(field f, char c) {
    return std::memchr(f.text, c, f.len) != nullptr;
}

} // namespace

const char *why_not_slice(const char *text, int32_t &value) {
    int64_t wide;
    if (!read_whole_integer(text, wide)) return "is not a whole number";
    if (wide < INT32_MIN || wide > INT32_MAX) return "is beyond the 32-bit range";
    value = static_cast<int32_t>(wide);
    return nullptr;
}

const char *why_not_real(const char *text, double &value) {
    if (std::strchr(text, ',')) return "has a comma: the decimal point is \".\"";
    if (!read_whole_real(text, value)) return "is not a decimal number";
    if (!std::isfinite(static_cast<float>(value)))
        return "is beyond the single-precision range that dalk holds";
    return nullptr;
}

measurement_line read_measurement(char *line, size_t len, bool first_line) {
    measurement_line got{};
    got.len = len;
    if (first_line && len >= 2 &&
        ((line[0] == '\xff' && line[1] == '\xfe') || (line[0] == '\xfe' && line[1] == '\xff'))) {
        got.why = "the input is UTF-16, as PowerShell's > writes it: save it as ASCII or UTF-8";
        return got;
    }
    size_t at = 0;
    // Editors on Windows may start a UTF-8 file with a byte order mark.
    if (first_line && len >= 3 && std::memcmp(line, "\xef\xbb\xbf", 3) == 0) at = 3;
    if (len > at && line[len - 1] == '\r') --len;
    got.len = len;

    field fields[3];
    size_t count = 0;
    while (count < 3) {
        while (at < len && is_blank(line[at])) ++at;
        if (at == len) break;
        size_t start = at;
        while (at < len && !is_blank(line[at])) ++at;
        fields[count++] = {line + start, at - start};
    }
    if (count == 0 || fields[0].text[0] == '#') return got; // blank, or a comment

    if (count == 1 && (holds(fields[0], ',') || holds(fields[0], ';'))) {
        got.why =
            "the slice and the axis are separated by blanks or tabs, not a comma or semicolon";
    } else if ((got.why = why_not(fields[0], got.value.slice, why_not_slice))) {
        got.subject = "the slice ";
    } else if (count == 1) {
        got.why = "no axis after the slice";
    } else if ((got.why = why_not(fields[1], got.value.axis, why_not_real))) {
        got.subject = "the axis ";
    } else if (count == 3) {
        got.why = fields[2].text[0] == '#' ? "a comment is a line of its own, starting with #"
                                           : "a third field; a line holds a slice and an axis";
    }
    if (got.why) return got;
    got.holds = true;
    got.axis_at = static_cast<size_t>(fields[1].text - line);
    got.axis_len = fields[1].len;
    return got;
}

size_t quote_text(char *out, const char *text, size_t len) {
    constexpr char hex[] = "0123456789abcdef";
    char *p = out;
    *p++ = '"';
    for (size_t i = 0; i < len && i < quoted_bytes_max; ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            *p++ = '\\';
            *p++ = static_cast<char>(c);
        } else if (c == '\t') {
            p = put_text(p, "\\t");
        } else if (c >= 0x20 && c < 0x7f) {
            *p++ = static_cast<char>(c);
        } else { // control bytes and all of UTF-8: safe on any terminal, the same everywhere
            p = put_text(p, "\\x");
            *p++ = hex[c >> 4];
            *p++ = hex[c & 15];
        }
    }
    if (len > quoted_bytes_max) p = put_text(p, "...");
    *p++ = '"';
    return static_cast<size_t>(p - out);
}
