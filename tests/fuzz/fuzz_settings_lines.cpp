// Fuzzes the settings-line rules over a whole settings file: the fuzz input
// is the file, cut into lines the way a 256-byte fgets buffer cuts it, and
// both passes of the start-up are replayed against a reference and against
// the C library's sscanf with the same formats.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "fuzz_reference.h"
#include "settings/settings_lines.h"

static const int kDefaultWidth = 1080;
static const int kDefaultHeight = 820;
static const size_t kLineBufferSize = 256;

// The host reads in text mode: CR LF arrives as LF, a lone CR stays, and
// Ctrl-Z ends the file.  The raw bytes are fuzzed too, for a runtime that
// does none of this.
static std::string AsTextMode(const std::string &file) {
    std::string text;
    for (size_t i = 0; i < file.size(); i++) {
        if (file[i] == '\x1a') break;
        if (file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n') continue;
        text += file[i];
    }
    return text;
}

// fgets with a 256-byte buffer: at most 255 bytes a read, and a read ends
// after a LF.  A NUL inside a piece is kept; the line, as a C string, ends
// there.
static std::vector<std::string> FgetsPieces(const std::string &text) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < text.size()) {
        size_t length = 0;
        while (start + length < text.size() && length < kLineBufferSize - 1) {
            length++;
            if (text[start + length - 1] == '\n') break;
        }
        pieces.push_back(text.substr(start, length));
        start += length;
    }
    return pieces;
}

static RefNumber RefSettingsValue(const char *line, const std::string &key) {
    const std::string prefix = key + "=";
    if (strncmp(line, prefix.c_str(), prefix.size()) != 0) return RefNumber{false, 0, false};
    return RefReadNumber(line + prefix.size());
}

static void CheckKey(const char *line, const char *key, const char *format) {
    int value = 0x5a5a5a5a;
    bool found = ReadSettingsValue(line, key, &value);
    RefNumber expected = RefSettingsValue(line, key);
    const std::string shown = Escaped(line);
    FUZZ_CHECK(found == expected.anyDigit, "\"%s\" as %s: found %d, expected %d",
               shown.c_str(), key, found, expected.anyDigit);
    if (found) {
        FUZZ_CHECK(value == expected.value, "\"%s\" as %s: value %d, expected %d",
                   shown.c_str(), key, value, expected.value);
    }

    // sscanf agrees on which lines match; on the value only inside 32 bits,
    // since beyond them its result is undefined.
    int scanned = 0;
    bool scannedOne = sscanf(line, format, &scanned) == 1;
    FUZZ_CHECK(scannedOne == found, "\"%s\": sscanf(\"%s\") matched %d, product %d",
               shown.c_str(), format, scannedOne, found);
    if (found && !expected.saturated) {
        FUZZ_CHECK(scanned == value, "\"%s\": sscanf(\"%s\") gave %d, product %d",
                   shown.c_str(), format, scanned, value);
    }
}

static void RefTake(const char *line, WindowSize *size, bool withMinimums) {
    RefNumber width = RefSettingsValue(line, "width");
    if (width.anyDigit) {
        if (!withMinimums || width.value >= 800) size->width = width.value;
        return;
    }
    RefNumber height = RefSettingsValue(line, "height");
    if (height.anyDigit && (!withMinimums || height.value >= 600)) size->height = height.value;
}

// Both passes of the start-up over one file's lines, product and reference
// side by side, compared after every line.
static void CheckFile(const std::vector<std::string> &pieces) {
    std::vector<char *> lines;
    for (const std::string &piece : pieces) {
        // Exactly the piece and its terminator, so ASan sees any read past it.
        char *line = static_cast<char *>(malloc(piece.size() + 1));
        memcpy(line, piece.data(), piece.size());
        line[piece.size()] = '\0';
        lines.push_back(line);
        CheckKey(line, "width", "width=%d");
        CheckKey(line, "height", "height=%d");
    }

    WindowSize inUse = {kDefaultWidth, kDefaultHeight};
    WindowSize refInUse = inUse;
    for (char *line : lines) {
        TakeSizeInUse(line, &inUse);
        RefTake(line, &refInUse, true);
        FUZZ_CHECK(inUse.width == refInUse.width && inUse.height == refInUse.height,
                   "in use after \"%s\": %dx%d, expected %dx%d", Escaped(line).c_str(),
                   inUse.width, inUse.height, refInUse.width, refInUse.height);
    }
    FUZZ_CHECK(inUse.width >= kMinimumWidth && inUse.height >= kMinimumHeight,
               "size in use %dx%d under the minimums", inUse.width, inUse.height);

    WindowSize kept = inUse;
    WindowSize refKept = inUse;
    for (char *line : lines) {
        TakeSizeToKeep(line, &kept);
        RefTake(line, &refKept, false);
        FUZZ_CHECK(kept.width == refKept.width && kept.height == refKept.height,
                   "kept after \"%s\": %dx%d, expected %dx%d", Escaped(line).c_str(),
                   kept.width, kept.height, refKept.width, refKept.height);
    }
    for (char *line : lines) free(line);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string file(reinterpret_cast<const char *>(data), size);
    CheckFile(FgetsPieces(AsTextMode(file)));
    CheckFile(FgetsPieces(file));
    return 0;
}
