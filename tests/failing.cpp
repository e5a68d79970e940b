// failing CALL PROGRAM ARGS...: runs PROGRAM with a system call on its
// standard output failing with EIO. A seccomp filter, kept across exec, has
// the kernel fail the call itself. CALL is
//   close     every close of it, as a file system that reports a deferred
//             write error only then does (NFS, FUSE)
//   write=N   every write of exactly N bytes to it, such as the first chunk
//             of a long script, after which writes of other sizes succeed
// Where no filter can be set, on a system-call ABI this does not know or
// under qemu-user (which refuses seccomp), it says so and ends with status
// 77, which the tests take as a case skipped.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#if defined(__x86_64__)
#define FAILING_ARCH AUDIT_ARCH_X86_64
#elif defined(__aarch64__)
#define FAILING_ARCH AUDIT_ARCH_AARCH64
#elif defined(__i386__)
#define FAILING_ARCH AUDIT_ARCH_I386
#elif defined(__s390x__)
#define FAILING_ARCH AUDIT_ARCH_S390X
#elif defined(__arm__) && defined(__ARMEL__)
#define FAILING_ARCH AUDIT_ARCH_ARM
#elif defined(__powerpc64__) && defined(__LITTLE_ENDIAN__)
#define FAILING_ARCH AUDIT_ARCH_PPC64LE
#endif
#endif

constexpr int skipped = 77;

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fputs("usage: failing close|write=N PROGRAM ARGS...\n", stderr);
        return 2;
    }
    bool close_call = std::strcmp(argv[1], "close") == 0;
    unsigned long size =
        std::strncmp(argv[1], "write=", 6) == 0 ? std::strtoul(argv[1] + 6, nullptr, 10) : 0;
    if (!close_call && size == 0) {
        std::fprintf(stderr, "failing: no call %s\n", argv[1]);
        return 2;
    }
#ifdef FAILING_ARCH
    // A 64-bit argument's low 32 bits, wherever the machine keeps them.
    constexpr unsigned low = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__ ? 4 : 0;
    const unsigned call = close_call ? __NR_close : __NR_write;
    constexpr unsigned char allow = 9; // the filter's last instruction
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, FAILING_ARCH, 0, allow - 2),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, call, 0, allow - 4),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0]) + low),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, STDOUT_FILENO, 0, allow - 6),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2]) + low),
        // A write's count must match; a close fails whatever its registers hold.
        close_call
            ? sock_filter BPF_STMT(BPF_JMP | BPF_JA, 0)
            : sock_filter BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(size), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EIO),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program = {sizeof filter / sizeof filter[0], filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        std::perror("failing: skipped, no seccomp filter here");
        return skipped;
    }
    execv(argv[2], argv + 2);
    std::perror("failing: exec");
    return 2;
#else
    std::fputs("failing: skipped, no seccomp filter for this system\n", stderr);
    return skipped;
#endif
}
