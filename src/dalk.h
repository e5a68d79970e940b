// dalk: writes the batch script that reconstructs a run of CT slices one by one,
// with the rotation axis interpolated in single precision for every slice.
#pragma once
// dalk-axis, built from the same sources, writes the dalk command for a run
// from measurements of the axis at any slices.

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

// The line end of what goes to standard output. Windows programs read CR LF;
// standard output is binary there, so that each chunk of the script leaves
// in one write, and the writer puts the CR itself.
#ifdef _WIN32
#define DALK_NEWLINE "\r\n"
#else
#define DALK_NEWLINE "\n"
#endif

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
// The real rounded to double, not on to float: a zero of its sign below
// 1e-41, an infinity from 1e39 up.
double to_double(const char *text, const char **end = nullptr);
// True when the whole of text is one such number, without white space: an
// integer (one past the 32-bit range reads as some value past it), a real
// of to_double's grammar.
bool read_whole_integer(const char *text, int64_t &value);
bool read_whole_real(const char *text, double &value);

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
size_t format_double(char *out, double v); // %.6f, exact; |v| below 1e39

// cmdline.cpp: the argument rules
extern const char usage_text[];
bool read_command_line(int argc, const char *const *argv, run_params &run);

// axis.cpp: the axis line through (from, axis1) and (to, axis2)
void fit_axis(run_params &run);
float axis_at(const run_params &run, int32_t slice);

// output.cpp: bytes out through a descriptor, whatever file it is. Each
// function that writes returns 0, or the errno value of the failure it met.
int put_bytes(int fd, const char *bytes, size_t len);
// The capacity of the pipe that fd writes, once grown where Linux allows;
// 0 when fd is no pipe that it can write, or the capacity is unknown.
size_t pipe_capacity(int fd);
int close_output(int fd); // where a deferred error of the file system can still show

// script.cpp: the script writer; 0 or an errno value
int write_range_complaint(int fd, const run_params &run);
int write_script(int fd, const run_params &run);

// run.cpp: the run flow; returns the exit status
int run_dalk(int argc, const char *const *argv, int out_fd, int err_fd);
// "PROGRAM: error writing standard output: REASON" on err_fd; returns exit status 2
int report_write_error(int err_fd, const char *program, int errnum);

// ---- dalk-axis: the dalk command from measurements of the axis at any slices

struct measurement {
    int32_t slice;
    double axis; // the decimal as written, rounded to double
};

// measurements.cpp: the input, a line at a time. line[len] must be writable.
struct measurement_line {
    bool holds;               // a measurement, not a blank or comment line
    measurement value;        // when it holds one
    size_t axis_at, axis_len; // where in the line its axis is written
    size_t len;               // of the line without a CR at its end, as messages show it
    const char *subject;      // of why, or nullptr: "the slice ", "the axis "
    const char *why;          // why the line is refused, or nullptr
};
measurement_line read_measurement(char *line, size_t len, bool first_line);
// Why text is no slice, no real within a float's range, or nullptr: then
// value holds it. Each reason follows a subject: "the axis is not ...".
const char *why_not_slice(const char *text, int32_t &value);
const char *why_not_real(const char *text, double &value);
// Text in double quotes for a message, its first quoted_bytes_max bytes
// with every byte outside printable ASCII escaped, "..." for the rest.
constexpr size_t quoted_bytes_max = 200;
constexpr size_t quoted_text_max = 4 * quoted_bytes_max + 5;
size_t quote_text(char *out, const char *text, size_t len);

// fit.cpp: the least-squares line, and the test for a measurement far off it
struct axis_fit {
    size_t count;
    int64_t pivot;      // the mean slice, rounded down
    double mean_offset; // the mean slice less the pivot, from 0 up to 1
    double mean_axis;
    double sxx;      // the sum of the squared distances of the slices from their mean
    double slope;    // 0 for measurements at one slice, which have no line
    double sse;      // the sum of the squared residuals against the line
    int32_t slice_a; // the first measurement's slice
    bool two_slices; // some measurement lies at another
};
axis_fit fit_measurements(const measurement *m, size_t count);
double fitted_axis(const axis_fit &fit, int32_t slice);
constexpr size_t far_off_count_min = 5;
constexpr double far_off_times = 20;
struct far_off_reading {
    double off_by; // the measurement less the line of the others at its slice
    double times;  // off_by in standard errors of that line's prediction there
};
bool far_off(const axis_fit &fit, const measurement &m, far_off_reading &reading);

// input.cpp: at most len bytes from fd; 0 at its end, or -errno
long get_bytes(int fd, char *bytes, size_t len);

// axis_run.cpp: dalk-axis's run flow, reading measurements from in_fd
extern const char axis_usage_text[];
int run_dalk_axis(int argc, const char *const *argv, int in_fd, int out_fd, int err_fd);
