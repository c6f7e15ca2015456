/* The launcher's side of the handshake: the host's token in, the verdict
 * out. */
#ifndef LAUNCHER_HANDSHAKE_SERVER_H
#define LAUNCHER_HANDSHAKE_SERVER_H

#include <winsock2.h>
#include <windows.h>

/* Answers every connection on listener for the handshake window (30 s) or
 * until the host process ends: the acceptance word to the first request
 * that is exactly token, a refusal to every other.  True when the token
 * was accepted.  token is kTokenLength hex digits. */
bool ServeHandshake(SOCKET listener, const char *token, HANDLE host);

#endif
