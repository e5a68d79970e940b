// close_fails PROGRAM ARGS...: runs PROGRAM with every close of its standard
// output failing with EIO, as on a file system that reports a deferred write
// error only then (NFS, FUSE). A seccomp filter, kept across exec, has the
// kernel fail the call itself.
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>

#if defined(__x86_64__)
constexpr unsigned native_arch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr unsigned native_arch = AUDIT_ARCH_AARCH64;
#else
#error "close_fails knows the system call ABI of x86-64 and aarch64 only"
#endif

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fputs("usage: close_fails PROGRAM ARGS...\n", stderr);
        return 2;
    }
    // The first argument's low 32 bits, where a little-endian machine keeps them.
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, native_arch, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_close, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, STDOUT_FILENO, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EIO),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program = {sizeof filter / sizeof filter[0], filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        std::perror("close_fails: seccomp");
        return 2;
    }
    execv(argv[1], argv + 1);
    std::perror("close_fails: exec");
    return 2;
}
