// Reading a PE32+ file's headers, sections and imports by hand, so that
// the image checks need nothing but the test program itself.
#include "pe_image.h"

#include <windows.h>

#include <string.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

struct Reader {
    const PeImage &image;
    std::vector<IMAGE_SECTION_HEADER> headers;

    template <typename T>
    bool At(size_t offset, T *value) const {
        if (offset > image.bytes.size() || image.bytes.size() - offset < sizeof(T)) return false;
        memcpy(value, image.bytes.data() + offset, sizeof(T));
        return true;
    }

    // The file offset of a relative virtual address; 0 when no section
    // holds it.
    size_t Offset(uint64_t rva) const {
        for (const IMAGE_SECTION_HEADER &section : headers) {
            uint64_t start = section.VirtualAddress;
            uint64_t size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
            if (rva >= start && rva < start + size) {
                uint64_t offset = section.PointerToRawData + (rva - start);
                return offset < image.bytes.size() ? (size_t)offset : 0;
            }
        }
        return 0;
    }

    bool Text(uint64_t rva, std::string *text) const {
        size_t at = Offset(rva);
        if (at == 0) return false;
        size_t length = strnlen(image.bytes.data() + at, image.bytes.size() - at);
        text->assign(image.bytes.data() + at, length);
        return true;
    }
};

std::string Lower(std::string text) {
    for (char &c : text) c = (char)tolower((unsigned char)c);
    return text;
}

bool ReadImports(const Reader &reader, const IMAGE_DATA_DIRECTORY &directory,
                 std::vector<PeImport> *imports, std::string *error) {
    if (directory.VirtualAddress == 0) return true;
    size_t at = reader.Offset(directory.VirtualAddress);
    if (at == 0) return *error = "the import directory is outside every section", false;
    for (;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        if (!reader.At(at, &descriptor)) return *error = "the import table runs off the file", false;
        if (descriptor.Name == 0) return true;
        PeImport import;
        if (!reader.Text(descriptor.Name, &import.dll)) return *error = "an import without a DLL name", false;
        import.dll = Lower(import.dll);
        DWORD thunks = descriptor.OriginalFirstThunk ? descriptor.OriginalFirstThunk : descriptor.FirstThunk;
        size_t thunk = reader.Offset(thunks);
        if (thunk == 0) return *error = import.dll + ": no name table", false;
        for (;; thunk += sizeof(uint64_t)) {
            uint64_t entry = 0;
            if (!reader.At(thunk, &entry)) return *error = import.dll + ": the name table runs off the file", false;
            if (entry == 0) break;
            if (entry & IMAGE_ORDINAL_FLAG64) {
                import.functions.push_back("#" + std::to_string(entry & 0xFFFF));
                continue;
            }
            std::string name;
            if (!reader.Text((entry & 0x7FFFFFFF) + 2, &name)) return *error = import.dll + ": a bad name", false;
            import.functions.push_back(name);
        }
        imports->push_back(import);
    }
}

}  // namespace

bool ReadPeImage(const std::string &path, PeImage *image, std::string *error) {
    *image = PeImage{};
    std::ifstream file(path, std::ios::binary);
    if (!file) return *error = "cannot read " + path, false;
    std::stringstream content;
    content << file.rdbuf();
    image->bytes = content.str();

    Reader reader{*image, {}};
    IMAGE_DOS_HEADER dos;
    if (!reader.At(0, &dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return *error = "no MZ header", false;
    IMAGE_NT_HEADERS64 nt;
    if (!reader.At(dos.e_lfanew, &nt) || nt.Signature != IMAGE_NT_SIGNATURE) return *error = "no PE header", false;
    image->machine = nt.FileHeader.Machine;
    image->magic = nt.OptionalHeader.Magic;
    if (image->magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) return *error = "not PE32+", false;
    image->subsystem = nt.OptionalHeader.Subsystem;
    image->dllCharacteristics = nt.OptionalHeader.DllCharacteristics;

    size_t sectionsAt = (size_t)dos.e_lfanew + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                        nt.FileHeader.SizeOfOptionalHeader;
    for (int i = 0; i < nt.FileHeader.NumberOfSections; i++) {
        IMAGE_SECTION_HEADER header;
        if (!reader.At(sectionsAt + i * sizeof header, &header)) return *error = "the section table runs off the file", false;
        reader.headers.push_back(header);
        PeSection section;
        section.name.assign((const char *)header.Name, strnlen((const char *)header.Name, 8));
        section.fileBytes = header.SizeOfRawData;
        image->sections.push_back(section);
    }
    if (nt.OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT) return true;
    return ReadImports(reader, nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT],
                       &image->imports, error);
}

const PeImport *FindImport(const PeImage &image, const std::string &dll) {
    for (const PeImport &import : image.imports)
        if (import.dll == dll) return &import;
    return nullptr;
}

uint32_t SectionFileBytes(const PeImage &image, const std::string &name) {
    uint32_t bytes = 0;
    for (const PeSection &section : image.sections)
        if (section.name == name) bytes += section.fileBytes;
    return bytes;
}
