/* New settings files left behind by starts that ended between their write
 * and their replace. */
#ifndef GAMEHOST_LEFTOVER_NEW_FILES_H
#define GAMEHOST_LEFTOVER_NEW_FILES_H

/* Deletes the new files of settingsPath (see new_file_names.h) whose
 * process no longer runs, and the one unnamed file of earlier versions.
 * The files of running processes, this one's own included, stay.  Silent,
 * like the rest of the settings. */
void SweepLeftoverNewFiles(const char *settingsPath);

#endif
