/* Constant-time comparison of a request with the launch token, so that the
 * reply's timing tells a guesser nothing about how many leading bytes were
 * right. */
#include "token_compare.h"

bool TokensMatch(const char *received, size_t receivedLength, size_t capacity,
                 const char *expected, size_t expectedLength) {
    if (capacity < expectedLength) return false;
    /* A length mismatch is folded into the same accumulator instead of
     * returning early, and the loop always runs over the whole token: the
     * buffer is large enough to read past a short request. */
    size_t difference = receivedLength ^ expectedLength;
    for (size_t i = 0; i < expectedLength; i++)
        difference |= (unsigned char)(received[i] ^ expected[i]);
    return difference == 0;
}
