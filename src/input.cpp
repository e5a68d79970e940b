// Getting bytes in through a descriptor, for dalk-axis: a read interrupted
// before it took anything is made again, and a descriptor inherited
// non-blocking is waited on, as output.cpp does for writes.
#include "dalk.h"

#include <cerrno>

#if defined(_WIN32)
#include <io.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

long get_bytes(int fd, char *bytes, size_t len) {
    for (;;) {
#ifdef _WIN32
        long got = _read(fd, bytes, static_cast<unsigned>(len));
#else
        long got = static_cast<long>(read(fd, bytes, len));
#endif
        if (got >= 0) return got;
#ifndef _WIN32
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            struct pollfd readable = {fd, POLLIN, 0};
            if (poll(&readable, 1, -1) >= 0 || errno == EINTR) continue;
        }
#endif
        return -errno;
    }
}
