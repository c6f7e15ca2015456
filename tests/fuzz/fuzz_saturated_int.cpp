// Fuzzes the saturating decimal conversion against two references: a digit
// string compared with the limits, and the C library's strtol clamped.
#include <stddef.h>
#include <stdint.h>

#include "fuzz_reference.h"
#include "startup/saturated_int.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzText text(data, size);
    // A value the conversion never yields on its own, to see that it is
    // always overwritten.
    int value = 0x5a5a5a5a;
    bool anyDigit = ReadSaturatedInt(text.bytes, &value);

    RefNumber digits = RefReadNumber(text.bytes);
    RefNumber library = RefStrtolNumber(text.bytes);
    const std::string shown = Escaped(text.bytes);
    FUZZ_CHECK(digits.anyDigit == library.anyDigit && digits.value == library.value,
               "the two references disagree on \"%s\": %d/%d vs %d/%d", shown.c_str(),
               digits.anyDigit, digits.value, library.anyDigit, library.value);
    FUZZ_CHECK(anyDigit == digits.anyDigit, "\"%s\": digit found %d, expected %d",
               shown.c_str(), anyDigit, digits.anyDigit);
    FUZZ_CHECK(value == digits.value, "\"%s\": value %d, expected %d", shown.c_str(), value,
               digits.value);
    return 0;
}
