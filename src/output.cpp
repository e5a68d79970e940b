// Getting the script's bytes out: the size of each write, and writing all of
// them whatever kind of descriptor standard output is.
//
// Into a pipe, a write as large as the pipe's capacity leaves the writer
// waiting until the reader has emptied all of it, so the two take turns
// instead of working at once. On Linux the pipe is grown to 1 MiB where
// the system allows, and no write fills more than half of the pipe.
//
// A descriptor inherited non-blocking reports a full pipe as an error
// (EAGAIN); that is timing, not failure, so the writer waits until the
// descriptor takes bytes again and goes on.
//
// None of this changes a byte of the output, and a failed attempt at it
// changes neither the output nor the exit status.
#if defined(__linux__) && !defined(_GNU_SOURCE)
#define _GNU_SOURCE 1 // F_SETPIPE_SZ, and the POSIX names under strict C++
#endif
#include "dalk.h"

#include <cerrno>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#define DALK_POSIX 1
#endif

namespace {

constexpr long pipe_wanted = 1L << 20;

#ifdef DALK_POSIX
bool is_pipe(int fd) {
    struct stat st;
    return fd >= 0 && fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode);
}

// The pipe's capacity once grown where possible; 0 when unknown.
long grown_pipe_size(int fd) {
#if defined(__linux__) && defined(F_SETPIPE_SZ)
    long size = fcntl(fd, F_GETPIPE_SZ);
    if (size > 0 && size < pipe_wanted && fcntl(fd, F_SETPIPE_SZ, pipe_wanted) > 0)
        size = fcntl(fd, F_GETPIPE_SZ);
    return size > 0 ? size : 0;
#else
    (void)fd;
    return 0;
#endif
}
#endif

} // namespace

size_t output_chunk(std::FILE *out) {
#ifdef DALK_POSIX
    int saved = errno; // a refused fcntl is no write error
    int fd = fileno(out);
    size_t chunk = output_chunk_max;
    if (is_pipe(fd)) {
        long size = grown_pipe_size(fd);
        chunk = size > 0 ? static_cast<size_t>(size) / 2 : 32768; // half the usual 64 KiB
        if (chunk > output_chunk_max) chunk = output_chunk_max;
        if (chunk < 4096) chunk = 4096;
    }
    errno = saved;
    return chunk;
#else
    (void)out;
    return output_chunk_max;
#endif
}

bool put_bytes(std::FILE *out, const char *bytes, size_t len) {
    while (len > 0) {
        errno = 0;
        size_t done = std::fwrite(bytes, 1, len, out);
        bytes += done;
        len -= done;
        if (len == 0) break;
#ifdef DALK_POSIX
        if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
        struct pollfd writable = {fileno(out), POLLOUT, 0};
        while (poll(&writable, 1, -1) < 0)
            if (errno != EINTR) return false;
        std::clearerr(out);
#else
        return false;
#endif
    }
    return true;
}
