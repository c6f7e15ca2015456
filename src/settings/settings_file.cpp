/* Reading and rewriting TRNW.conf.  The file is read twice, once for the
 * size the window may use and once for the values to keep, then written back
 * with the version line. */
#include "settings/settings_file.h"

#include <stdio.h>

#include "settings/settings_lines.h"
#include "startup/host_state.h"

/* Text mode on both sides: CR LF on disk, LF or CR LF read alike, and a
 * Ctrl-Z ends the file as the runtime's text mode has it. */
static void ReadSettingsPass(const char *path, void (*take)(const char *, WindowSize *),
                             WindowSize *size) {
    FILE *file = fopen(path, "r");
    if (file == nullptr) return;
    char line[256];
    while (fgets(line, sizeof line, file) != nullptr) take(line, size);
    fclose(file);
}

static void WriteSettings(const char *path, const WindowSize &kept) {
    FILE *file = fopen(path, "w");
    if (file == nullptr) return;
    fprintf(file, "game_version=%s\n", hostState.gameVersion);
    fprintf(file, "width=%d\n", kept.width);
    fprintf(file, "height=%d\n", kept.height);
    fclose(file);
}

void LoadWindowSettings() {
    char path[MAX_PATH];
    if (!PathBesideModule(hostState.settingsFileName, path)) return;

    WindowSize inUse = {hostState.windowWidth, hostState.windowHeight};
    ReadSettingsPass(path, TakeSizeInUse, &inUse);
    hostState.windowWidth = inUse.width;
    hostState.windowHeight = inUse.height;

    WindowSize kept = inUse;
    ReadSettingsPass(path, TakeSizeToKeep, &kept);
    WriteSettings(path, kept);
}
