// The axis line over slice numbers, fitted and evaluated in IEEE single
// precision: each operation rounded to float (ties to even) before the next,
// no fused multiply-add, and a result below the smallest normal float flushed
// to a zero of its sign. Portable code, so every compiler and optimisation
// level prints the same digits.
//
// Only three results are flushed, the ones that can be subnormal: the slope,
// the intercept and the axis value. The difference axis1 - axis2 needs none:
// were it subnormal, the slope, no larger (|d| >= 1), is flushed to the zero
// of the same sign that flushing it first would give. A slice number times
// the slope needs none either: the slope is a normal float or a zero, and a
// nonzero slice number is at least 1 in magnitude.
#include "dalk.h"

void fit_axis(run_params &run) {
    if (run.from == run.to) {
        // One slice has no line through it: its value is axis1 itself, signed
        // zero and all. axis_at adds slice x slope to the intercept, and only
        // -0 added leaves every value, -0 included, as it is: the slope is the
        // zero whose product with this slice is -0.
        run.slope = run.from < 0 ? 0.0f : -0.0f;
        run.intercept = run.axis1;
        return;
    }
    // The difference of two 32-bit slice numbers always fits in 64 bits, and
    // converting it rounds once, so it never overflows.
    float d = static_cast<float>(static_cast<int64_t>(run.from) - run.to);
    run.slope = flush_subnormal((run.axis1 - run.axis2) / d);
    run.intercept = flush_subnormal(run.axis1 - static_cast<float>(run.from) * run.slope);
}

// The line is anchored on the first slice, but its value there still comes
// through the line: slope x n rounded, plus the rounded value at slice 0. Each
// rounding is relative to its own operand, so the error grows with |n x slope|
// and can reach many last bits of the axis value: at slice 100000 of
// 100000 100.3 100100 250.9 the line gives 100.296875 for an axis1 of 100.3.
// Beyond 2^24 the slice number itself rounds to float, and neighbouring
// slices can share one value. For a single slice, slice x slope is -0 (see
// fit_axis), and the sum is axis1.
float axis_at(const run_params &run, int32_t slice) {
    return flush_subnormal(static_cast<float>(slice) * run.slope + run.intercept);
}
