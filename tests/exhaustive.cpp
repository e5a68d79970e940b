// Every one of the 4,294,967,296 float bit patterns through the tool's real
// formatter, against the to_chars reference. Opt-in (the `exhaustive` target):
//
//   exhaustive [threads] [first_pattern last_pattern]
//
// Progress goes to standard error; the last line is the summary. Exits 1 on
// any mismatch, and prints the first few.
#include "dalk.h"
#include "reference.h"

#include <atomic>
#include <bit>
#include <chrono>
#include <cinttypes>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

std::atomic<uint64_t> checked{0}, mismatches{0};
std::mutex report_lock;

void check_range(uint64_t first, uint64_t last) {
    char got[real_text_max], want[64];
    uint64_t done = 0;
    for (uint64_t bits = first; bits <= last; ++bits) {
        float v = std::bit_cast<float>(static_cast<uint32_t>(bits));
        size_t got_len = format_real(got, v), want_len = ref::format(want, v);
        if (got_len != want_len || std::memcmp(got, want, got_len) != 0) {
            if (mismatches.fetch_add(1) < 10) {
                std::lock_guard<std::mutex> hold(report_lock);
                std::fprintf(stderr, "mismatch %08" PRIx64 ": got %.*s, want %.*s\n", bits,
                             static_cast<int>(got_len), got, static_cast<int>(want_len), want);
            }
        }
        if (++done == 1 << 20) {
            checked += done;
            done = 0;
        }
    }
    checked += done;
}

} // namespace

int main(int argc, char **argv) {
    unsigned threads = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 0;
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    uint64_t first = 0, last = 0xffffffff;
    if (argc > 3) {
        first = std::strtoull(argv[2], nullptr, 0);
        last = std::strtoull(argv[3], nullptr, 0);
    }
    uint64_t total = last - first + 1;
    auto start = std::chrono::steady_clock::now();
    auto seconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };

    // Interleaved slices of 2^24 patterns, so that every thread meets the
    // slow (large-exponent) patterns alike.
    std::vector<std::thread> workers;
    const uint64_t slice = uint64_t{1} << 24;
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back([=] {
            for (uint64_t lo = first + t * slice; lo <= last; lo += threads * slice)
                check_range(lo, std::min(last, lo + slice - 1));
        });
    for (int tick = 1; checked.load() < total; ++tick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (tick % 100 != 0) continue;
        std::fprintf(stderr, "%5.1f%% checked, %" PRIu64 " mismatches, %.0f s\n",
                     100.0 * static_cast<double>(checked.load()) / static_cast<double>(total),
                     mismatches.load(), seconds());
    }
    for (auto &w : workers) w.join();
    std::fprintf(stderr,
                 "exhaustive: %" PRIu64 " patterns checked, %" PRIu64
                 " mismatches, %.0f s on %u threads\n",
                 checked.load(), mismatches.load(), seconds(), threads);
    return mismatches.load() == 0 ? 0 : 1;
}
