/* Making and reading the names of the new settings files. */
#include "settings/new_file_names.h"

#include <stdio.h>
#include <string.h>

static const char kNewSuffix[] = ".new";

bool MakeNewFilePath(const char *settingsPath, unsigned long processId, char *out,
                     size_t capacity) {
    if (processId == 0 || capacity == 0) return false;
    int length = snprintf(out, capacity, "%s.%lu%s", settingsPath, processId, kNewSuffix);
    return length > 0 && (size_t)length < capacity;
}

static char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

/* The file system compares names without letter case, in ASCII for these;
 * the runtime's own case-blind compare would follow the locale. */
static bool SameAsciiIgnoringCase(const char *a, const char *b, size_t length) {
    for (size_t i = 0; i < length; i++)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

bool ReadNewFileName(const char *fileName, const char *settingsName, unsigned long *processId) {
    size_t nameLength = strlen(settingsName);
    size_t suffixLength = sizeof kNewSuffix - 1;
    size_t length = strlen(fileName);
    if (length < nameLength + suffixLength) return false;
    if (!SameAsciiIgnoringCase(fileName, settingsName, nameLength)) return false;
    const char *suffix = fileName + length - suffixLength;
    if (!SameAsciiIgnoringCase(suffix, kNewSuffix, suffixLength)) return false;
    const char *rest = fileName + nameLength;
    if (rest == suffix) {
        *processId = 0;
        return true;
    }
    if (*rest != '.') return false;
    const char *digits = rest + 1;
    size_t count = (size_t)(suffix - digits);
    /* Ten digits hold every 32-bit value. */
    if (count == 0 || count > 10 || digits[0] == '0') return false;
    unsigned long long value = 0;
    for (size_t i = 0; i < count; i++) {
        if (digits[i] < '0' || digits[i] > '9') return false;
        value = value * 10 + (unsigned long long)(digits[i] - '0');
    }
    if (value > 0xFFFFFFFFull) return false;
    *processId = (unsigned long)value;
    return true;
}
