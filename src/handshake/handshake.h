/* The launcher handshake: the token out to the Launcher on the loopback
 * address, one reply back. */
#ifndef GAMEHOST_HANDSHAKE_H
#define GAMEHOST_HANDSHAKE_H

#include <stddef.h>

/* True only when the Launcher answered with the acceptance word.  Every
 * false result has shown its box by the time the call returns. */
bool VerifyLauncherToken(const char *token, size_t tokenLength, int port);

#endif
