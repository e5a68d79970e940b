// standin.exe, copied as mu_pelk.exe, pelk_varn.exe, mu_rab.exe and
// nol2fex.exe: the reconstruction commands for the documents' test under
// Wine's cmd, as doctest.sh's shell stand-ins behave on Unix. mu_pelk opens
// dark.img and starts a work file in the current folder, the others add to
// it, nol2fex checks that it holds one slice's steps and writes image.N.
// Misuse, or a slice listed in STANDIN_FAIL, fails with status 3.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string name;

int fail(const std::string &why) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), why.c_str());
    return 3;
}

std::string work_file() {
    std::string text;
    if (std::FILE *f = std::fopen("work.tmp", "r")) {
        for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
        std::fclose(f);
    }
    return text;
}

bool write_file(const char *path, const std::string &text, const char *mode) {
    std::FILE *f = std::fopen(path, mode);
    return f && std::fputs(text.c_str(), f) >= 0 && std::fclose(f) == 0;
}

} // namespace

int main(int argc, char **argv) {
    name = argv[0];
    name = name.substr(name.find_last_of("/\\") + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0)
        name.resize(name.size() - 4);
    if (name == "mu_pelk") {
        if (argc != 4 || std::strcmp(argv[2], "q") != 0 || std::strcmp(argv[3], "dark.img") != 0)
            return fail("usage");
        if (std::FILE *f = std::fopen("dark.img", "r"))
            std::fclose(f);
        else
            return fail("cannot open dark.img");
        const char *failing = std::getenv("STANDIN_FAIL");
        if (failing && (" " + std::string(failing) + " ").find(" " + std::string(argv[1]) + " ") !=
                           std::string::npos)
            return fail(std::string("slice ") + argv[1] + " failed");
        return write_file("work.tmp", std::string(argv[1]) + "\n", "w") ? 0 : fail("cannot write");
    }
    if (name == "pelk_varn" || name == "mu_rab") {
        if (argc != 2 || work_file().empty()) return fail("no work file");
        return write_file("work.tmp", name + "\n", "a") ? 0 : fail("cannot write");
    }
    if (name == "nol2fex") {
        if (argc != 3 || std::strcmp(argv[1], "16") != 0) return fail("usage");
        std::string work = work_file();
        size_t first = work.find('\n');
        if (first == std::string::npos || work.substr(first + 1) != "pelk_varn\nmu_rab\n")
            return fail("work file clobbered");
        std::string slice = work.substr(0, first);
        if (!write_file(("image." + slice).c_str(), slice + "\n", "w") ||
            !write_file("work.tmp", "", "w"))
            return fail("cannot write");
        return 0;
    }
    return fail("not a stand-in's name");
}
