// Plain reference versions of the text rules, written for clarity rather
// than speed, that the fuzz targets hold the product against; and the
// check that ends a fuzz run at the first disagreement.
#ifndef GAMEHOST_FUZZ_REFERENCE_H
#define GAMEHOST_FUZZ_REFERENCE_H

#include <ctype.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

// abort() rather than a return: libFuzzer keeps the input that aborted as
// the reproducer, and the message says which rule broke.
#define FUZZ_CHECK(condition, ...)                                   \
    do {                                                             \
        if (!(condition)) {                                          \
            fprintf(stderr, "mismatch: %s (%s:%d)\n", #condition,    \
                    __FILE__, __LINE__);                             \
            fprintf(stderr, __VA_ARGS__);                            \
            fprintf(stderr, "\n");                                   \
            abort();                                                 \
        }                                                            \
    } while (0)

// The fuzz input as one C string in a heap block of exactly its own size, so
// that ASan sees a read one byte past the terminator.
struct FuzzText {
    char *bytes;
    explicit FuzzText(const unsigned char *data, size_t size) {
        bytes = static_cast<char *>(malloc(size + 1));
        memcpy(bytes, data, size);
        bytes[size] = '\0';
    }
    ~FuzzText() { free(bytes); }
    FuzzText(const FuzzText &) = delete;
    FuzzText &operator=(const FuzzText &) = delete;
};

struct RefNumber {
    bool anyDigit;
    int value;
    bool saturated;  // the digits stood for a number outside 32 bits
};

// atoi's reading with saturation, by comparing the digit string against the
// decimal text of the limit instead of doing arithmetic that could overflow.
// isspace of the C locale is the blank set; the fuzzers never set a locale.
inline RefNumber RefReadNumber(const char *text) {
    RefNumber result = {false, 0, false};
    size_t i = 0;
    while (text[i] != '\0' && isspace(static_cast<unsigned char>(text[i]))) i++;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        i++;
    }
    std::string digits;
    while (text[i] >= '0' && text[i] <= '9') digits += text[i++];
    if (digits.empty()) return result;
    result.anyDigit = true;
    size_t firstNonZero = digits.find_first_not_of('0');
    digits = firstNonZero == std::string::npos ? "0" : digits.substr(firstNonZero);
    const std::string limit = negative ? "2147483648" : "2147483647";
    if (digits.size() > limit.size() || (digits.size() == limit.size() && digits > limit)) {
        result.saturated = true;
        result.value = negative ? INT_MIN : INT_MAX;
        return result;
    }
    long long magnitude = 0;
    for (char d : digits) magnitude = magnitude * 10 + (d - '0');
    result.value = static_cast<int>(negative ? -magnitude : magnitude);
    return result;
}

// A second, independent opinion: the C library's strtol, clamped to 32 bits.
// strtol itself saturates at the range of long, which lies beyond 32 bits,
// so clamping afterwards gives the same saturation.
inline RefNumber RefStrtolNumber(const char *text) {
    RefNumber result = {false, 0, false};
    char *end = nullptr;
    errno = 0;
    long wide = strtol(text, &end, 10);
    if (end == text) return result;
    result.anyDigit = true;
    if (wide > INT_MAX) {
        result.value = INT_MAX;
        result.saturated = true;
    } else if (wide < INT_MIN) {
        result.value = INT_MIN;
        result.saturated = true;
    } else {
        result.value = static_cast<int>(wide);
    }
    return result;
}

// Printable form of fuzz bytes for mismatch messages.
inline std::string Escaped(const std::string &bytes) {
    std::string out;
    char hex[8];
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += static_cast<char>(c);
        } else {
            snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

#endif
