/* The launcher's side of the handshake: the host's token in, the verdict
 * out. */
#ifndef LAUNCHER_HANDSHAKE_SERVER_H
#define LAUNCHER_HANDSHAKE_SERVER_H

#include <winsock2.h>
#include <windows.h>

/* Answers every connection on listener for the handshake window (30 s) or
 * until the host process ends: the acceptance word to the first request
 * that is exactly token, a refusal to every other.  Connections are read
 * side by side, each for at most 2 s from its accept; at most
 * FD_SETSIZE - 1 are open at once, and one more pushes the oldest out
 * with its verdict.  True when the token was accepted.  token is
 * kTokenLength hex digits. */
bool ServeHandshake(SOCKET listener, const char *token, HANDLE host);

#endif
