/* Command-line splitting for the launch token and the handshake port. */
#include "startup/launch_words.h"

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

/* The next space-separated word at or after *cursor; empty at the end. */
static std::string NextWord(const char **cursor) {
    const char *p = *cursor;
    while (*p == ' ') p++;
    const char *start = p;
    while (*p != '\0' && *p != ' ') p++;
    *cursor = p;
    return std::string(start, p);
}

bool SplitLaunchWords(const char *arguments, std::string *token, int *port) {
    const char *cursor = arguments;
    std::string first = NextWord(&cursor);
    std::string second = NextWord(&cursor);
    if (second.empty()) return false;
    *token = first;
    ReadSaturatedInt(second.c_str(), port);
    return true;
}
