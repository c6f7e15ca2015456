/* Saturating decimal conversion shared by the port word and settings lines. */
#include "startup/saturated_int.h"

#include <stdint.h>
#include <string.h>

/* The C locale's isspace set, spelled out so that no locale can widen it. */
static bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool ReadSaturatedIntWithin(const char *text, size_t length, int *value) {
    const char *p = text;
    const char *end = text + length;
    while (p < end && IsBlank(*p)) p++;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        p++;
    }
    /* Accumulate the magnitude in 64 bits and stop growing it once it is past
     * the range, so any number of digits is safe. */
    const int64_t limit = negative ? -(int64_t)INT32_MIN : (int64_t)INT32_MAX;
    int64_t magnitude = 0;
    bool anyDigit = false;
    for (; p < end && *p >= '0' && *p <= '9'; p++) {
        anyDigit = true;
        if (magnitude <= limit) magnitude = magnitude * 10 + (*p - '0');
    }
    if (magnitude > limit) magnitude = limit;
    *value = (int)(negative ? -magnitude : magnitude);
    return anyDigit;
}

bool ReadSaturatedInt(const char *text, int *value) {
    return ReadSaturatedIntWithin(text, strlen(text), value);
}
