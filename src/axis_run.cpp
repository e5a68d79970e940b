// dalk-axis's run flow: read the command line and the measurements, fit the
// line, check that dalk can hold it, write the dalk command, and report on
// standard error how well the line fits. Returns the exit status: 0 with the
// command written, 1 for a refused argument or input (nothing on standard
// output then), 2 for a failed read or write, 255 for a wrong count of
// arguments.
#include "dalk.h"

#include <cstdio>
#include <string>
#include <vector>

const char axis_usage_text[] =
    "usage : dalk-axis (-v) from to (delta) (theta0) < measurements > output_file\n";

namespace {

// The one record of a dalk-axis run.
struct axis_run {
    bool every_residual; // -v: the table of residuals whatever the count
    int32_t from, to;
    const char *delta, *theta0; // as given, checked; nullptr when not
    std::vector<measurement> values;
    std::vector<uint64_t> line_of;     // each measurement's line number
    std::vector<size_t> axis_text_end; // each one's axis as written ends there in axis_texts
    std::string axis_texts;
    std::string report; // what goes to standard error
};

// Up to this many measurements, the table of residuals comes unasked.
constexpr size_t table_count_max = 20;
// Of the measurements far off, this many are named one by one.
constexpr size_t far_off_named_max = 10;
// A line longer than this holds no measurement anyone wrote, and is not kept.
constexpr size_t line_bytes_max = 1 << 16;

void append_int(std::string &s, int64_t n) {
    s += std::to_string(n);
}
void append_double(std::string &s, double v) {
    char text[real_text_max];
    s.append(text, format_double(text, v));
}
void append_quoted(std::string &s, const char *text, size_t len) {
    char quoted[quoted_text_max];
    s.append(quoted, quote_text(quoted, text, len));
}

int refuse(int err_fd, const std::string &message) {
    std::string line = "dalk-axis: " + message + "\n";
    put_bytes(err_fd, line.data(), line.size()); // nowhere is left to report its failure
    return 1;
}

// 0, or 1 with the refusal, or -1 for a wrong count of arguments.
int read_arguments(int argc, const char *const *argv, axis_run &run, std::string &refusal) {
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "-v") == 0) {
        run.every_residual = true;
        first = 2;
    }
    int given = argc - first;
    if (given < 2 || given > 4) return -1;
    const char *const *arg = argv + first;
    static const char *const names[] = {"from", "to", "delta", "theta0"};
    for (int i = 0; i < given; ++i) {
        double real;
        const char *why =
            i < 2 ? why_not_slice(arg[i], i == 0 ? run.from : run.to) : why_not_real(arg[i], real);
        if (why) {
            refusal = std::string(names[i]) + ' ';
            append_quoted(refusal, arg[i], std::strlen(arg[i]));
            refusal += ' ';
            refusal += why;
            return 1;
        }
    }
    if (given >= 3) run.delta = arg[2];
    if (given == 4) run.theta0 = arg[3];
    if (run.from > run.to) {
        refusal =
            "from " + std::to_string(run.from) + " is greater than to " + std::to_string(run.to);
        return 1;
    }
    return 0;
}

// One line of input: kept when it holds a measurement; false, with the
// refusal, when it is refused.
bool take_line(axis_run &run, std::string &line, uint64_t number, std::string &refusal) {
    if (line.size() > line_bytes_max) {
        refusal = "line " + std::to_string(number) + " is longer than " +
                  std::to_string(line_bytes_max) + " bytes";
        return false;
    }
    measurement_line got = read_measurement(line.data(), line.size(), number == 1);
    if (got.why) {
        refusal = "line " + std::to_string(number) + ": ";
        append_quoted(refusal, line.data(), got.len);
        refusal += ": ";
        if (got.subject) refusal += got.subject;
        refusal += got.why;
        return false;
    }
    if (got.holds) {
        run.values.push_back(got.value);
        run.line_of.push_back(number);
        run.axis_texts.append(line, got.axis_at, got.axis_len);
        run.axis_text_end.push_back(run.axis_texts.size());
    }
    return true;
}

// Reads in_fd to its end, or to the first refused line; 0, or the errno of
// a failed read.
int read_input(int in_fd, axis_run &run, std::string &refusal) {
    static char chunk[1 << 16];
    std::string line;
    uint64_t number = 1;
    for (;;) {
        long got = get_bytes(in_fd, chunk, sizeof chunk);
        if (got < 0) return static_cast<int>(-got);
        if (got == 0) break;
        const char *p = chunk, *end = chunk + got;
        while (const char *nl = static_cast<const char *>(std::memchr(p, '\n', end - p))) {
            line.append(p, nl);
            if (!take_line(run, line, number++, refusal)) return 0;
            line.clear();
            p = nl + 1;
        }
        // A line so long is refused at once, without holding the rest of it.
        line.append(p, std::min<size_t>(end - p, line_bytes_max + 1 - line.size()));
        if (line.size() > line_bytes_max && !take_line(run, line, number, refusal)) return 0;
    }
    if (!line.empty()) take_line(run, line, number, refusal); // no line feed at the end
    return 0;
}

std::string slices_refusal(const axis_run &run, const axis_fit &fit) {
    if (run.values.empty())
        return "no measurement on standard input; a line needs two slices or more";
    return "every measurement is at slice " + std::to_string(fit.slice_a) +
           "; a line needs two slices or more";
}

std::string axis_text(const axis_run &run, size_t i) {
    size_t start = i == 0 ? 0 : run.axis_text_end[i - 1];
    return run.axis_texts.substr(start, run.axis_text_end[i] - start);
}

// The report: each measurement against the value the script writes for its
// slice (read back from the script's text, as a user reading it would),
// the largest residual, and the measurements far off the line of the others.
void write_report(axis_run &run, const run_params &line, const axis_fit &fit) {
    std::string &r = run.report;
    size_t count = run.values.size(), largest = count, known = 0;
    double largest_residual = 0, squares = 0;
    bool table = run.every_residual || count <= table_count_max;
    for (size_t i = 0; i < count; ++i) {
        const measurement &m = run.values[i];
        float script = axis_at(line, m.slice);
        char text[real_text_max + 1];
        size_t len = format_real(text, script);
        text[len] = '\0';
        double residual = m.axis - to_double(text);
        if (std::isfinite(script)) { // far outside the run the line may overflow
            ++known;
            squares += residual * residual;
            if (largest == count || std::fabs(residual) > std::fabs(largest_residual)) {
                largest = i;
                largest_residual = residual;
            }
        }
        if (!table) continue;
        r += "slice ";
        append_int(r, m.slice);
        r += ": measured " + axis_text(run, i) + ", script ";
        r.append(text, len);
        r += ", residual ";
        if (std::isfinite(script))
            append_double(r, residual);
        else
            r += "none";
        if (m.slice < run.from || m.slice > run.to) r += " (outside the run)";
        r += '\n';
    }
    if (known > 0) {
        r += "largest residual ";
        append_double(r, largest_residual);
        r += " at slice ";
        append_int(r, run.values[largest].slice);
        r += " (line ";
        append_int(r, static_cast<int64_t>(run.line_of[largest]));
        r += "); root mean square ";
        append_double(r, std::sqrt(squares / static_cast<double>(known)));
        r += " over ";
        append_int(r, static_cast<int64_t>(known));
        r += known == 1 ? " measurement" : " measurements";
        r += table ? "\n" : "; each one: dalk-axis -v\n";
    }
    size_t far = 0;
    for (size_t i = 0; i < count; ++i) {
        far_off_reading reading;
        if (!far_off(fit, run.values[i], reading) || ++far > far_off_named_max) continue;
        r += "dalk-axis: line ";
        append_int(r, static_cast<int64_t>(run.line_of[i]));
        r += ", slice ";
        append_int(r, run.values[i].slice);
        r += ": measured " + axis_text(run, i) + " lies ";
        append_double(r, reading.off_by);
        r += " off the line of the others, ";
        char times[64];
        std::snprintf(times, sizeof times, "%.0f", reading.times);
        r += times;
        r += " times its standard error there: a slip? The fit counts it as written.\n";
    }
    if (far > far_off_named_max) {
        r += "dalk-axis: ";
        append_int(r, static_cast<int64_t>(far - far_off_named_max));
        r += " more measurements lie as far off the line of the others\n";
    }
}

// The dalk command with the fitted line's axis at from and to, and the
// single-precision line that dalk makes of it; false, with the refusal,
// when dalk cannot hold that line.
bool make_command(const axis_run &run, const axis_fit &fit, std::string &command, run_params &line,
                  std::string &refusal) {
    std::string ends; // "A at slice F and B at slice T"
    line.from = run.from;
    line.to = run.to;
    command = "dalk";
    for (int end = 0; end < 2; ++end) {
        int32_t slice = end == 0 ? run.from : run.to;
        double axis = fitted_axis(fit, slice);
        char text[real_text_max + 1];
        float held = INFINITY;
        if (std::fabs(axis) < 1e39) { // format_double's range, past a float's
            text[format_double(text, axis)] = '\0';
            held = to_real(text);
        }
        if (!std::isfinite(held)) {
            refusal = "at slice " + std::to_string(slice) +
                      " the line lies beyond the single-precision range that dalk holds";
            return false;
        }
        (end == 0 ? line.axis1 : line.axis2) = held;
        command += ' ' + std::to_string(slice) + ' ' + text;
        ends +=
            (end == 0 ? "" : " and ") + std::string(text) + " at slice " + std::to_string(slice);
    }
    // axis_at is monotone in the slice: the values between the ends lie
    // between those at the ends.
    fit_axis(line);
    if (!std::isfinite(line.slope) || !std::isfinite(line.intercept) ||
        !std::isfinite(axis_at(line, run.from)) || !std::isfinite(axis_at(line, run.to))) {
        refusal = "dalk's single-precision line through " + ends +
                  " overflows: its script would carry inf or nan";
        return false;
    }
    if (run.delta) command += std::string(" ") + run.delta;
    if (run.theta0) command += std::string(" ") + run.theta0;
    return true;
}

} // namespace

int run_dalk_axis(int argc, const char *const *argv, int in_fd, int out_fd, int err_fd) {
    axis_run run{};
    std::string refusal;
    int status = read_arguments(argc, argv, run, refusal);
    if (status < 0) {
        put_bytes(err_fd, axis_usage_text, std::strlen(axis_usage_text));
        return -1;
    }
    if (status > 0) return refuse(err_fd, refusal);
    if (int error = read_input(in_fd, run, refusal)) {
        refuse(err_fd, std::string("error reading standard input: ") + std::strerror(error));
        return 2;
    }
    if (!refusal.empty()) return refuse(err_fd, refusal);

    axis_fit fit = fit_measurements(run.values.data(), run.values.size());
    if (!fit.two_slices) return refuse(err_fd, slices_refusal(run, fit));

    std::string command;
    run_params line{};
    if (!make_command(run, fit, command, line, refusal)) return refuse(err_fd, refusal);
    command += DALK_NEWLINE;
    if (int error = put_bytes(out_fd, command.data(), command.size()))
        return report_write_error(err_fd, "dalk-axis", error);

    write_report(run, line, fit);
    put_bytes(err_fd, run.report.data(), run.report.size());
    return 0;
}
