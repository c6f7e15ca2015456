/* Sweeping the new settings files of starts that no longer run.  A start
 * that dies between its write and its replace (killed, or the power gone)
 * leaves its file; only the process that made a file ever writes or
 * replaces it, so once that process is gone nobody else will. */
#include "settings/leftover_new_files.h"

#include <windows.h>

#include <string.h>

#include "settings/new_file_names.h"

/* Only a process id that names no process at all lets a file go.  A
 * process of another user, or one the system will not open for any other
 * reason, may still be a host at work on its file.  An id reused by an
 * unrelated process keeps the file until that one ends too. */
static bool ProcessIsGone(DWORD processId) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;
    bool gone = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return gone;
}

static bool IsLeftover(const char *fileName, const char *settingsName) {
    unsigned long processId = 0;
    if (!ReadNewFileName(fileName, settingsName, &processId)) return false;
    if (processId == 0) return true;
    if (processId == GetCurrentProcessId()) return false;
    return ProcessIsGone((DWORD)processId);
}

void SweepLeftoverNewFiles(const char *settingsPath) {
    const char *lastBackslash = strrchr(settingsPath, '\\');
    const char *settingsName = lastBackslash != nullptr ? lastBackslash + 1 : settingsPath;
    size_t folderLength = (size_t)(settingsName - settingsPath);
    char pattern[MAX_PATH];
    /* The wildcard only narrows the listing; each name is read in full. */
    if (strlen(settingsPath) + sizeof ".*" > MAX_PATH) return;
    memcpy(pattern, settingsPath, strlen(settingsPath));
    memcpy(pattern + strlen(settingsPath), ".*", sizeof ".*");

    WIN32_FIND_DATAA found;
    HANDLE listing = FindFirstFileA(pattern, &found);
    if (listing == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        if (!IsLeftover(found.cFileName, settingsName)) continue;
        char leftover[MAX_PATH];
        size_t nameLength = strlen(found.cFileName);
        if (folderLength + nameLength + 1 > MAX_PATH) continue;
        memcpy(leftover, settingsPath, folderLength);
        memcpy(leftover + folderLength, found.cFileName, nameLength + 1);
        DeleteFileA(leftover);
    } while (FindNextFileA(listing, &found));
    FindClose(listing);
}
