// The page's program: dalk, or dalk-axis when the page starts it under that
// name (argv[0]), each on the page's descriptors. Those keep every write
// whole and have no deferred error for a close to show, so the run is all.
#include "dalk.h"

int main(int argc, char **argv) {
    constexpr int in_fd = 0, out_fd = 1, err_fd = 2;
    if (argc > 0 && std::strcmp(argv[0], "dalk-axis") == 0)
        return run_dalk_axis(argc, argv, in_fd, out_fd, err_fd);
    return run_dalk(argc, argv, out_fd, err_fd);
}
