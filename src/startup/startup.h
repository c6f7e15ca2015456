/* The start-up sequence: launch arguments, handshake, settings, host window
 * and message loop. */
#ifndef GAMEHOST_STARTUP_H
#define GAMEHOST_STARTUP_H

#include <windows.h>

/* Fills launchToken and HostState.handshakePort from the
 * arguments; with fewer than two words both keep their initial values. */
void ParseLaunchArguments(const char *commandLine);

/* Runs the host from its command line to its exit code. */
int RunHost(HINSTANCE instance, const char *commandLine, int showCommand);

#endif
