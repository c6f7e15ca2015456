/* The launch arguments as text: where the arguments begin in the process's
 * command line, and how the token and port words are split out of them.  No
 * Windows calls: this builds natively for the fuzzers. */
#ifndef GAMEHOST_LAUNCH_WORDS_H
#define GAMEHOST_LAUNCH_WORDS_H

#include <string>

/* The command line past the program's own name and the blanks after it. */
const char *SkipProgramName(const char *commandLine);

/* Splits the arguments at spaces.  With two words or more, stores the first
 * as the token and the second, converted, as the port, and returns true;
 * with fewer, touches neither and returns false. */
bool SplitLaunchWords(const char *arguments, std::string *token, int *port);

#endif
