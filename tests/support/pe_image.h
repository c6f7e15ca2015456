// A 64-bit PE image read from its file: the header fields, the sections and
// the import table, for the image checks and the size bench.
#ifndef GAMEHOST_PE_IMAGE_H
#define GAMEHOST_PE_IMAGE_H

#include <stdint.h>

#include <string>
#include <vector>

struct PeSection {
    std::string name;
    uint32_t fileBytes = 0;  // its raw data in the file
};

struct PeImport {
    std::string dll;                     // lower case
    std::vector<std::string> functions;  // by name; "#n" for an ordinal
};

struct PeImage {
    std::string bytes;  // the whole file
    uint16_t machine = 0;
    uint16_t magic = 0;
    uint16_t subsystem = 0;
    uint16_t dllCharacteristics = 0;
    std::vector<PeSection> sections;
    std::vector<PeImport> imports;
};

// False, with the reason, for a file that is not a well-formed PE32+ image
// (every offset is checked against the file's size).
bool ReadPeImage(const std::string &path, PeImage *image, std::string *error);

// The import of the DLL (lower case), or null.
const PeImport *FindImport(const PeImage &image, const std::string &dll);

// The raw bytes of the named section, 0 without one.
uint32_t SectionFileBytes(const PeImage &image, const std::string &name);

#endif
