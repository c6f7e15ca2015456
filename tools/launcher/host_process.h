/* Starting the host with the launch arguments, and waiting for its end. */
#ifndef LAUNCHER_HOST_PROCESS_H
#define LAUNCHER_HOST_PROCESS_H

#include <windows.h>

/* "GameHost.exe" in the launcher's own folder; false when it does not fit. */
bool DefaultHostPath(char (&path)[MAX_PATH]);

/* Starts hostPath with the command line "<full path>" <token> <port> and
 * the host's folder as its current directory. */
bool StartHost(const char *hostPath, const char *token, int port, PROCESS_INFORMATION *host);

/* Waits for the host to end and stores its exit code. */
bool WaitForHostExit(HANDLE host, DWORD *exitCode);

#endif
