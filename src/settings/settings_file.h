/* The settings file beside the executable: the window size in use and the
 * size the file keeps. */
#ifndef GAMEHOST_SETTINGS_FILE_H
#define GAMEHOST_SETTINGS_FILE_H

/* Sets HostState.windowWidth and windowHeight from the file and rewrites it:
 * the file is replaced whole or left as it was, never left cut.  Silent: no
 * failure here reaches the user or the exit code. */
void LoadWindowSettings();

#endif
