// The script writer: one block of four lines per slice, and the complaint
// about a backward range.
#include "dalk.h"

#include <algorithm>
#include <cstring>

namespace {

// The texts of a slice block, around its three numbers.
constexpr char slice_text[] = "mu_pelk ";
constexpr char axis_text[] = " q dark.img" DALK_NEWLINE "pelk_varn ";
constexpr char theta0_text[] = DALK_NEWLINE "mu_rab ";
constexpr char delta_text[] = DALK_NEWLINE "nol2fex 16 ";
constexpr char newline[] = DALK_NEWLINE;

// "mu_pelk N q dark.img\npelk_varn ", the text before each slice's axis value,
// with the slice number counted up in place: from one slice to the next, most
// often only its last digit changes.
struct slice_head {
    char text[48];
    size_t len;
};
constexpr size_t slice_digits_at = sizeof slice_text - 1;

void slice_head_set(slice_head &h, int32_t n) {
    char *p = put_text(h.text, slice_text);
    p += format_int(p, n);
    p = put_text(p, axis_text);
    h.len = static_cast<size_t>(p - h.text);
}

void slice_head_next(slice_head &h, int32_t next) {
    if (next <= 0) { // up to 0 the magnitude counts down, which no carry does
        slice_head_set(h, next);
        return;
    }
    size_t i = h.len - (sizeof axis_text - 1);
    while (i > slice_digits_at && h.text[i - 1] == '9') h.text[--i] = '0';
    if (i > slice_digits_at)
        ++h.text[i - 1];
    else
        slice_head_set(h, next); // 99..9 became 100..0
}

// "\nmu_rab T\nnol2fex 16 D\n", the text after each slice's axis value: the
// same in every block. Most are short, 37 bytes for the defaults: those are
// copied in tail_short bytes, the rest whole.
struct slice_tail {
    char text[128];
    size_t len;
};
constexpr size_t tail_short = 48;

void slice_tail_set(slice_tail &t, const run_params &run) {
    char *p = put_text(t.text, theta0_text);
    p += format_real(p, run.theta0);
    p = put_text(p, delta_text);
    p += format_real(p, run.delta);
    p = put_text(p, newline);
    t.len = static_cast<size_t>(p - t.text);
}

static_assert(sizeof slice_text + sizeof axis_text - 2 + int_text_max <= sizeof slice_head::text);
static_assert(sizeof theta0_text + sizeof delta_text + sizeof newline - 3 + 2 * real_text_max <=
              sizeof slice_tail::text);

// The script's buffer. It goes out in whole chunks, starting at 16 KiB and
// doubling up to 256 KiB: a short run touches no more of the buffer than it
// needs (the first touch of each page costs a fault), a long one makes few,
// large writes. Into a pipe, a write as large as the pipe leaves the writer
// waiting until the reader has emptied all of it, so the two take turns
// instead of working at once: there no chunk is larger than half the pipe,
// nor smaller than a page (HACKING.md: measuring it). A block is appended
// whenever less than a chunk is held, so the buffer has a block's room past
// the largest chunk. The CHANGELOG of 1.2.0 has what these sizes gain.
constexpr size_t first_chunk_size = 1 << 14;
constexpr size_t chunk_size_max = 1 << 18;
constexpr size_t page_size = 4096;
constexpr size_t block_size_max = 512;
// Head and tail are copied whole, a fixed size the compiler can inline, and
// the write position then advances by their length.
static_assert(sizeof slice_head::text + real_text_max + sizeof slice_tail::text <= block_size_max);
// Static storage, not the stack; on 4 KiB pages each chunk is whole pages.
alignas(page_size) char buffer[chunk_size_max + block_size_max];

} // namespace

int write_range_complaint(int fd, const run_params &run) {
    char line[64];
    char *p = put_text(line, "parameter is wrong. from ");
    p += format_int(p, run.from);
    p = put_text(p, " to ");
    p += format_int(p, run.to);
    return put_bytes(fd, line, static_cast<size_t>(p - line));
}

int write_script(int fd, const run_params &run) {
    size_t chunk_limit = chunk_size_max;
    if (size_t capacity = pipe_capacity(fd))
        chunk_limit = std::clamp(capacity / 2, page_size, chunk_size_max);
    size_t chunk = std::min(first_chunk_size, chunk_limit);
    // Static, as the buffer is: copied from the stack, the same blocks were
    // written a quarter slower on AMD EPYC, in the same instructions. Zeroed,
    // since they are copied past their length.
    static slice_tail tail;
    tail = {};
    slice_tail_set(tail, run);
    static slice_head head;
    head = {};
    slice_head_set(head, run.from);
    char *end = buffer; // of the bytes held
    for (int32_t n = run.from;; ++n) {
        if (end >= buffer + chunk) { // a chunk out; what is past it moves to the front
            if (int error = put_bytes(fd, buffer, chunk)) return error;
            size_t past = static_cast<size_t>(end - (buffer + chunk));
            std::memmove(buffer, buffer + chunk, past);
            end = buffer + past;
            chunk = std::min(2 * chunk, chunk_limit);
        }
        std::memcpy(end, head.text, sizeof head.text);
        end += head.len;
        end += format_real(end, axis_at(run, n));
        if (tail.len <= tail_short)
            std::memcpy(end, tail.text, tail_short);
        else
            std::memcpy(end, tail.text, sizeof tail.text);
        end += tail.len;
        if (n == run.to) break; // stepping past INT32_MAX would overflow
        slice_head_next(head, n + 1);
    }
    return put_bytes(fd, buffer, static_cast<size_t>(end - buffer));
}
