// The axis line over slice numbers, fitted and evaluated in IEEE single
// precision: each operation rounded to float (ties to even) before the next,
// no fused multiply-add, and a result below the smallest normal float flushed
// to a zero of its sign. Portable code, so every compiler and optimisation
// level prints the same digits.
#include "dalk.h"

void fit_axis(run_params &run) {
    // A single slice has no line through it: axis_at gives it axis1 itself,
    // instead of the NaN of dividing by zero, and reads no slope or intercept.
    if (run.from == run.to) return;
    // The difference of two 32-bit slice numbers always fits in 64 bits, and
    // converting it rounds once, so it never overflows.
    float d = static_cast<float>(static_cast<int64_t>(run.from) - run.to);
    float s = flush_subnormal(run.axis1 - run.axis2);
    run.slope = flush_subnormal(s / d);
    float p = flush_subnormal(static_cast<float>(run.from) * run.slope);
    run.intercept = flush_subnormal(run.axis1 - p);
}

// The line is anchored on the first slice, but its value there still comes
// through the line: slope x n rounded, plus the rounded value at slice 0. Each
// rounding is relative to its own operand, so the error grows with |n x slope|
// and can reach many last bits of the axis value: at slice 100000 of
// 100000 100.3 100100 250.9 the line gives 100.296875 for an axis1 of 100.3.
// Beyond 2^24 the slice number itself rounds to float, and neighbouring
// slices can share one value.
float axis_at(const run_params &run, int32_t slice) {
    if (run.from == run.to) return run.axis1; // the one measured point, signed zero and all
    float p = flush_subnormal(static_cast<float>(slice) * run.slope);
    return flush_subnormal(p + run.intercept);
}
