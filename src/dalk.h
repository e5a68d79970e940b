// dalk: writes the batch script that reconstructs a run of CT slices one by one,
// with the rotation axis interpolated in single precision for every slice.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

// Each single-precision operation must be rounded to float before the next one
// uses it; a wider evaluation method would change printed digits.
static_assert(FLT_EVAL_METHOD == 0, "float arithmetic must be evaluated in float");
// The printed digits, infinities and signed zeros rest on IEEE arithmetic,
// which -ffast-math gives up: it prints inf as a 39-digit number and drops
// the sign of -0.000000.
#ifdef __FAST_MATH__
#error "dalk must not be built with -ffast-math: its digits, inf and -0 need IEEE arithmetic"
#endif
static_assert(std::numeric_limits<float>::is_iec559, "float must be IEEE 754 single precision");
// The program never sets a locale. The C library's conversions that it calls
// (strtod in scan.cpp, snprintf in format.cpp) therefore work in the "C"
// locale, whose decimal point is "." whatever the user's settings.

// The one record of a run: filled by the command-line reader, except `slope`
// and `intercept`, which the axis fit sets; read-only afterwards.
struct run_params {
    int32_t from;    // first slice, inclusive
    float axis1;     // rotation axis measured at slice `from`
    int32_t to;      // last slice, inclusive
    float axis2;     // rotation axis measured at slice `to`
    float delta;     // last argument of every nol2fex line
    float theta0;    // angle of every mu_rab line
    float slope;     // axis change per slice; for one slice, a zero chosen in fit_axis
    float intercept; // the axis line at slice 0
};

// Every real the tool holds is a normal float, a signed zero, an infinity or a
// NaN: a result below the smallest normal float becomes a zero of its sign.
inline float flush_subnormal(float x) {
    return std::fabs(x) < FLT_MIN ? std::copysign(0.0f, x) : x;
}

// scan.cpp: text to numbers; *end, where given, is set past the number read,
// or to text when it has none
int32_t to_int32(const char *text, const char **end = nullptr);
float to_real(const char *text, const char **end = nullptr);

// A literal's text, without its NUL, copied to p; returns the end.
template <size_t N> char *put_text(char *p, const char (&text)[N]) {
    std::memcpy(p, text, N - 1);
    return p + N - 1;
}

// format.cpp: numbers to text, written at out; each returns the length
constexpr size_t real_text_max = 48; // "-" + 39 digits + "." + 6 decimals, and a spare
constexpr size_t int_text_max = 12;  // "-2147483648" and a spare
size_t format_int(char *out, int32_t n);
size_t format_real(char *out, float v);

// cmdline.cpp: the argument rules
extern const char usage_text[];
bool read_command_line(int argc, const char *const *argv, run_params &run);

// axis.cpp: the axis line through (from, axis1) and (to, axis2)
void fit_axis(run_params &run);
float axis_at(const run_params &run, int32_t slice);

// output.cpp: bytes out through a descriptor, whatever file it is. Each
// function that writes returns 0, or the errno value of the failure it met.
int put_bytes(int fd, const char *bytes, size_t len);
// The largest write for fd: `largest`, or for a pipe half its capacity, once
// grown where Linux allows, and at least a page.
size_t write_size_max(int fd, size_t largest);
int close_output(int fd); // where a deferred error of the file system can still show

// script.cpp: the script writer; 0 or an errno value
int write_range_complaint(int fd, const run_params &run);
int write_script(int fd, const run_params &run);

// run.cpp: the run flow; returns the exit status
int run_dalk(int argc, const char *const *argv, int out_fd, int err_fd);
int report_write_error(int err_fd, int errnum); // one line on err_fd; returns exit status 2
