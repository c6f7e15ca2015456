/* The launch token: a fresh secret for one start of the host. */
#ifndef LAUNCHER_LAUNCH_TOKEN_H
#define LAUNCHER_LAUNCH_TOKEN_H

const int kTokenBytes = 16;
const int kTokenLength = 2 * kTokenBytes; /* in hex digits */

/* Fills token with 128 bits from the system's random generator as 32
 * lower-case hex digits and a terminating NUL.  False when the generator
 * fails; the token is then empty. */
bool MakeLaunchToken(char (&token)[kTokenLength + 1]);

#endif
