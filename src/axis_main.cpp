// dalk-axis's entry: the run itself, then closing standard output, where a
// deferred error of the file system can still show.
#include "dalk.h"

#ifdef _WIN32
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char **argv) {
    constexpr int in_fd = 0, out_fd = 1, err_fd = 2;
#ifdef _WIN32
    // Both binary: the input's CR LF is taken off by the reader, as on any
    // system, and the command's line end is written whole.
    if (_fileno(stdin) >= 0) _setmode(in_fd, _O_BINARY);
    if (_fileno(stdout) >= 0) _setmode(out_fd, _O_BINARY);
#endif
    int status = run_dalk_axis(argc, argv, in_fd, out_fd, err_fd);
    if (status == 0) {
        if (int error = close_output(out_fd)) return report_write_error(err_fd, "dalk-axis", error);
    }
    return status;
}
