// libFuzzer target: dalk-axis on arbitrary input, its arguments chosen by
// the first byte. Whatever the bytes, it must end with the command and
// status 0, or with one line of refusal, status 1 and nothing on standard
// output; and the command it writes must be one that dalk reads back into
// finite values.
#include "dalk.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void require(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_axis: %s\n", what);
        std::abort();
    }
}

int memory_file(const char *name) {
    int fd = memfd_create(name, 0);
    require(fd >= 0, "memfd_create");
    return fd;
}

std::string take(int fd) {
    off_t len = lseek(fd, 0, SEEK_CUR);
    std::string s(static_cast<size_t>(len), '\0');
    require(pread(fd, s.data(), s.size(), 0) == len && lseek(fd, 0, SEEK_SET) == 0 &&
                ftruncate(fd, 0) == 0,
            "reading back");
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const int in = memory_file("in"), out = memory_file("out"), err = memory_file("err");
    static const char *const vectors[][6] = {{"dalk-axis", "0", "2047"},
                                             {"dalk-axis", "-v", "-5", "5", "1.5", "-90"},
                                             {"dalk-axis", "-2147483648", "2147483647"},
                                             {"dalk-axis", "3", "3"}};
    if (size == 0) return 0;
    const char *const *argv = vectors[data[0] % 4];
    int argc = 0;
    while (argc < 6 && argv[argc]) ++argc;
    require(ftruncate(in, 0) == 0 &&
                pwrite(in, data + 1, size - 1, 0) == static_cast<ssize_t>(size - 1) &&
                lseek(in, 0, SEEK_SET) == 0,
            "writing the input");
    int status = run_dalk_axis(argc, argv, in, out, err);
    std::string command = take(out), report = take(err);
    if (status == 1) {
        require(command.empty(), "a refusal wrote to standard output");
        require(report.rfind("dalk-axis: ", 0) == 0 && report.find('\n') == report.size() - 1,
                "a refusal is not one line");
        return 0;
    }
    require(status == 0, "an exit status other than 0 or 1");
    require(command.rfind("dalk ", 0) == 0 && command.find('\n') == command.size() - 1,
            "the command is not one line");
    char *words[8] = {};
    int count = 0;
    for (char *word = std::strtok(command.data(), " \n"); word && count < 8;
         word = std::strtok(nullptr, " \n"))
        words[count++] = word;
    run_params run{};
    require(read_command_line(count, words, run) && std::isfinite(run.axis1) &&
                std::isfinite(run.axis2),
            "dalk reads the command otherwise");
    fit_axis(run);
    require(std::isfinite(axis_at(run, run.from)) && std::isfinite(axis_at(run, run.to)),
            "dalk's line through the command overflows");
    return 0;
}
