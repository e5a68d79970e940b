// libFuzzer target: a whole run from an arbitrary argument vector (the input
// split at NUL bytes, at most eight arguments) through the tool's own write
// loop into a memory file that cannot grow past a fixed size: a run that
// outgrows it meets a partial write and then a failing one, and must stop
// with the write error. Every outcome is checked against a line-by-line
// rendering of the script.
#include "dalk.h"
#include "reference.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t sink_size = 1 << 18;

void require(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_run: %s\n", what);
        std::abort();
    }
}

// A memory file, made once: `limit` bytes that cannot grow, or unlimited.
int memory_file(const char *name, size_t limit) {
    int fd = memfd_create(name, limit > 0 ? MFD_ALLOW_SEALING : 0);
    require(fd >= 0, "memfd_create");
    if (limit > 0)
        require(ftruncate(fd, static_cast<off_t>(limit)) == 0 &&
                    fcntl(fd, F_ADD_SEALS, F_SEAL_GROW | F_SEAL_SHRINK) == 0,
                "sealing the sink");
    return fd;
}

// What one run wrote at the start of fd, which is rewound for the next.
std::string written(int fd) {
    off_t len = lseek(fd, 0, SEEK_CUR);
    std::string s(static_cast<size_t>(len), '\0');
    require(pread(fd, s.data(), s.size(), 0) == len && lseek(fd, 0, SEEK_SET) == 0, "reading back");
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<std::string> args = {"dalk"};
    for (size_t at = 0; at <= size && args.size() < 9;) {
        const void *nul = std::memchr(data + at, 0, size - at);
        size_t end = nul ? static_cast<size_t>(static_cast<const uint8_t *>(nul) - data) : size;
        args.emplace_back(reinterpret_cast<const char *>(data + at), end - at);
        at = end + 1;
    }
    std::vector<const char *> argv;
    for (auto &a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    int argc = static_cast<int>(args.size());

    static const int out = memory_file("out", sink_size), err = memory_file("err", 0);
    int status = run_dalk(argc, argv.data(), out, err);
    std::string got = written(out), got_err = written(err);

    run_params run{};
    if (!read_command_line(argc, argv.data(), run)) {
        require(status == -1 && got.empty() && got_err == usage_text, "short command line");
        return 0;
    }
    fit_axis(run);
    if (run.from > run.to) {
        std::string want = "parameter is wrong. from " + std::to_string(run.from) + " to " +
                           std::to_string(run.to);
        require(status == 1 && got == want && got_err.empty(), "backward range");
        return 0;
    }
    std::string want = ref::script(run, sink_size);
    if (want.size() <= sink_size) {
        require(status == 0 && got == want && got_err.empty(), "complete script");
    } else {
        require(status == 2, "overflowing script must fail");
        // The partial write fills the sink to its last byte.
        require(got.size() == sink_size && want.compare(0, got.size(), got) == 0,
                "partial script must fill the sink with its start");
        require(got_err == std::string("dalk: error writing standard output: ") +
                               std::strerror(EPERM) + "\n",
                "write error message");
    }
    return 0;
}
