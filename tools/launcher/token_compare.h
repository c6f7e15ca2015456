/* Comparison of a received request with the launch token. */
#ifndef LAUNCHER_TOKEN_COMPARE_H
#define LAUNCHER_TOKEN_COMPARE_H

#include <stddef.h>

/* True when the first receivedLength bytes of received are exactly the
 * expected token.  The time taken depends on the lengths only, never on
 * where the bytes differ.  received must hold capacity readable bytes; a
 * capacity below expectedLength never matches. */
bool TokensMatch(const char *received, size_t receivedLength, size_t capacity,
                 const char *expected, size_t expectedLength);

#endif
