/* Starts the host process and collects its exit code. */
#include "host_process.h"

#include <stdio.h>
#include <string.h>

#include "progress.h"

static const char kHostFileName[] = "GameHost.exe";

bool DefaultHostPath(char (&path)[MAX_PATH]) {
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    /* A length of MAX_PATH means the name was cut to fit. */
    if (length == 0 || length >= MAX_PATH) return false;
    char *lastBackslash = strrchr(path, '\\');
    char *fileName = lastBackslash != nullptr ? lastBackslash + 1 : path;
    size_t room = (size_t)(path + MAX_PATH - fileName);
    if (sizeof kHostFileName > room) return false;
    memcpy(fileName, kHostFileName, sizeof kHostFileName);
    return true;
}

/* The full path of the host and its folder with the trailing backslash;
 * relative paths and forward slashes come out as Windows full paths. */
static bool HostLocation(const char *hostPath, char (&fullPath)[MAX_PATH],
                         char (&folder)[MAX_PATH]) {
    char *fileName = nullptr;
    DWORD length = GetFullPathNameA(hostPath, MAX_PATH, fullPath, &fileName);
    if (length == 0 || length >= MAX_PATH || fileName == nullptr) return false;
    memcpy(folder, fullPath, MAX_PATH);
    folder[fileName - fullPath] = '\0';
    return true;
}

bool StartHost(const char *hostPath, const char *token, int port, PROCESS_INFORMATION *host) {
    char fullPath[MAX_PATH];
    char folder[MAX_PATH];
    if (!HostLocation(hostPath, fullPath, folder)) {
        Complain("cannot start the host: bad path \"%s\"", hostPath);
        return false;
    }
    /* The host splits its arguments at spaces only and ignores quotes, so
     * only the program's name is quoted. */
    char commandLine[MAX_PATH + 64];
    snprintf(commandLine, sizeof commandLine, "\"%s\" %s %d", fullPath, token, port);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    /* No handles are inherited: the listening socket must stay the
     * launcher's alone. */
    if (!CreateProcessA(fullPath, commandLine, nullptr, nullptr, FALSE, 0, nullptr, folder,
                        &startup, host)) {
        Complain("cannot start the host \"%s\" (error %lu)", fullPath, GetLastError());
        SecureZeroMemory(commandLine, sizeof commandLine);
        return false;
    }
    SecureZeroMemory(commandLine, sizeof commandLine);
    Progress("started %s (process %lu)", fullPath, host->dwProcessId);
    return true;
}

bool WaitForHostExit(HANDLE host, DWORD *exitCode) {
    if (WaitForSingleObject(host, INFINITE) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(host, exitCode) != 0;
}
