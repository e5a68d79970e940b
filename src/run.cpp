// The run flow: read the command line, fit the axis, check the slice range,
// write the script. Returns the exit status.
#include "dalk.h"

#include <algorithm>
#include <cstring>

// A script cut short by a full disk must not pass for a complete one.
// errnum is never 0: every failed write returns the errno it met.
int report_write_error(int err, int errnum) {
    constexpr char prefix[] = "dalk: error writing standard output: ";
    const char *reason = std::strerror(errnum);
    char line[256];
    size_t len = sizeof prefix - 1;
    std::memcpy(line, prefix, len);
    size_t reason_len = std::min(std::strlen(reason), sizeof line - len - 1);
    std::memcpy(line + len, reason, reason_len);
    len += reason_len;
    line[len++] = '\n';
    put_bytes(err, line, len); // nowhere left to report a failure of this one
    return 2;
}

int run_dalk(int argc, const char *const *argv, int out, int err) {
    run_params run{};
    if (!read_command_line(argc, argv, run)) {
        put_bytes(err, usage_text, std::strlen(usage_text));
        return -1;
    }
    fit_axis(run);
    if (run.from > run.to) {
        if (int error = write_range_complaint(out, run)) return report_write_error(err, error);
        return 1;
    }
    if (int error = write_script(out, run)) return report_write_error(err, error);
    return 0;
}
