/* Judgement of single settings lines ("width=900", "height=700"). */
#include "settings/settings_lines.h"

#include <string.h>

#include "startup/saturated_int.h"

bool ReadSettingsValue(const char *line, const char *key, int *value) {
    size_t keyLength = strlen(key);
    if (strncmp(line, key, keyLength) != 0 || line[keyLength] != '=') return false;
    int read = 0;
    if (!ReadSaturatedInt(line + keyLength + 1, &read)) return false;
    *value = read;
    return true;
}

void TakeSizeInUse(const char *line, WindowSize *size) {
    int value = 0;
    if (ReadSettingsValue(line, "width", &value)) {
        if (value >= kMinimumWidth) size->width = value;
    } else if (ReadSettingsValue(line, "height", &value)) {
        if (value >= kMinimumHeight) size->height = value;
    }
}

void TakeSizeToKeep(const char *line, WindowSize *size) {
    int value = 0;
    if (ReadSettingsValue(line, "width", &value)) {
        size->width = value;
    } else if (ReadSettingsValue(line, "height", &value)) {
        size->height = value;
    }
}
