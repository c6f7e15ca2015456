/* The launch arguments as text: where the arguments begin in the process's
 * command line, and how the token and port words are split out of them.  No
 * Windows calls: this builds natively for the fuzzers. */
#ifndef GAMEHOST_LAUNCH_WORDS_H
#define GAMEHOST_LAUNCH_WORDS_H

#include <stddef.h>

/* The longest command line the system hands a process is 32,767 characters
 * with its terminating NUL, so a token word read from it has at most 32,766
 * bytes: this buffer holds any token the host can receive, byte for byte. */
const size_t kLaunchTokenCapacity = 32 * 1024;

/* The token's bytes as they were on the command line; length 0 means none. */
struct LaunchToken {
    char bytes[kLaunchTokenCapacity];
    size_t length;
};

/* The command line past the program's own name and the blanks after it. */
const char *SkipProgramName(const char *commandLine);

/* Splits the arguments at spaces.  With two words or more, stores the first
 * as the token and the second, converted, as the port, and returns true;
 * with fewer, or with a first word longer than the token buffer (which no
 * real command line can hold), touches neither and returns false. */
bool SplitLaunchWords(const char *arguments, LaunchToken *token, int *port);

#endif
