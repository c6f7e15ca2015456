/* The lines of the settings file: which lines carry a width or a height, and
 * how each of the two passes over the file takes them.  No Windows calls:
 * this builds natively for the fuzzers. */
#ifndef GAMEHOST_SETTINGS_LINES_H
#define GAMEHOST_SETTINGS_LINES_H

struct WindowSize {
    int width;
    int height;
};

const int kMinimumWidth = 800;
const int kMinimumHeight = 600;

/* True when the line begins with exactly key followed by "=" and a number
 * follows (blanks and a sign may precede it; the rest is ignored). */
bool ReadSettingsValue(const char *line, const char *key, int *value);

/* First pass: the size the window uses; values under the minimums are
 * ignored. */
void TakeSizeInUse(const char *line, WindowSize *size);

/* Second pass: the size the file keeps; every value counts. */
void TakeSizeToKeep(const char *line, WindowSize *size);

#endif
