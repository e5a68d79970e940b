// libFuzzer target: the argument conversions against their references. The
// real conversion must equal std::from_chars of the longest decimal prefix
// (d/D read as e) rounded to float and flushed; the integer one a saturating
// reference.
#include "dalk.h"
#include "reference.h"

#include <bit>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    text.resize(std::min(text.find('\0'), text.size())); // an argument ends at its NUL
    float got = to_real(text.c_str()), want = ref::to_real(text);
    if (std::bit_cast<uint32_t>(got) != std::bit_cast<uint32_t>(want)) {
        std::fprintf(stderr, "to_real(\"%s\") = %a, want %a\n", text.c_str(), double(got),
                     double(want));
        std::abort();
    }
    if (to_int32(text.c_str()) != ref::to_int32(text)) {
        std::fprintf(stderr, "to_int32(\"%s\") = %d, want %d\n", text.c_str(),
                     to_int32(text.c_str()), ref::to_int32(text));
        std::abort();
    }
    return 0;
}
