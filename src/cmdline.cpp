// The argument rules: how many arguments there must be, which one is which,
// and the defaults of the two optional ones.
#include "dalk.h"

const char usage_text[] = "usage : dalk from axis1 to axis2 (delta) (theta0)> output_file\n";

bool read_command_line(int argc, const char *const *argv, run_params &run) {
    int given = argc - 1;
    if (given < 4) return false;
    run.from = to_int32(argv[1]);
    run.axis1 = to_real(argv[2]);
    run.to = to_int32(argv[3]);
    run.axis2 = to_real(argv[4]);
    // Seven or more arguments fall back to both defaults, as five and six do not.
    run.delta = given == 5 || given == 6 ? to_real(argv[5]) : 1.0f;
    run.theta0 = given == 6 ? to_real(argv[6]) : 0.0f;
    return true;
}
