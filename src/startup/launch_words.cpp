/* Command-line splitting for the launch token and the handshake port. */
#include "startup/launch_words.h"

#include <string.h>

#include "startup/saturated_int.h"

const char *SkipProgramName(const char *commandLine) {
    /* Compare as unsigned: bytes of 0x80 and above are name characters, not
     * blanks, although a plain char holds them as negative. */
    const unsigned char *p = (const unsigned char *)commandLine;
    bool quoted = false;
    while (*p > 0x20 || (*p != 0 && quoted)) {
        if (*p == '"') quoted = !quoted;
        p++;
    }
    while (*p != 0 && *p <= 0x20) p++;
    return (const char *)p;
}

/* The next space-separated word at or after *cursor, as its start and
 * length; a length of 0 at the end. */
static const char *NextWord(const char **cursor, size_t *length) {
    const char *p = *cursor;
    while (*p == ' ') p++;
    const char *start = p;
    while (*p != '\0' && *p != ' ') p++;
    *cursor = p;
    *length = (size_t)(p - start);
    return start;
}

bool SplitLaunchWords(const char *arguments, LaunchToken *token, int *port) {
    const char *cursor = arguments;
    size_t firstLength = 0;
    size_t secondLength = 0;
    const char *first = NextWord(&cursor, &firstLength);
    const char *second = NextWord(&cursor, &secondLength);
    if (secondLength == 0 || firstLength > kLaunchTokenCapacity) return false;
    memcpy(token->bytes, first, firstLength);
    token->length = firstLength;
    ReadSaturatedIntWithin(second, secondLength, port);
    return true;
}
