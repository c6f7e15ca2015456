/* The names of the files in which each start writes its new settings before
 * they take the settings file's place: "<settings name>.<process id>.new",
 * one per process, so that starts at the same moment never write into each
 * other's file and a leftover names the start that made it.  No Windows
 * calls: this builds natively for the fuzzers. */
#ifndef GAMEHOST_NEW_FILE_NAMES_H
#define GAMEHOST_NEW_FILE_NAMES_H

#include <stddef.h>

/* The new file's path for settingsPath and processId (not 0) into out;
 * false when it does not fit in capacity bytes with its NUL. */
bool MakeNewFilePath(const char *settingsPath, unsigned long processId, char *out,
                     size_t capacity);

/* True when fileName (a name without folder) is a new file of
 * settingsName: the name, a dot, the process id in plain decimal (1 to
 * 4294967295, no sign, no leading zero) and ".new", letter case aside as
 * the file system has it.  The id goes to processId.  The single name
 * "<settings name>.new" of earlier versions counts too, with id 0: it
 * names no process. */
bool ReadNewFileName(const char *fileName, const char *settingsName, unsigned long *processId);

#endif
