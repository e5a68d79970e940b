// The run flow: read the command line, fit the axis, check the slice range,
// write the script. Returns the exit status.
#include "dalk.h"

#include <cerrno>
#include <cstring>

// A script cut short by a full disk must not pass for a complete one.
int write_failed(std::FILE *err, int errnum) {
    std::fputs("dalk: error writing standard output: ", err);
    std::fputs(std::strerror(errnum != 0 ? errnum : EIO), err);
    std::fputc('\n', err);
    return 2;
}

int run_dalk(int argc, const char *const *argv, std::FILE *out, std::FILE *err) {
    run_params run{};
    if (!read_command_line(argc, argv, run)) {
        std::fputs(usage_text, err);
        return -1;
    }
    fit_axis(run);
    errno = 0;
    if (run.from > run.to) {
        if (!write_range_complaint(out, run)) return write_failed(err, errno);
        return 1;
    }
    if (!write_script(out, run)) return write_failed(err, errno);
    return 0;
}
