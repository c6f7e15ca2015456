/* The reference Launcher: makes a launch token, listens on the loopback
 * address, starts the host with the token and the port, answers its
 * handshake and ends with the host's exit code.
 *   usage: launcher.exe [path of GameHost.exe]
 * Its own exit codes, used only when the host's is unknown:
 *   2  the host was not started (bad arguments or the start failed)
 *   3  the handshake could not be prepared (random generator or socket)
 *   4  the host was started but its end could not be awaited */
#include <winsock2.h>
#include <windows.h>

#include <string.h>

#include "handshake_server.h"
#include "host_process.h"
#include "launch_token.h"
#include "listener.h"
#include "progress.h"

static const int kExitHostNotStarted = 2;
static const int kExitNoHandshake = 3;
static const int kExitHostLost = 4;

static bool ChooseHostPath(int argc, char **argv, char (&path)[MAX_PATH]) {
    if (argc > 2) {
        Complain("usage: launcher.exe [path of GameHost.exe]");
        return false;
    }
    if (argc == 2) {
        size_t length = strlen(argv[1]);
        if (length == 0 || length >= MAX_PATH) {
            Complain("cannot start the host: bad path \"%s\"", argv[1]);
            return false;
        }
        memcpy(path, argv[1], length + 1);
        return true;
    }
    if (DefaultHostPath(path)) return true;
    Complain("cannot start the host: the launcher's own path is too long");
    return false;
}

/* The token, Windows Sockets and the listener, ready before the host is
 * started so that its connection finds the port open. */
static bool PrepareHandshake(char (&token)[kTokenLength + 1], SOCKET *listener, int *port) {
    if (!MakeLaunchToken(token)) {
        Complain("the system's random generator failed");
        return false;
    }
    WSADATA wsaData;
    if (WSAStartup(MAKEWORD(2, 2), &wsaData) != 0) {
        Complain("Windows Sockets did not start");
        return false;
    }
    if (!OpenLoopbackListener(listener, port)) {
        Complain("cannot listen on 127.0.0.1 (error %d)", WSAGetLastError());
        WSACleanup();
        return false;
    }
    Progress("launch token %.4s... (%d hex digits)", token, kTokenLength);
    Progress("listening on 127.0.0.1:%d", *port);
    return true;
}

static int AwaitHostEnd(PROCESS_INFORMATION *host) {
    DWORD exitCode = 0;
    bool ended = WaitForHostExit(host->hProcess, &exitCode);
    CloseHandle(host->hThread);
    CloseHandle(host->hProcess);
    if (!ended) {
        Complain("lost track of the host (error %lu)", GetLastError());
        return kExitHostLost;
    }
    Progress("host exited with code %lu", exitCode);
    return (int)exitCode;
}

int main(int argc, char **argv) {
    char hostPath[MAX_PATH];
    if (!ChooseHostPath(argc, argv, hostPath)) return kExitHostNotStarted;
    char token[kTokenLength + 1];
    SOCKET listener = INVALID_SOCKET;
    int port = 0;
    if (!PrepareHandshake(token, &listener, &port)) return kExitNoHandshake;
    PROCESS_INFORMATION host = {};
    if (!StartHost(hostPath, token, port, &host)) {
        closesocket(listener);
        WSACleanup();
        return kExitHostNotStarted;
    }
    ServeHandshake(listener, token, host.hProcess);
    closesocket(listener);
    WSACleanup();
    SecureZeroMemory(token, sizeof token);
    return AwaitHostEnd(&host);
}
