// Getting the script's bytes out: how large each write is, and writing all of
// them through a descriptor, whatever kind of file it is.
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
// Writes start at 16 KiB and double up to 256 KiB: a short run touches no
// more of the writer's buffer than it needs (the first touch of each page
// costs a fault), a long one makes few, large writes. Into a pipe, a write
// as large as the pipe leaves the writer waiting until the reader has emptied
// all of it, so the two take turns instead of working at once: on Linux a
// pipe open for writing is grown to 1 MiB where the system allows, and no
// write fills more than half of the pipe.
//
// None of this changes a byte of the output, and a failed attempt to grow a
// pipe changes neither the output nor the exit status.
#if defined(__linux__) && !defined(_GNU_SOURCE)
#define _GNU_SOURCE 1 // F_SETPIPE_SZ, and the POSIX names under strict C++
#endif
#include "dalk.h"

#include <algorithm>
#include <cerrno>

#if defined(_WIN32)
#include <io.h>
#define DALK_WINDOWS 1
#elif defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#define DALK_POSIX 1
#endif

namespace {

constexpr size_t first_chunk = 1 << 14;
constexpr size_t usual_pipe = 1 << 16; // where a pipe's size cannot be asked
constexpr int pipe_wanted = 1 << 20;
constexpr size_t write_max = 1 << 30; // per call: fits every platform's count type

#ifdef DALK_POSIX
bool is_pipe_for_writing(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode)) return false;
    int mode = fcntl(fd, F_GETFL);
    return mode >= 0 && (mode & O_ACCMODE) != O_RDONLY;
}

// Until fd takes bytes again: 0, or the errno of a failed poll.
int wait_writable(int fd) {
    struct pollfd writable = {fd, POLLOUT, 0};
    while (poll(&writable, 1, -1) < 0)
        if (errno != EINTR) return errno;
    return 0;
}
#endif

// One write of at most len bytes: the count taken, or -1 with errno set.
long write_some(int fd, const char *bytes, size_t len) {
    len = std::min(len, write_max);
#if defined(DALK_WINDOWS)
    return _write(fd, bytes, static_cast<unsigned>(len));
#elif defined(DALK_POSIX)
    return static_cast<long>(write(fd, bytes, len));
#else
    (void)fd, (void)bytes;
    errno = EBADF;
    return -1;
#endif
}

} // namespace

size_t grow_pipe(int fd) {
#ifdef DALK_POSIX
    if (!is_pipe_for_writing(fd)) return 0;
#if defined(__linux__) && defined(F_SETPIPE_SZ)
    int size = fcntl(fd, F_GETPIPE_SZ);
    if (size > 0 && size < pipe_wanted && fcntl(fd, F_SETPIPE_SZ, pipe_wanted) > 0)
        size = fcntl(fd, F_GETPIPE_SZ);
    if (size > 0) return static_cast<size_t>(size);
#endif
    return usual_pipe;
#else
    (void)fd;
    return 0;
#endif
}

chunk_sizes plan_chunks(size_t pipe_capacity) {
    size_t limit = output_chunk_max;
    if (pipe_capacity > 0) limit = std::clamp<size_t>(pipe_capacity / 2, 4096, output_chunk_max);
    return {std::min(first_chunk, limit), limit};
}

chunk_sizes next_chunk(chunk_sizes sizes) {
    return {std::min(2 * sizes.next, sizes.limit), sizes.limit};
}

int put_bytes(int fd, const char *bytes, size_t len) {
    while (len > 0) {
        long done = write_some(fd, bytes, len);
        if (done > 0) {
            bytes += done;
            len -= static_cast<size_t>(done);
            continue;
        }
        if (done == 0) return EIO; // took nothing and said nothing
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

int close_output(int fd) {
#if defined(DALK_WINDOWS)
    return _close(fd) == 0 ? 0 : errno;
#elif defined(DALK_POSIX)
    return close(fd) == 0 ? 0 : errno;
#else
    (void)fd;
    return 0;
#endif
}
