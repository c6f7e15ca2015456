/* Decimal text to a signed 32-bit integer the way atoi reads it (leading
 * white space, optional sign, digits up to the first non-digit), except that
 * a value beyond the range saturates instead of being undefined.  No Windows
 * calls: this builds natively for the fuzzers. */
#ifndef GAMEHOST_SATURATED_INT_H
#define GAMEHOST_SATURATED_INT_H

#include <stddef.h>

/* Stores the value (0 when there are no digits) and returns whether at
 * least one digit was read. */
bool ReadSaturatedInt(const char *text, int *value);

/* The same for the first length bytes of text, which need not end there. */
bool ReadSaturatedIntWithin(const char *text, size_t length, int *value);

#endif
