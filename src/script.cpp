// The script writer: one block of four lines per slice, and the complaint
// about a backward range.
#include "dalk.h"

#include <cstring>

// The line end of the script. Windows programs read CR LF; standard output
// is binary there, so that each chunk leaves in one write, and the writer
// puts the CR itself.
#ifdef _WIN32
#define DALK_NEWLINE "\r\n"
#else
#define DALK_NEWLINE "\n"
#endif

namespace {

// The texts of a slice block, around its three numbers.
constexpr char slice_text[] = "mu_pelk ";
constexpr char axis_text[] = " q dark.img" DALK_NEWLINE "pelk_varn ";
constexpr char theta0_text[] = DALK_NEWLINE "mu_rab ";
constexpr char delta_text[] = DALK_NEWLINE "nol2fex 16 ";
constexpr char newline[] = DALK_NEWLINE;

template <size_t N> char *put_text(char *p, const char (&text)[N]) {
    std::memcpy(p, text, N - 1);
    return p + N - 1;
}

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
    if (next <= 0) { // counting a negative number up shortens it: rewrite it
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
// same in every block.
struct slice_tail {
    char text[128];
    size_t len;
};

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

// Head and tail are copied whole, a fixed size the compiler can inline, and
// the write position then advances by their length.
static_assert(sizeof slice_head::text + real_text_max + sizeof slice_tail::text <= out_block_max);

// 256 KiB: static storage, not the stack.
out_buffer out;

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
    out_open(out, fd);
    slice_tail tail{}; // zeroed: copied whole, past its length
    slice_tail_set(tail, run);
    slice_head head{};
    slice_head_set(head, run.from);
    for (int32_t n = run.from;; ++n) {
        if (int error = out_make_room(out)) return error;
        char *p = out.bytes + out.used;
        std::memcpy(p, head.text, sizeof head.text);
        p += head.len;
        p += format_real(p, axis_at(run, n));
        std::memcpy(p, tail.text, sizeof tail.text);
        out.used = static_cast<size_t>(p + tail.len - out.bytes);
        if (n == run.to) break; // stepping past INT32_MAX would overflow
        slice_head_next(head, n + 1);
    }
    return out_flush(out);
}
