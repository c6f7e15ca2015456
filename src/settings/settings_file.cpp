/* Reading and rewriting TRNW.conf.  The file is read twice, once for the
 * size the window may use and once for the values to keep; the new content
 * then goes to a file of this start's own beside it, which takes the old
 * file's place only once it is whole, so that no failed write leaves the
 * settings empty or cut, and no other start writing at the same moment
 * can write into it. */
#include "settings/settings_file.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdint.h>
#include <stdio.h>

#include "settings/leftover_new_files.h"
#include "settings/new_file_names.h"
#include "settings/settings_lines.h"
#include "startup/host_state.h"

/* The truncating open that used to rewrite the file was refused for a
 * read-only file, and on Windows also for a hidden or system one (an open
 * that creates or truncates must repeat those attributes).  A replace does
 * not ask, and root under Wine may write to any of them, so the attributes
 * are looked at on their own. */
static const DWORD kAttributesLeftAlone =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

/* With delete sharing, which fopen does not give: a start that has just
 * moved its new file into place still holds it open for deleting until
 * MoveFileExA returns, and in that moment a reader that does not share
 * deleting is refused, would take the defaults for the user's values and
 * then write them back.  Text mode as fopen's "r" has it. */
static FILE *OpenForReading(const char *path) {
    HANDLE handle = CreateFileA(path, GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    int descriptor = _open_osfhandle((intptr_t)handle, _O_RDONLY | _O_TEXT);
    if (descriptor == -1) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE *file = _fdopen(descriptor, "r");
    /* The descriptor owns the handle from here on. */
    if (file == nullptr) _close(descriptor);
    return file;
}

/* Text mode on both sides: CR LF on disk, LF or CR LF read alike, and a
 * Ctrl-Z ends the file as the runtime's text mode has it. */
static void ReadSettingsPass(const char *path, void (*take)(const char *, WindowSize *),
                             WindowSize *size) {
    FILE *file = OpenForReading(path);
    if (file == nullptr) return;
    char line[256];
    while (fgets(line, sizeof line, file) != nullptr) take(line, size);
    fclose(file);
}

/* A missing file is created.  A file someone holds open without write
 * sharing was never rewritten, and the replace would not notice that:
 * whether a rename over an open file is refused turns on the holder's
 * delete sharing and the file system's rename rules, not on its write
 * sharing. */
static bool MayReplaceSettings(const char *path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
    if ((attributes & kAttributesLeftAlone) != 0) return false;
    HANDLE probe = CreateFileA(path, GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return false;
    CloseHandle(probe);
    return true;
}

/* Every step is checked, the stream's error flag too: under Wine a write
 * cut short by a full disk or a size limit shows in ferror and fclose while
 * fflush still reports success.  _commit puts the data on the disk before
 * the name is switched over, so that a power cut cannot leave the settings
 * name on a file whose data never arrived. */
static bool WriteSettingsFile(const char *path, const WindowSize &kept) {
    FILE *file = fopen(path, "w");
    if (file == nullptr) return false;
    bool written = fprintf(file, "game_version=%s\n", hostState.gameVersion) >= 0;
    written = written && fprintf(file, "width=%d\n", kept.width) >= 0;
    written = written && fprintf(file, "height=%d\n", kept.height) >= 0;
    written = written && fflush(file) == 0 && ferror(file) == 0;
    written = written && _commit(_fileno(file)) == 0;
    bool closed = fclose(file) == 0;
    return written && closed;
}

/* The whole new file first, then the replace: until MoveFileExA succeeds
 * the old file has not been touched, and after it the new one is complete.
 * MOVEFILE_WRITE_THROUGH has the call return only once the replace itself
 * is on the disk.  On any failure the new file goes and the old one stays.
 * A replace refused because another start is reading the file (Wine
 * refuses it while the file is open at all, Windows while it is open
 * without delete sharing, as the runtime opens it) leaves that start's
 * settings, made from the same file, in place. */
static void WriteSettings(const char *path, const WindowSize &kept) {
    if (!MayReplaceSettings(path)) return;
    char newPath[MAX_PATH];
    if (!MakeNewFilePath(path, GetCurrentProcessId(), newPath, sizeof newPath)) return;
    if (WriteSettingsFile(newPath, kept) &&
        MoveFileExA(newPath, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return;
    }
    DeleteFileA(newPath);
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
    /* Also when this start could not replace the file: a leftover is no
     * less stale for that. */
    SweepLeftoverNewFiles(path);
}
