// Program entry: the run itself, then closing standard output, where a
// deferred error of the file system can still show.
#include "dalk.h"

#ifdef _WIN32
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char **argv) {
    constexpr int out_fd = 1, err_fd = 2;
#ifdef _WIN32
    // The writer goes straight to the descriptor, never through stdio. It is
    // binary, so that the C runtime neither cuts the writes nor adds a CR to
    // the writer's CR LF; standard error stays a text stream.
    if (_fileno(stdout) >= 0) _setmode(out_fd, _O_BINARY); // none without a console
#endif
    int status = run_dalk(argc, argv, out_fd, err_fd);
    if (status == 0 || status == 1) {
        if (int error = close_output(out_fd)) return report_write_error(err_fd, "dalk", error);
    }
    return status;
}
