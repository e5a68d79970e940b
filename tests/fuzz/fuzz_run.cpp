// libFuzzer target: a whole run from an arbitrary argument vector (the input
// split at NUL bytes, at most eight arguments) into a fixed-size in-memory
// standard output. A run that outgrows it must stop with the write error.
// Every outcome is checked against a line-by-line rendering of the script.
#include "dalk.h"
#include "reference.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t sink_size = 1 << 18;
char sink[sink_size];
char err_sink[512];

void require(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_run: %s\n", what);
        std::abort();
    }
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

    std::FILE *out = fmemopen(sink, sink_size, "w");
    std::FILE *err = fmemopen(err_sink, sizeof err_sink, "w");
    setvbuf(out, nullptr, _IONBF, 0);
    setvbuf(err, nullptr, _IONBF, 0);
    int status = run_dalk(argc, argv.data(), out, err);
    std::string got(sink, static_cast<size_t>(std::ftell(out)));
    std::string got_err(err_sink, static_cast<size_t>(std::ftell(err)));
    std::fclose(out);
    std::fclose(err);

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
        // A memory stream that fills up ends with a NUL of its own.
        if (got.size() == sink_size) got.pop_back();
        require(want.compare(0, got.size(), got) == 0, "partial script must be a prefix");
        // The reason is the stream's own (a short write to memory sets no errno).
        const std::string prefix = "dalk: error writing standard output: ";
        require(got_err.compare(0, prefix.size(), prefix) == 0 &&
                    got_err.size() > prefix.size() + 1 && got_err.find('\n') == got_err.size() - 1,
                "write error message");
    }
    return 0;
}
