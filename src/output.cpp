// Getting bytes out through a descriptor, whatever kind of file it is.
//
// The tool owns its writes instead of leaving them to the C library's stdio,
// which cuts them in pieces of its own choosing and gives up on the first
// EINTR or EAGAIN. Here a write that takes part of the bytes is followed by
// one for the rest; one interrupted before it took any (as a blocked write
// with a send timeout is, when the job is stopped and continued) is made
// again; and a descriptor inherited non-blocking, whose full pipe or socket
// reports EAGAIN, is waited on with poll. That is timing, not failure; any
// other error is returned, as its errno value, for the run flow to report.
//
// A pipe is grown to 1 MiB on Linux where the system allows, and its
// capacity told, for the writer to size its chunks (script.cpp). A failed
// attempt to grow a pipe changes neither the output nor the exit status.
#if defined(__linux__) && !defined(_GNU_SOURCE)
#define _GNU_SOURCE 1 // F_SETPIPE_SZ, and the POSIX names under strict C++
#endif
#include "dalk.h"

#include <cerrno>

#if defined(_WIN32)
#include <io.h>
#elif defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#define DALK_POSIX 1
#else
#error "dalk writes through POSIX or Windows descriptors; this platform has neither"
#endif

namespace {

#ifdef DALK_POSIX
// Until fd takes bytes again: 0, or the errno of a failed poll.
int wait_writable(int fd) {
    struct pollfd writable = {fd, POLLOUT, 0};
    while (poll(&writable, 1, -1) < 0)
        if (errno != EINTR) return errno;
    return 0;
}

// A descriptor open for reading only is left as it is: the write will fail,
// and a tool changes nothing of a file it cannot write.
size_t pipe_capacity_of(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode)) return 0;
    if ((fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY) return 0;
    // Where the capacity cannot be read (off Linux): Linux's default, which
    // is also the most that macOS gives a pipe.
    constexpr size_t pipe_size_unknown = 1 << 16;
#if defined(__linux__) && defined(F_SETPIPE_SZ)
    constexpr int pipe_size_wanted = 1 << 20;
    int size = fcntl(fd, F_GETPIPE_SZ);
    if (size > 0 && size < pipe_size_wanted) {
        int grown = fcntl(fd, F_SETPIPE_SZ, pipe_size_wanted); // the new size
        if (grown > 0) size = grown;
    }
    if (size > 0) return static_cast<size_t>(size);
#endif
    return pipe_size_unknown;
}
#endif

// One write of at most len bytes, less than a chunk and a block: the count
// taken, or -1 with errno set.
long write_some(int fd, const char *bytes, size_t len) {
#ifdef _WIN32
    return _write(fd, bytes, static_cast<unsigned>(len));
#else
    return static_cast<long>(write(fd, bytes, len));
#endif
}

} // namespace

int put_bytes(int fd, const char *bytes, size_t len) {
    while (len > 0) {
        long done = write_some(fd, bytes, len);
        if (done > 0) {
            bytes += done;
            len -= static_cast<size_t>(done);
            continue;
        }
        // A write that takes nothing and reports nothing makes no progress:
        // retrying could loop for ever. POSIX leaves it open; some older
        // systems did so on a full device, which is why gnulib's full-write
        // calls it ENOSPC, as this does. Linux's pipes, files and sockets
        // fail with an errno instead.
        if (done == 0) return ENOSPC;
        int error = errno;
#ifdef DALK_POSIX
        if (error == EINTR) continue;
        if (error == EAGAIN || error == EWOULDBLOCK) {
            error = wait_writable(fd);
            if (error == 0) continue;
        }
#endif
        return error;
    }
    return 0;
}

size_t pipe_capacity(int fd) {
#ifdef DALK_POSIX
    return pipe_capacity_of(fd);
#else
    (void)fd; // a Windows pipe's size is left as it is, and taken as unknown
    return 0;
#endif
}

int close_output(int fd) {
#ifdef _WIN32
    return _close(fd) == 0 ? 0 : errno;
#else
    return close(fd) == 0 ? 0 : errno;
#endif
}
