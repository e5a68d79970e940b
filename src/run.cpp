// The run flow: read the command line, fit the axis, check the slice range,
// write the script. Returns the exit status.
#include "dalk.h"

#include <cstdio>
#include <cstring>

// A script cut short by a full disk must not pass for a complete one.
// errnum is never 0: every failed write returns the errno it met. The
// precision bounds the C library's message, so the line always fits.
int report_write_error(int err_fd, const char *program, int errnum) {
    char line[256];
    int len = std::snprintf(line, sizeof line, "%.20s: error writing standard output: %.200s\n",
                            program, std::strerror(errnum));
    // Nowhere is left to report a failure of this write.
    if (len > 0) put_bytes(err_fd, line, static_cast<size_t>(len));
    return 2;
}

int run_dalk(int argc, const char *const *argv, int out_fd, int err_fd) {
    run_params run{};
    if (!read_command_line(argc, argv, run)) {
        put_bytes(err_fd, usage_text, std::strlen(usage_text));
        return -1;
    }
    fit_axis(run);
    if (run.from > run.to) {
        if (int error = write_range_complaint(out_fd, run))
            return report_write_error(err_fd, "dalk", error);
        return 1;
    }
    if (int error = write_script(out_fd, run)) return report_write_error(err_fd, "dalk", error);
    return 0;
}
