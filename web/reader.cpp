// What the page asks of the program: how dalk reads one argument, through its
// own reader and formatter, so that the page's warnings never read a number
// by rules of their own.
#include "dalk.h"

#include <emscripten.h>

// "LENGTH VALUE": how many bytes of text the number takes (0 when it has
// none), and its value as the script prints it, a slice number when `slice`.
extern "C" EMSCRIPTEN_KEEPALIVE const char *dalk_read(const char *text, int slice) {
    static char reading[int_text_max + 1 + real_text_max];
    const char *end = text;
    char value[real_text_max];
    size_t value_len =
        slice ? format_int(value, to_int32(text, &end)) : format_real(value, to_real(text, &end));
    char *p = reading + format_int(reading, static_cast<int32_t>(end - text));
    *p++ = ' ';
    std::memcpy(p, value, value_len);
    p[value_len] = '\0';
    return reading;
}
