#include "dalk.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string real_text(float v) {
    char buf[real_text_max];
    return std::string(buf, format_real(buf, v));
}

std::string bits_of(float v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", std::bit_cast<uint32_t>(v));
    return buf;
}

// Names the first line that differs, what came and what was wanted: a diff
// of a whole multi-megabyte script would exhaust memory.
testing::AssertionResult same_text(const std::string &got, const std::string &want) {
    if (got == want) return testing::AssertionSuccess();
    auto at = std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first;
    auto start = std::find(std::make_reverse_iterator(at), got.rend(), '\n').base();
    size_t from = static_cast<size_t>(start - got.begin());
    auto line = [from](const std::string &s) {
        return from >= s.size() ? "(end)"
                                : s.substr(from, s.find('\n', from) - from).substr(0, 200);
    };
    return testing::AssertionFailure()
           << "line " << std::count(got.begin(), start, '\n') + 1 << " differs: got \"" << line(got)
           << "\", want \"" << line(want) << "\" (" << got.size() << " bytes, want " << want.size()
           << ')';
}

// Runs the whole tool on an argument vector; captures what it writes.
struct outcome {
    int status;
    std::string out, err;
};

std::string read_all(std::FILE *f) {
    std::string s;
    std::rewind(f);
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
    std::fclose(f);
    return s;
}

outcome run_tool(std::vector<std::string> args) {
    args.insert(args.begin(), "dalk");
    std::vector<const char *> argv;
    for (auto &a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    std::FILE *out = std::tmpfile(), *err = std::tmpfile();
    int status = run_dalk(static_cast<int>(args.size()), argv.data(), fileno(out), fileno(err));
    return {status, read_all(out), read_all(err)};
}

// ---- integer conversion -----------------------------------------------------

TEST(ToInt32, ReadsLeadingDecimalAndSaturates) {
    struct {
        const char *text;
        int32_t want;
    } cases[] = {
        {"12", 12},
        {"12abc", 12},
        {"abc", 0},
        {"   7", 7},
        {"\t\n\v\f\r7", 7},
        {"+7", 7},
        {"-2", -2},
        {"2e2", 2},
        {"", 0},
        {"-", 0},
        {"+-3", 0},
        {"- 3", 0},
        {"0x1f", 0},
        {"007", 7},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"99999999999999999999999", INT32_MAX},
        {"-99999999999999999999999", INT32_MIN},
        {"-21474836479", INT32_MIN}, // one digit more after INT32_MAX's ten
        {"3.9", 3},
        {"\xc2\xa0"
         "5",
         0}, // no-break space is not white space here
    };
    for (auto &c : cases) EXPECT_EQ(to_int32(c.text), c.want) << '"' << c.text << '"';
}

// ---- real conversion ----------------------------------------------------------

// 2^-126 + 2^-150 + 2^-179, exactly.
const char exact_2_126_150_179[] =
    "0.00000000000000000000000000000000000001175494420887210854715679443379"
    "2153765203543059161357293578254555111624091170104165390574662816339625"
    "64001638639865632285363972187042236328125";

TEST(ToReal, GrammarAndRounding) {
    struct {
        const char *text;
        float want;
    } cases[] = {
        {"2e2", 200.0f},
        {"1.5d1", 15.0f},
        {"1.5D-1", 0.15f},
        {"1,5", 1.0f},
        {"  -.5e+1x", -5.0f},
        {"5.", 5.0f},
        {"1e", 1.0f},
        {"1e+", 1.0f},
        {"1.2.3", 1.2f},
        {"1e2.5", 100.0f},
        {".", 0.0f},
        {"-", 0.0f},
        {"+.e1", 0.0f},
        {"0x10", 0.0f},
        {"inf", 0.0f},
        {"nan", 0.0f},
        {"100.3", 100.3f},
        {"3.4028235e38", FLT_MAX},
        {"1e39", INFINITY},
        {"-1e39", -INFINITY},
        {"1e99999999999999999999999", INFINITY},
        {"1.1754944e-38", FLT_MIN},
        {"1e-39", 0.0f},
        {"1e-99999999999999999999999", 0.0f},
        {"0e99999999999999999999999", 0.0f},
        // 1 + 2^-24 + 2.5e-17 rounds to the double 1 + 2^-24, a float tie that
        // goes to even: reading straight to float would give 1 + 2^-23.
        {"1.0000000596046448", 1.0f},
    };
    for (auto &c : cases)
        EXPECT_EQ(bits_of(to_real(c.text)), bits_of(c.want)) << '"' << c.text << '"';
}

TEST(ToReal, SignedZerosAndFlush) {
    struct {
        const char *text;
        bool negative_zero;
    } cases[] = {{"-0", true}, {"-0.0e5", true}, {"-1e-39", true}, {"-1e-300", true},
                 {"0", false}, {"1e-39", false}, {"-", false},     {"-x", false}};
    for (auto &c : cases) {
        float v = to_real(c.text);
        EXPECT_EQ(v, 0.0f) << c.text;
        EXPECT_EQ(std::signbit(v), c.negative_zero) << c.text;
    }
}

TEST(ToReal, LongArguments) {
    const std::string tie_1_24_53 = "1.00000005960464488641292746251565404236316680908203125";
    struct {
        std::string text;
        float want;
    } cases[] = {
        {std::string("1") + std::string(5000, '0'), INFINITY},
        {std::string("0.") + std::string(5000, '0') + "1", 0.0f},
        // Leading zeros, however many, are made up by the exponent.
        {std::string("0.") + std::string(5000, '0') + "1e5020", 1e19f},
        {std::string("0.") + std::string(200000, '0') + "1e200001", 1.0f},
        // Integer digits past the 768 kept still scale the number.
        {std::string("1") + std::string(5000, '0') + "e-5000", 1.0f},
        {std::string(5000, '0') + "1.25", 1.25f},
        {std::string("1.") + std::string(5000, '0') + "1", 1.0f},
        {std::string("123") + std::string(30, '0') + "." + std::string(5000, '9'), 1.23e32f},
        // 1 + 2^-24 + 2^-53 is a tie between two doubles: to even, it reads as
        // 1 + 2^-24, a float tie that goes to 1; a nonzero digit 5,000 places
        // on lifts it to the double above, which is nearer 1 + 2^-23.
        {tie_1_24_53, 1.0f},
        {tie_1_24_53 + "1", 1.00000012f},
        {tie_1_24_53 + std::string(5000, '0') + "1", 1.00000012f},
        {std::string("3.4028235677973366") + std::string(4000, '0') + "1e38", INFINITY},
        // Above the float tie 1048576.0625 by 2^-33: a zero after a dropped
        // nonzero digit leaves it dropped.
        {"1048576.062500000116415321826934814453125" + std::string(800, '0') + "10", 1048576.125f},
        // (2^-126 + 2^-150 + 2^-179 is a double tie, then a float tie), its
        // 142 digits then a 1: a reader that kept fewer digits would round
        // it down to FLT_MIN.
        {std::string(exact_2_126_150_179) + "1", 0x1.000002p-126f},
    };
    for (auto &c : cases) EXPECT_EQ(to_real(c.text.c_str()), c.want) << c.text.substr(0, 40);
}

// Random texts of every shape, against from_chars of the same prefix.
TEST(ToReal, MatchesReferenceOnRandomTexts) {
    std::mt19937_64 rng(20261208);
    const std::string pieces[] = {"0", "1", "9", "5", "00000", "99999", "49999", "50000", ".",
                                  "e", "E", "d", "D", "+",     "-",     " ",     "x",     "7"};
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        int len = static_cast<int>(rng() % 12) + 1;
        for (int k = 0; k < len; ++k) text += pieces[rng() % std::size(pieces)];
        if (rng() % 2) text = std::to_string(rng() % 100000) + "." + text;
        if (rng() % 3 == 0)
            text.append("e").append(std::to_string(static_cast<int>(rng() % 90) - 45));
        ASSERT_EQ(bits_of(to_real(text.c_str())), bits_of(ref::to_real(text)))
            << '"' << text << '"';
    }
}

// Decimal neighbours of float and double halfway points, where a wrong
// rounding step shows first.
TEST(ToReal, MatchesReferenceNearHalfways) {
    std::mt19937 rng(7);
    for (int i = 0; i < 100000; ++i) {
        uint32_t bits = rng() % 0x7f000000 + 0x00800000;
        double lo = std::bit_cast<float>(bits), hi = std::bit_cast<float>(bits + 1);
        double mid = lo + (hi - lo) / 2;
        if (rng() % 2) mid = std::nextafter(mid, rng() % 2 ? 0.0 : INFINITY);
        char text[64];
        std::snprintf(text, sizeof text, "%.*e", static_cast<int>(rng() % 20) + 5, mid);
        ASSERT_EQ(bits_of(to_real(text)), bits_of(ref::to_real(text))) << text;
    }
}

// Where each reading ends: past the number read, or at the start without one.
TEST(Scan, EndIsPastTheNumberRead) {
    struct {
        const char *text;
        long int_end, real_end;
    } cases[] = {{"12abc", 2, 2}, {" \t-7 ", 4, 4}, {"abc", 0, 0},     {"+", 0, 0},
                 {"1.5e", 1, 3},  {"1.5e+", 1, 3},  {"1.5e+2x", 1, 6}, {".e5", 0, 0},
                 {"1,5", 1, 1},   {"2e3", 1, 3},    {"-.5d-1", 0, 6},  {"7.", 1, 2},
                 {"0x1p3", 1, 1}, {"", 0, 0}};
    for (auto &c : cases) {
        const char *end = nullptr;
        to_int32(c.text, &end);
        EXPECT_EQ(end - c.text, c.int_end) << c.text;
        to_real(c.text, &end);
        EXPECT_EQ(end - c.text, c.real_end) << c.text;
    }
}

// ---- command line -------------------------------------------------------------

TEST(CommandLine, CountsAndDefaults) {
    struct {
        std::vector<const char *> args;
        bool ok;
        float delta, theta0;
    } cases[] = {
        {{"dalk"}, false, 0, 0},
        {{"dalk", "1", "2", "3"}, false, 0, 0},
        {{"dalk", "1", "2", "3", "4"}, true, 1.0f, 0.0f},
        {{"dalk", "1", "2", "3", "4", "5"}, true, 5.0f, 0.0f},
        {{"dalk", "1", "2", "3", "4", "5", "6"}, true, 5.0f, 6.0f},
        {{"dalk", "1", "2", "3", "4", "5", "6", "7"}, true, 1.0f, 0.0f},
        {{"dalk", "1", "2", "3", "4", "5", "6", "7", "8"}, true, 1.0f, 0.0f},
    };
    for (auto &c : cases) {
        run_params run{};
        ASSERT_EQ(read_command_line(static_cast<int>(c.args.size()), c.args.data(), run), c.ok)
            << c.args.size();
        if (!c.ok) continue;
        EXPECT_EQ(run.from, 1);
        EXPECT_EQ(run.axis1, 2.0f);
        EXPECT_EQ(run.to, 3);
        EXPECT_EQ(run.axis2, 4.0f);
        EXPECT_EQ(run.delta, c.delta) << c.args.size();
        EXPECT_EQ(run.theta0, c.theta0) << c.args.size();
    }
}

// ---- axis model -------------------------------------------------------------------

TEST(Axis, SinglePrecisionLineAnchoredOnFirstSlice) {
    struct {
        int32_t from;
        float axis1;
        int32_t to;
        float axis2;
        int32_t slice;
        const char *want;
    } cases[] = {
        {10, 100.3f, 12, 100.9f, 10, "100.300003"},
        {10, 100.3f, 12, 100.9f, 11, "100.600006"}, // a double-precision line gives 100.600002
        {10, 100.3f, 12, 100.9f, 12, "100.900002"},
        {0, 100.0f, 128, 101.0f, 1, "100.007813"}, // slope exactly 1/128: a six-decimal tie
        {5, 42.5f, 9, 42.5f, 7, "42.500000"},
        {-2, 1.0f, 2, -1.0f, 0, "0.000000"},
        {-875, 22.2512f, -874, 37.24572f, -875, "22.250977"}, // 22.251953 if anchored on `to`
        {3, 250.0f, 3, 250.0f, 3, "250.000000"}, // one slice: the measured point itself
        {3, -0.0f, 3, 7.0f, 3, "-0.000000"},
        {-3, -0.0f, -3, 7.0f, -3, "-0.000000"},
        {0, -0.0f, 0, 5.0f, 0, "-0.000000"},       // slice 0 of one: 0 x slope must be -0
        {0, 1.5e-38f, 1, 1.3e-38f, 0, "0.000000"}, // a subnormal difference flushes to zero
        {INT32_MIN, 0.0f, INT32_MAX, 1.0f, INT32_MAX, "1.000000"},
        {INT32_MIN, 0.0f, INT32_MAX, 1.0f, INT32_MIN, "0.000000"},
    };
    for (auto &c : cases) {
        run_params run{c.from, c.axis1, c.to, c.axis2, 1.0f, 0.0f, 0.0f, 0.0f};
        fit_axis(run);
        EXPECT_EQ(real_text(axis_at(run, c.slice)), c.want)
            << c.from << ' ' << c.to << ' ' << c.slice;
    }
}

TEST(Axis, ResultsBelowSmallestNormalFlushToSignedZero) {
    run_params run{0, 1.5e-38f, 1, 1.3e-38f, 1.0f, 0.0f, 0.0f, 0.0f};
    fit_axis(run);
    EXPECT_EQ(bits_of(run.slope), bits_of(-0.0f)); // 1.3e-38 - 1.5e-38 is subnormal
    EXPECT_EQ(run.intercept, 1.5e-38f);
    run = {1, 1.2e-38f, 2, 1.2e-38f, 1.0f, 0.0f, 0.0f, 0.0f};
    fit_axis(run);
    EXPECT_EQ(bits_of(axis_at(run, -1)), bits_of(1.2e-38f));
    run = {0, 1.5f * FLT_MIN, 3, -1.5f * FLT_MIN, 1.0f, 0.0f, 0.0f, 0.0f};
    fit_axis(run);                                       // slope -FLT_MIN, intercept 1.5 * FLT_MIN
    EXPECT_EQ(bits_of(axis_at(run, 1)), bits_of(0.0f));  // 0.5 * FLT_MIN
    EXPECT_EQ(bits_of(axis_at(run, 2)), bits_of(-0.0f)); // -0.5 * FLT_MIN
    EXPECT_EQ(bits_of(axis_at(run, 3)), bits_of(-1.5f * FLT_MIN));
    run = {-1, -1.5f * FLT_MIN, 2, 1.5f * FLT_MIN, 1.0f, 0.0f, 0.0f, 0.0f};
    fit_axis(run); // intercept -0.5 * FLT_MIN flushes to -0, and 0 x slope + -0 is +0
    EXPECT_EQ(bits_of(axis_at(run, 0)), bits_of(0.0f));
}

// ---- number formatting --------------------------------------------------------------

TEST(FormatReal, FixedSixDecimalsFromSeventeenDigits) {
    struct {
        float v;
        const char *want;
    } cases[] = {
        {1.0f, "1.000000"},
        {0.0f, "0.000000"},
        {-0.0f, "-0.000000"},
        {100.0078125f, "100.007813"},
        {-100.0078125f, "-100.007813"},
        {100.3f, "100.300003"},
        {-90.0f, "-90.000000"},
        {2.5f, "2.500000"},
        {1e20f, "100000002004087730000.000000"},
        {FLT_MAX, "340282346638528860000000000000000000000.000000"},
        {-FLT_MAX, "-340282346638528860000000000000000000000.000000"},
        {16777216.0f, "16777216.000000"},
        {9999998976.0f, "9999998976.000000"}, // the float below 1e10
        {1e10f, "10000000000.000000"},
        {0.5e-6f, "0.000000"}, // 4.9999998737621307e-07
        {0.6e-6f, "0.000001"},
        {-0.4e-6f, "-0.000000"}, // a negative value printing as zero keeps its sign
        {0.9999999f, "1.000000"},
        {0.99999994f, "1.000000"},
        {0.1f, "0.100000"},
        {FLT_MIN, "0.000000"},
        {0x1p-149f, "0.000000"},
        {INFINITY, "inf"},
        {-INFINITY, "-inf"},
        {NAN, "nan"},
        {-NAN, "nan"},
    };
    for (auto &c : cases) EXPECT_EQ(real_text(c.v), c.want) << bits_of(c.v);
}

// Against the to_chars reference, on random bit patterns and on the
// six-decimal halfway points of the fast path's range.
TEST(FormatReal, AgreesWithReference) {
    std::mt19937 rng(11);
    std::vector<float> values;
    for (int i = 0; i < 300000; ++i)
        values.push_back(std::bit_cast<float>(static_cast<uint32_t>(rng())));
    for (int i = 0; i < 300000; ++i)
        values.push_back(
            std::ldexp(static_cast<float>(rng() % 0x1000000), -static_cast<int>(rng() % 30)));
    for (int i = 1; i < 100000; ++i)
        values.push_back(static_cast<float>(i) + 0.0078125f * static_cast<float>(rng() % 128));
    for (float v : values) ASSERT_EQ(real_text(v), ref::format(v)) << bits_of(v);
}

TEST(FormatInt, Decimal) {
    struct {
        int32_t n;
        const char *want;
    } cases[] = {{0, "0"},
                 {7, "7"},
                 {-2, "-2"},
                 {100, "100"},
                 {INT32_MAX, "2147483647"},
                 {INT32_MIN, "-2147483648"}};
    for (auto &c : cases) {
        char buf[int_text_max];
        EXPECT_EQ(std::string(buf, format_int(buf, c.n)), c.want);
    }
}

// ---- the whole run ----------------------------------------------------------------------

std::string block(const std::string &slice, const std::string &axis, const std::string &theta0,
                  const std::string &delta) {
    return "mu_pelk " + slice + " q dark.img\npelk_varn " + axis + "\nmu_rab " + theta0 +
           "\nnol2fex 16 " + delta + "\n";
}

TEST(Run, ExitStatusesAndStreams) {
    struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } cases[] = {
        {{"10", "100.3", "12", "100.9"},
         0,
         block("10", "100.300003", "0.000000", "1.000000") +
             block("11", "100.600006", "0.000000", "1.000000") +
             block("12", "100.900002", "0.000000", "1.000000"),
         ""},
        {{"10", "100.3", "10", "100.9", "2.5", "-90"},
         0,
         block("10", "100.300003", "-90.000000", "2.500000"),
         ""},
        {{"5", "1", "5", "1", "1e20"},
         0,
         block("5", "1.000000", "0.000000", "100000002004087730000.000000"),
         ""},
        {{"1", "1e39", "2", "0", "-1e99", "x"},
         0,
         block("1", "nan", "0.000000", "-inf") + block("2", "nan", "0.000000", "-inf"),
         ""},
        {{"7", "12.5", "3", "13"}, 1, "parameter is wrong. from 7 to 3", ""},
        {{"-1", "0", "-2147483648", "0"}, 1, "parameter is wrong. from -1 to -2147483648", ""},
        {{"1", "2", "3"},
         -1,
         "",
         "usage : dalk from axis1 to axis2 (delta) (theta0)> output_file\n"},
        {{}, -1, "", "usage : dalk from axis1 to axis2 (delta) (theta0)> output_file\n"},
    };
    for (auto &c : cases) {
        outcome got = run_tool(c.args);
        EXPECT_EQ(got.status, c.status) << c.args.size();
        EXPECT_TRUE(same_text(got.out, c.out)) << c.args.size();
        EXPECT_TRUE(same_text(got.err, c.err)) << c.args.size();
    }
}

// The slice number is counted up in place; check it against a fresh
// conversion across sign changes, carries and both ends of the range.
TEST(Run, SliceNumbersCountUpCorrectly) {
    struct {
        std::string from, to;
    } ranges[] = {{"-1002", "1002"},
                  {"9", "10"},
                  {"99998", "100001"},
                  {"-2147483648", "-2147482000"},
                  {"2147482000", "2147483647"}};
    for (auto &r : ranges) {
        outcome got = run_tool({r.from, "1", r.to, "2"});
        ASSERT_EQ(got.status, 0);
        std::string want_labels, got_labels;
        for (int64_t n = std::stoll(r.from); n <= std::stoll(r.to); ++n)
            want_labels += "mu_pelk " + std::to_string(n) + " q dark.img\n";
        for (size_t at = 0; (at = got.out.find("mu_pelk ", at)) != std::string::npos;) {
            size_t end = got.out.find('\n', at) + 1;
            got_labels += got.out.substr(at, end - at);
            at = end;
        }
        EXPECT_TRUE(same_text(got_labels, want_labels)) << r.from << ".." << r.to;
    }
}

// The writer (slice numbers counted in place, fixed lines formatted once)
// against a line-by-line rendering through the reference formatter, on runs
// long enough to cross many buffer boundaries.
TEST(Run, FastPathMatchesLineByLineRendering) {
    std::vector<std::vector<std::string>> runs = {
        {"-3000", "-0.001", "40000", "2.5e3", "0.25", "1e-3"},
        {"0", "100", "128", "101"},                        // six-decimal ties
        {"-500", "1e9", "500", "1e11", "-7.5e-7", "5e-7"}, // both sides of 1e10
        {"0", "3e38", "2000", "-3e38", "3.4e38", "-1e-45"},
        {"1", "1e-30", "3000", "2e-30"},
        {"10", "1e39", "12", "5"}, // inf and nan
        {"99990", "0.5", "100010", "0.5000001"},
    };
    for (auto &args : runs) {
        outcome got = run_tool(args);
        ASSERT_EQ(got.status, 0);
        std::vector<const char *> argv = {"dalk"};
        for (auto &a : args) argv.push_back(a.c_str());
        run_params run{};
        ASSERT_TRUE(read_command_line(static_cast<int>(argv.size()), argv.data(), run));
        fit_axis(run);
        EXPECT_TRUE(same_text(got.out, ref::script(run)))
            << args[0] << ' ' << args[1] << ' ' << args[2] << ' ' << args[3];
    }
}

// Megabyte arguments (more than the kernel passes to a program, so run in
// process) convert in fixed memory; stray bytes end a number.
TEST(Run, HostileArguments) {
    const std::string megabyte(1 << 20, '9');
    struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{megabyte, "1", megabyte, "2"}, block("2147483647", "1.000000", "0.000000", "1.000000")},
        {{"3", std::string("1.") + std::string(1 << 20, '0') + "5", "3", "0"},
         block("3", "1.000000", "0.000000", "1.000000")},
        {{"3", std::string(1 << 20, '0') + "2.5", "3", "0", std::string("-0.") + megabyte},
         block("3", "2.500000", "0.000000", "-1.000000")},
        {{"3", "1", "3", "1", megabyte}, block("3", "1.000000", "0.000000", "inf")},
        {{"1\xff"
          "2",
          "1.5\xc3\xa9", "1", "0", "\x80", "-\t5"},
         block("1", "1.500000", "0.000000", "0.000000")},
        {{"\t\n\v\f\r 4", "\r\n-4.25e0 7", "4", "0"},
         block("4", "-4.250000", "0.000000", "1.000000")},
    };
    for (auto &c : cases) {
        outcome got = run_tool(c.args);
        EXPECT_EQ(got.status, 0);
        EXPECT_TRUE(same_text(got.out, c.out))
            << c.args[0].substr(0, 10) << ' ' << c.args[1].substr(0, 10);
    }
}

TEST(Run, WriteFailureIsReportedNotHidden) {
    std::FILE *full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    std::FILE *err = std::tmpfile();
    const char *argv[] = {"dalk", "1", "2", "3", "4", nullptr};
    EXPECT_EQ(run_dalk(5, argv, fileno(full), fileno(err)), 2);
    EXPECT_EQ(read_all(err),
              std::string("dalk: error writing standard output: ") + std::strerror(ENOSPC) + "\n");
    std::fclose(full);
}

// A descriptor the tool cannot write is left as it was: the read end of a
// pipe keeps its size.
TEST(Run, LeavesUnwritablePipeAlone) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int size = fcntl(fds[0], F_GETPIPE_SZ);
    std::FILE *err = std::tmpfile();
    const char *argv[] = {"dalk", "0", "100.3", "3", "250.9", nullptr};
    EXPECT_EQ(run_dalk(5, argv, fds[0], fileno(err)), 2);
    EXPECT_EQ(fcntl(fds[0], F_GETPIPE_SZ), size);
    EXPECT_EQ(read_all(err),
              std::string("dalk: error writing standard output: ") + std::strerror(EBADF) + "\n");
    close(fds[0]);
    close(fds[1]);
}

// Set where the emulator cannot run the tests of pipes and stopped jobs
// (tests/CMakeLists.txt says which).
bool emulated() {
    return std::getenv("DALK_TEST_EMULATED") != nullptr;
}

// A standard output inherited non-blocking, read slowly: a full pipe means
// waiting, not a write error.
TEST(Run, WaitsOnNonBlockingPipe) {
    if (emulated()) GTEST_SKIP() << "under an emulator";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(fcntl(fds[1], F_SETFL, fcntl(fds[1], F_GETFL) | O_NONBLOCK), 0);
    std::string got;
    std::thread reader([&] {
        char buf[1 << 16];
        for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) {
            got.append(buf, static_cast<size_t>(n));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::FILE *err = std::tmpfile();
    const char *argv[] = {"dalk", "0", "100.3", "99999", "250.9", nullptr};
    EXPECT_EQ(run_dalk(5, argv, fds[1], fileno(err)), 0);
    close(fds[1]);
    reader.join();
    close(fds[0]);
    EXPECT_EQ(read_all(err), "");
    run_params run{};
    ASSERT_TRUE(read_command_line(5, argv, run));
    fit_axis(run);
    EXPECT_TRUE(same_text(got, ref::script(run)));
}

// A job stopped and continued while its write waits on a full socket with a
// send timeout: Linux ends that write with EINTR, which is no write error.
TEST(Run, CompletesWhenStoppedAndContinued) {
    if (emulated()) GTEST_SKIP() << "under an emulator";
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    timeval patience = {60, 0};
    ASSERT_EQ(setsockopt(fds[0], SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience), 0);
    char fill[4096] = {};
    size_t filled = 0;
    for (ssize_t n; (n = send(fds[0], fill, sizeof fill, MSG_DONTWAIT)) > 0;)
        filled += static_cast<size_t>(n);
    const char *argv[] = {"dalk", "10", "100.3", "12", "100.9", nullptr};
    pid_t child = fork();
    if (child == 0) _exit(run_dalk(5, argv, fds[0], STDERR_FILENO));
    close(fds[0]);
    // Once it sleeps, it waits in its write: it sleeps nowhere else.
    std::string stat;
    for (int tries = 0; tries < 1000 && stat.find(") S ") == std::string::npos; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::getline(std::ifstream("/proc/" + std::to_string(child) + "/stat"), stat);
    }
    EXPECT_NE(stat.find(") S "), std::string::npos) << stat;
    int status = 0;
    kill(child, SIGSTOP);
    waitpid(child, &status, WUNTRACED);
    kill(child, SIGCONT);
    std::string got;
    char buf[4096];
    for (ssize_t n; (n = read(fds[1], buf, sizeof buf)) > 0;)
        got.append(buf, static_cast<size_t>(n));
    close(fds[1]);
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(same_text(got.substr(std::min(filled, got.size())),
                          run_tool({"10", "100.3", "12", "100.9"}).out));
}

// ---- dalk-axis --------------------------------------------------------------------------

outcome run_axis(std::vector<std::string> args, const std::string &input) {
    args.insert(args.begin(), "dalk-axis");
    std::vector<const char *> argv;
    for (auto &a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    std::FILE *in = std::tmpfile(), *out = std::tmpfile(), *err = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), in);
    std::rewind(in);
    int status = run_dalk_axis(static_cast<int>(args.size()), argv.data(), fileno(in), fileno(out),
                               fileno(err));
    std::fclose(in);
    return {status, read_all(out), read_all(err)};
}

const std::string guide_input = "100 1023.60\n1000 1024.31\n1900 1024.95\n";
const std::string guide_command = "dalk 0 1023.536667 2047 1025.071917\n";

// What the input may hold, and every refusal: a status of 1, one line that
// names the line and its text, and nothing on standard output.
TEST(DalkAxis, InputRules) {
    struct {
        std::vector<std::string> args;
        std::string input, out, err; // err: the whole of it, unless out is given
    } cases[] = {
        {{"0", "2047"}, guide_input + "\n", guide_command, ""},
        {{"0", "2047"}, "# slice axis\n\n  \t\n" + guide_input, guide_command, ""},
        {{"0", "2047"}, "100 1023.60\r\n\r\n1000\t1024.31\r\n  1900  1024.95", guide_command, ""},
        {{"0", "2047"}, "\xef\xbb\xbf" + guide_input, guide_command, ""},
        {{"+0", "2047", "2.5", "-90"},
         guide_input,
         "dalk 0 1023.536667 2047 1025.071917 2.5 -90\n",
         ""},
        {{"0", "10"}, "0 1.0078125\n10 1.0078125\n", "dalk 0 1.007812 10 1.007812\n", ""},
        {{"5", "5"}, "0 1\n10 2d0\n", "dalk 5 1.500000 5 1.500000\n", ""},
        {{"0", "2047"},
         "slice axis\n" + guide_input,
         "",
         "dalk-axis: line 1: \"slice axis\": the slice is not a whole number\n"},
        {{"0", "2047"},
         "100 1023.60\n1000,1024.31\n",
         "",
         "dalk-axis: line 2: \"1000,1024.31\": the slice and the axis are separated by blanks or "
         "tabs, not a comma or semicolon\n"},
        {{"0", "2047"},
         "100 1023,60\r\n",
         "",
         "dalk-axis: line 1: \"100 1023,60\": the axis has a comma: the decimal point is \".\"\n"},
        {{"0", "2047"},
         "100 1023.60 0.01\n",
         "",
         "dalk-axis: line 1: \"100 1023.60 0.01\": a third field; a line holds a slice and an "
         "axis\n"},
        {{"0", "2047"},
         "100 1023.60 # first\n",
         "",
         "dalk-axis: line 1: \"100 1023.60 # first\": a comment is a line of its own, starting "
         "with #\n"},
        {{"0", "2047"},
         "100 nan\n",
         "",
         "dalk-axis: line 1: \"100 nan\": the axis is not a decimal number\n"},
        {{"0", "2047"},
         "100 -inf\n",
         "",
         "dalk-axis: line 1: \"100 -inf\": the axis is not a decimal number\n"},
        {{"0", "2047"},
         "100 0x10\n",
         "",
         "dalk-axis: line 1: \"100 0x10\": the axis is not a decimal number\n"},
        {{"0", "2047"},
         "100 1e\n",
         "",
         "dalk-axis: line 1: \"100 1e\": the axis is not a decimal number\n"},
        {{"0", "2047"},
         "0x10 5\n",
         "",
         "dalk-axis: line 1: \"0x10 5\": the slice is not a whole number\n"},
        {{"0", "2047"},
         "100.5 5\n",
         "",
         "dalk-axis: line 1: \"100.5 5\": the slice is not a whole number\n"},
        {{"0", "2047"},
         "-2147483649 5\n",
         "",
         "dalk-axis: line 1: \"-2147483649 5\": the slice is beyond the 32-bit range\n"},
        {{"0", "2047"}, "100\n", "", "dalk-axis: line 1: \"100\": no axis after the slice\n"},
        {{"0", "2047"},
         "100 1e39\n",
         "",
         "dalk-axis: line 1: \"100 1e39\": the axis is beyond the single-precision range that dalk "
         "holds\n"},
        {{"0", "2047"},
         "100 1\x1b[2J\n",
         "",
         "dalk-axis: line 1: \"100 1\\x1b[2J\": the axis is not a decimal number\n"},
        {{"0", "2047"},
         "\xff\xfe"
         "1\0"
         "0\0",
         "",
         "dalk-axis: line 1: \"\\xff\\xfe1\": the input is UTF-16, as PowerShell's > writes it: "
         "save it "
         "as ASCII or UTF-8\n"},
        {{"0", "2047"},
         "100 1\n" + std::string(70000, '1'),
         "",
         "dalk-axis: line 2 is longer than 65536 bytes\n"},
        {{"0", "2047"},
         "100 1\n100 2\n",
         "",
         "dalk-axis: every measurement is at slice 100; a line needs two slices or more\n"},
        {{"0", "2047"},
         "\n# none\n",
         "",
         "dalk-axis: no measurement on standard input; a line needs two slices or more\n"},
        {{"7", "3"}, guide_input, "", "dalk-axis: from 7 is greater than to 3\n"},
        {{"0", "2e3"}, guide_input, "", "dalk-axis: to \"2e3\" is not a whole number\n"},
        {{"0", "2047", "1,5"},
         guide_input,
         "",
         "dalk-axis: delta \"1,5\" has a comma: the decimal point is \".\"\n"},
        {{"0", "2047", "1", "1e39"},
         guide_input,
         "",
         "dalk-axis: theta0 \"1e39\" is beyond the single-precision range that dalk holds\n"},
        {{"0", "1"},
         "0 3e38\n1 -3e38\n",
         "",
         "dalk-axis: dalk's single-precision line through "
         "300000000000000012135895401846682943488.000000 at slice 0 and "
         "-300000000000000012135895401846682943488.000000 at slice 1 overflows: its script would "
         "carry inf or nan\n"},
        {{"0", "10"},
         "0 3e38\n1 3.4e38\n",
         "",
         "dalk-axis: at slice 10 the line lies beyond the single-precision range that dalk "
         "holds\n"},
    };
    for (auto &c : cases) {
        outcome got = run_axis(c.args, c.input);
        std::string name = c.input.substr(0, 40);
        if (c.out.empty()) {
            EXPECT_EQ(got.status, 1) << name;
            EXPECT_EQ(got.out, "") << name;
            EXPECT_EQ(got.err, c.err) << name;
        } else {
            EXPECT_EQ(got.status, 0) << name << got.err;
            EXPECT_EQ(got.out, c.out) << name;
        }
    }
}

TEST(DalkAxis, UsageAndFailedStreams) {
    const std::string usage =
        "usage : dalk-axis (-v) from to (delta) (theta0) < measurements > output_file\n";
    for (auto args : {std::vector<std::string>{"0"}, {"-v", "0"}, {"0", "1", "2", "3", "4"}, {}}) {
        outcome got = run_axis(args, guide_input);
        EXPECT_EQ(got.status, -1);
        EXPECT_EQ(got.out, "");
        EXPECT_EQ(got.err, usage);
    }
    const char *argv[] = {"dalk-axis", "0", "2047", nullptr};
    std::FILE *in = std::tmpfile(), *full = std::fopen("/dev/full", "w"), *err = std::tmpfile();
    ASSERT_NE(full, nullptr);
    std::fputs(guide_input.c_str(), in);
    std::rewind(in);
    EXPECT_EQ(run_dalk_axis(3, argv, fileno(in), fileno(full), fileno(err)), 2);
    EXPECT_EQ(read_all(err), std::string("dalk-axis: error writing standard output: ") +
                                 std::strerror(ENOSPC) + "\n");
    int folder = open("/", O_RDONLY);
    std::FILE *out = std::tmpfile();
    err = std::tmpfile();
    EXPECT_EQ(run_dalk_axis(3, argv, folder, fileno(out), fileno(err)), 2);
    EXPECT_EQ(read_all(out), "");
    EXPECT_EQ(read_all(err), std::string("dalk-axis: error reading standard input: ") +
                                 std::strerror(EISDIR) + "\n");
    close(folder);
    std::fclose(in);
    std::fclose(full);
}

// The residuals on standard error, and the measurement far off the others'
// line named; with four, the slip among them, or with the slip corrected,
// none is.
TEST(DalkAxis, ResidualsAndFarOff) {
    const std::string five = "100 1023.60\n600 1023.98\n1000 1032.31\n1400 1024.62\n1900 1024.95\n";
    outcome got = run_axis({"0", "2047"}, five);
    EXPECT_EQ(got.status, 0);
    EXPECT_NE(got.err.find("slice 1000: measured 1032.31, script 1025.892090, residual 6.417910\n"),
              std::string::npos)
        << got.err;
    EXPECT_NE(got.err.find("largest residual 6.417910 at slice 1000 (line 3); root mean square "),
              std::string::npos)
        << got.err;
    EXPECT_NE(got.err.find("dalk-axis: line 3, slice 1000: measured 1032.31 lies 8.022500 off the "
                           "line of the others, 282 times its standard error there"),
              std::string::npos)
        << got.err;
    for (const std::string &input : {std::string(five).erase(five.find("600"), 12),
                                     std::string(five).replace(five.find("1032"), 4, "1024")}) {
        got = run_axis({"0", "2047"}, input);
        EXPECT_EQ(got.status, 0);
        EXPECT_EQ(got.err.find("dalk-axis:"), std::string::npos) << got.err;
    }
    // Past twenty measurements, the summary alone, unless asked.
    std::string many;
    for (int i = 0; i < 25; ++i)
        many += std::to_string(i * 80) + " 1024." + std::to_string(i % 7) + "\n";
    got = run_axis({"0", "2047"}, many);
    EXPECT_EQ(got.err.find("slice 0:"), std::string::npos) << got.err;
    EXPECT_NE(got.err.find("over 25 measurements; each one: dalk-axis -v\n"), std::string::npos);
    got = run_axis({"-v", "0", "2047"}, many);
    EXPECT_NE(got.err.find("slice 1920: measured 1024.3, script "), std::string::npos) << got.err;
}

} // namespace
