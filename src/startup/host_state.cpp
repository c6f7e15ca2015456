/* HostState's single instance and the helpers that locate files beside the
 * executable. */
#include "startup/host_state.h"

#include <string.h>

HostState hostState;
LaunchToken launchToken;

bool ModuleDirectory(char (&directory)[MAX_PATH]) {
    DWORD length = GetModuleFileNameA(nullptr, directory, MAX_PATH);
    /* A length of MAX_PATH means the name was cut to fit. */
    if (length == 0 || length >= MAX_PATH) {
        directory[0] = '\0';
        return false;
    }
    char *lastBackslash = strrchr(directory, '\\');
    if (lastBackslash != nullptr) lastBackslash[1] = '\0';
    return true;
}

bool JoinPath(const char *directory, const char *fileName, char (&path)[MAX_PATH]) {
    size_t used = strlen(directory);
    size_t needed = strlen(fileName);
    if (used + needed >= MAX_PATH) return false;
    memmove(path, directory, used);
    memcpy(path + used, fileName, needed + 1);
    return true;
}

bool PathBesideModule(const char *fileName, char (&path)[MAX_PATH]) {
    char directory[MAX_PATH];
    return ModuleDirectory(directory) && JoinPath(directory, fileName, path);
}
