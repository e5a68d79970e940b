// Program entry: the run itself, then closing standard output, whose last
// buffered bytes or deferred errors can still fail there.
#include "dalk.h"

#include <cerrno>

int main(int argc, char **argv) {
    // The script writer hands over large blocks of its own; a second buffer
    // would only copy them again.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    int status = run_dalk(argc, argv, stdout, stderr);
    if (status == 0 || status == 1) {
        errno = 0;
        if (std::fclose(stdout) != 0) return write_failed(stderr, errno);
    }
    return status;
}
