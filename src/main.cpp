// Program entry: the run itself, then closing standard output, where a
// deferred error of the file system can still show.
#include "dalk.h"

#include <cerrno>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char **argv) {
#ifdef _WIN32
    // The writer goes straight to the descriptor, never through stdio. It is
    // binary, so that the C runtime neither cuts the writes nor adds a CR to
    // the writer's CR LF; standard error stays a text stream.
    if (_fileno(stdout) >= 0) _setmode(_fileno(stdout), _O_BINARY); // none without a console
#endif
    int status = run_dalk(argc, argv, stdout, stderr);
    if (status == 0 || status == 1) {
        errno = 0;
        if (std::fclose(stdout) != 0) return write_failed(stderr, errno);
    }
    return status;
}
