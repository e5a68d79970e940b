// dalk-axis's line: the least-squares line through measurements of the axis
// at any slices, in double precision, and the test that names a measurement
// far off the line of the others.
//
// The sums are centred, and in an order fixed by the input alone, so that
// every platform prints the same digits. Slices are offsets from an integer
// pivot at the mean slice, rounded down: exact in 64-bit integers and in a
// double, and small, so that slices near 2,000,000,000 fit as well as slices
// near 0.
#include "dalk.h"

#include <algorithm>

namespace {

// The slice's offset from the pivot less the mean offset: exact to the
// rounding of one subtraction.
double centred(const axis_fit &fit, int32_t slice) {
    return static_cast<double>(slice - fit.pivot) - fit.mean_offset;
}

} // namespace

axis_fit fit_measurements(const measurement *m, size_t count) {
    axis_fit fit{};
    fit.count = count;
    if (count == 0) return fit;
    auto n = static_cast<int64_t>(count); // a sum of int32 fits for 2^32 of them
    int64_t slices = 0;
    for (size_t i = 0; i < count; ++i) slices += m[i].slice;
    // Rounded down, so that the offsets sum to 0 .. count - 1.
    fit.pivot = slices / n - (slices % n < 0 ? 1 : 0);
    fit.mean_offset = static_cast<double>(slices - fit.pivot * n) / static_cast<double>(n);

    fit.slice_a = m[0].slice;
    for (size_t i = 0; i < count && !fit.two_slices; ++i)
        fit.two_slices = m[i].slice != fit.slice_a;

    double axes = 0, again = 0, sxy = 0, sse = 0;
    for (size_t i = 0; i < count; ++i) axes += m[i].axis;
    double dn = static_cast<double>(n);
    fit.mean_axis = axes / dn;
    // A second pass takes up what the first lost: the residues sum to 0, and
    // each one, of two numbers near each other, is exact.
    for (size_t i = 0; i < count; ++i) again += m[i].axis - fit.mean_axis;
    fit.mean_axis += again / dn;
    for (size_t i = 0; i < count; ++i) {
        double dx = centred(fit, m[i].slice);
        fit.sxx += dx * dx;
        sxy += dx * (m[i].axis - fit.mean_axis);
    }
    if (!fit.two_slices) return fit; // one slice has no line; dalk-axis refuses it
    fit.slope = sxy / fit.sxx;
    for (size_t i = 0; i < count; ++i) {
        double r = m[i].axis - fitted_axis(fit, m[i].slice);
        sse += r * r;
    }
    fit.sse = sse;
    return fit;
}

double fitted_axis(const axis_fit &fit, int32_t slice) {
    return fit.mean_axis + centred(fit, slice) * fit.slope;
}

// The externally studentised residual, from the fit of all: the residual r
// against the line of the others is r / (1 - h), h the measurement's
// leverage, and the others' line predicts a measurement at its slice with
// the standard error s / sqrt(1 - h), s the standard deviation of the
// others about their line (n - 3 degrees of freedom). Five measurements at
// least, so that the others give two; fewer leave too little to tell a slip
// from scatter. Where the others lie at one slice, h is 1: 1 - h is 0, or
// within rounding of it, where the standard error grows as 1 / sqrt(1 - h)
// and names nothing. The standard error is counted as at least a millionth, the
// last decimal of the command, and the spacing of floats at the measured
// value: the scatter of measurements that lie on one line exactly is
// rounding, which would name any other measurement.
bool far_off(const axis_fit &fit, const measurement &m, far_off_reading &reading) {
    if (fit.count < far_off_count_min) return false;
    double n = static_cast<double>(fit.count);
    double dx = centred(fit, m.slice);
    double free = 1 - (1 / n + dx * dx / fit.sxx); // 1 - h
    if (!(free > 0)) return false;
    double r = m.axis - fitted_axis(fit, m.slice);
    double others_sse = std::max(0.0, fit.sse - r * r / free);
    double error = std::sqrt(others_sse / (n - 3) / free);
    auto magnitude = static_cast<float>(std::fabs(m.axis));
    double spacing = std::nextafter(magnitude, INFINITY) - magnitude;
    error = std::max({error, 1e-6, spacing});
    reading.off_by = r / free;
    reading.times = std::fabs(reading.off_by) / error;
    return reading.times > far_off_times;
}
