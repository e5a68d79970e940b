// Getting the script's bytes out: how large each write is, and writing all of
// them through the stream's descriptor, whatever kind of file it is.
//
// The tool owns its writes instead of leaving them to the C library's stdio,
// which cuts them as it likes (1 KiB pieces on the BSDs, 2 KiB on Windows
// text streams) and gives up on the first EINTR or EAGAIN. Here a write that
// takes part of the bytes is followed by one for the rest; one interrupted
// before it took any (as a blocked write with a send timeout is, when the job
// is stopped and continued) is made again; and a descriptor inherited
// non-blocking, whose full pipe or socket reports EAGAIN, is waited on with
// poll. That is timing, not failure; any other error is reported, with its
// errno. Only a stream with no descriptor at all (a memory stream) goes
// through stdio.
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
constexpr int pipe_wanted = 1 << 20;
constexpr size_t write_max = 1 << 30; // per call: fits every platform's count type

// The stream's descriptor, or -1 for a stream that has none.
int descriptor(std::FILE *out) {
    int saved = errno; // asking is no write error
#if defined(DALK_WINDOWS)
    int fd = _fileno(out);
#elif defined(DALK_POSIX)
    int fd = fileno(out);
#else
    int fd = -1;
    (void)out;
#endif
    errno = saved;
    return fd;
}

#ifdef DALK_POSIX
bool is_pipe_for_writing(int fd) {
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode)) return false;
    int mode = fcntl(fd, F_GETFL);
    return mode >= 0 && (mode & O_ACCMODE) != O_RDONLY;
}

// The pipe's capacity once grown where possible; 0 when unknown.
size_t grown_pipe_size(int fd) {
#if defined(__linux__) && defined(F_SETPIPE_SZ)
    int size = fcntl(fd, F_GETPIPE_SZ);
    if (size > 0 && size < pipe_wanted && fcntl(fd, F_SETPIPE_SZ, pipe_wanted) > 0)
        size = fcntl(fd, F_GETPIPE_SZ);
    return size > 0 ? static_cast<size_t>(size) : 0;
#else
    (void)fd;
    return 0;
#endif
}

// Until fd takes bytes again; false if poll itself fails.
bool wait_writable(int fd) {
    struct pollfd writable = {fd, POLLOUT, 0};
    while (poll(&writable, 1, -1) < 0)
        if (errno != EINTR) return false;
    return true;
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

bool put_stream(std::FILE *out, const char *bytes, size_t len) {
    return std::fwrite(bytes, 1, len, out) == len && std::fflush(out) == 0;
}

} // namespace

chunk_sizes plan_chunks(std::FILE *out) {
    size_t limit = output_chunk_max;
#ifdef DALK_POSIX
    int saved = errno; // a refused fcntl is no write error
    int fd = descriptor(out);
    if (is_pipe_for_writing(fd)) {
        size_t size = grown_pipe_size(fd);
        limit = size > 0 ? size / 2 : 32768; // half the usual 64 KiB
        limit = std::clamp<size_t>(limit, 4096, output_chunk_max);
    }
    errno = saved;
#else
    (void)out;
#endif
    return {std::min(first_chunk, limit), limit};
}

chunk_sizes next_chunk(chunk_sizes sizes) {
    return {std::min(2 * sizes.next, sizes.limit), sizes.limit};
}

bool put_bytes(std::FILE *out, const char *bytes, size_t len) {
    errno = 0;
    int fd = descriptor(out);
    if (fd < 0) return put_stream(out, bytes, len);
    while (len > 0) {
        long done = write_some(fd, bytes, len);
        if (done > 0) {
            bytes += done;
            len -= static_cast<size_t>(done);
            continue;
        }
        if (done == 0) { // took nothing and said nothing: reported as EIO
            errno = 0;
            return false;
        }
#ifdef DALK_POSIX
        if (errno == EINTR) continue;
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && wait_writable(fd)) continue;
#endif
        return false;
    }
    return true;
}
