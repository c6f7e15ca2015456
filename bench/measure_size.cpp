// Size: the bytes of GameHost.exe against the 200 KiB target, and the DLLs
// it imports, read from its own import directory; the bare window program,
// built with the same flags, stands beside it.
#include "bench_support.h"

#include <stddef.h>
#include <string.h>

#include <algorithm>

#include "bench_measures.h"

// The file offset of a relative virtual address, through the section that
// holds it; 0 when none does.
static size_t FileOffset(const std::string &image, const IMAGE_SECTION_HEADER *sections, int count, DWORD rva) {
    for (int i = 0; i < count; i++) {
        DWORD start = sections[i].VirtualAddress;
        DWORD size = std::max(sections[i].Misc.VirtualSize, sections[i].SizeOfRawData);
        if (rva >= start && rva < start + size) {
            size_t offset = (size_t)sections[i].PointerToRawData + (rva - start);
            return offset < image.size() ? offset : 0;
        }
    }
    return 0;
}

struct ImageLayout {
    std::vector<std::string> dlls;  // from the import directory
    size_t codeBytes = 0;           // .text
    size_t resourceBytes = 0;       // .rsrc
    size_t otherBytes = 0;          // the rest of the file
};

// The import directory and the section sizes of a 64-bit image.
static bool ReadImageLayout(const std::string &image, ImageLayout *layout) {
    if (image.size() < sizeof(IMAGE_DOS_HEADER)) return false;
    IMAGE_DOS_HEADER dos;
    memcpy(&dos, image.data(), sizeof dos);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || (size_t)dos.e_lfanew + sizeof(IMAGE_NT_HEADERS64) > image.size())
        return false;
    IMAGE_NT_HEADERS64 nt;
    memcpy(&nt, image.data() + dos.e_lfanew, sizeof nt);
    if (nt.Signature != IMAGE_NT_SIGNATURE || nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) return false;
    size_t sectionsAt = (size_t)dos.e_lfanew + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                        nt.FileHeader.SizeOfOptionalHeader;
    int sectionCount = nt.FileHeader.NumberOfSections;
    if (sectionsAt + sectionCount * sizeof(IMAGE_SECTION_HEADER) > image.size()) return false;
    std::vector<IMAGE_SECTION_HEADER> sections(sectionCount);
    memcpy(sections.data(), image.data() + sectionsAt, sectionCount * sizeof(IMAGE_SECTION_HEADER));
    for (const IMAGE_SECTION_HEADER &section : sections) {
        if (strncmp((const char *)section.Name, ".text", 8) == 0) layout->codeBytes += section.SizeOfRawData;
        else if (strncmp((const char *)section.Name, ".rsrc", 8) == 0) layout->resourceBytes += section.SizeOfRawData;
    }
    layout->otherBytes = image.size() - layout->codeBytes - layout->resourceBytes;
    std::vector<std::string> *dlls = &layout->dlls;

    const IMAGE_DATA_DIRECTORY &directory = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    size_t at = FileOffset(image, sections.data(), sectionCount, directory.VirtualAddress);
    if (directory.VirtualAddress == 0 || at == 0) return true;  // imports nothing
    for (;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        if (at + sizeof(IMAGE_IMPORT_DESCRIPTOR) > image.size()) return false;
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        memcpy(&descriptor, image.data() + at, sizeof descriptor);
        if (descriptor.Name == 0) return true;
        size_t name = FileOffset(image, sections.data(), sectionCount, descriptor.Name);
        if (name == 0) return false;
        dlls->push_back(std::string(image.c_str() + name, strnlen(image.c_str() + name, image.size() - name)));
    }
}

static std::string Joined(const std::vector<std::string> &names) {
    std::string joined;
    for (const std::string &name : names) joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

bool MeasureSize(BenchResults *results) {
    Progress("size: GameHost.exe and its imports");
    std::string host, bare;
    ImageLayout hostLayout, bareLayout;
    if (!ReadText(BinDirectory() + "GameHost.exe", &host) || !ReadText(BinDirectory() + "bench_bare_window.exe", &bare) ||
        !ReadImageLayout(host, &hostLayout) || !ReadImageLayout(bare, &bareLayout)) {
        results->rows.push_back({"6", "Size of GameHost.exe", "unreadable", "", "", "<= 200 KiB", "not measured"});
        return false;
    }
    const double target = 200.0 * 1024.0;
    results->rows.push_back({"6", "Size of GameHost.exe",
                             Format("%zu bytes (%.1f KiB)", host.size(), host.size() / 1024.0),
                             Format("bare window: %zu bytes (%.1f KiB)", bare.size(), bare.size() / 1024.0),
                             Format("%.2f of target", host.size() / target), "<= 200 KiB",
                             Verdict(host.size() <= target)});
    results->rows.push_back({"6", "Size of GameHost.exe by part",
                             Format("code %.1f KiB, resources %.1f KiB, the rest %.1f KiB",
                                    hostLayout.codeBytes / 1024.0, hostLayout.resourceBytes / 1024.0,
                                    hostLayout.otherBytes / 1024.0),
                             Format("bare window: code %.1f KiB, resources %.1f KiB, the rest %.1f KiB",
                                    bareLayout.codeBytes / 1024.0, bareLayout.resourceBytes / 1024.0,
                                    bareLayout.otherBytes / 1024.0),
                             Format("without resources %.2f of target",
                                    (host.size() - hostLayout.resourceBytes) / target),
                             "-", "info"});
    bool systemOnly = true;
    const std::vector<std::string> &hostDlls = hostLayout.dlls;
    for (const std::string &dll : hostDlls) {
        // The static runtime leaves only system DLLs; a runtime DLL here
        // would have to be shipped beside the host.
        if (_strnicmp(dll.c_str(), "libstdc++", 9) == 0 || _strnicmp(dll.c_str(), "libgcc", 6) == 0 ||
            _strnicmp(dll.c_str(), "libwinpthread", 13) == 0)
            systemOnly = false;
    }
    results->rows.push_back({"6", Format("Imports of GameHost.exe (%zu DLLs)", hostDlls.size()), Joined(hostDlls),
                             "bare window: " + Joined(bareLayout.dlls), "-", "system DLLs only", Verdict(systemOnly)});
    return true;
}
