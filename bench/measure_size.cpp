// Size: the bytes of both builds of GameHost.exe (MinGW over msvcrt.dll,
// clang in MSVC mode over ucrtbase.dll) against the 180 KiB target, each by
// part, and the DLLs each imports, read from the files themselves; the bare
// window program, built with the MinGW flags, stands beside them.
#include "bench_support.h"

#include <string.h>

#include "bench_measures.h"
#include "pe_image.h"

static const double kTargetBytes = 180.0 * 1024.0;

static std::string Joined(const PeImage &image) {
    std::string joined;
    for (const PeImport &import : image.imports) joined += (joined.empty() ? "" : ", ") + import.dll;
    return joined;
}

static std::string Parts(const PeImage &image) {
    uint32_t code = SectionFileBytes(image, ".text");
    uint32_t resources = SectionFileBytes(image, ".rsrc");
    return Format("code %.1f KiB, resources %.1f KiB, the rest %.1f KiB", code / 1024.0,
                  resources / 1024.0, (image.bytes.size() - code - resources) / 1024.0);
}

// The static runtime leaves only system DLLs; a runtime DLL here would have
// to be shipped beside the host.
static bool SystemDllsOnly(const PeImage &image) {
    for (const PeImport &import : image.imports) {
        const char *dll = import.dll.c_str();
        if (strncmp(dll, "libstdc++", 9) == 0 || strncmp(dll, "libgcc", 6) == 0 ||
            strncmp(dll, "libwinpthread", 13) == 0 || strncmp(dll, "vcruntime", 9) == 0 ||
            strncmp(dll, "msvcp", 5) == 0 || strncmp(dll, "api-ms-win-crt", 14) == 0)
            return false;
    }
    return true;
}

static void AddImageRows(const char *build, const PeImage &host, const PeImage &bare,
                         BenchResults *results) {
    size_t bytes = host.bytes.size();
    uint32_t resources = SectionFileBytes(host, ".rsrc");
    results->rows.push_back({"6", Format("Size of GameHost.exe (%s)", build),
                             Format("%zu bytes (%.1f KiB)", bytes, bytes / 1024.0),
                             Format("bare window: %zu bytes (%.1f KiB)", bare.bytes.size(),
                                    bare.bytes.size() / 1024.0),
                             Format("%.2f of target", bytes / kTargetBytes), "<= 180 KiB",
                             Verdict(bytes <= kTargetBytes)});
    results->rows.push_back({"6", Format("Size of GameHost.exe (%s) by part", build), Parts(host),
                             "bare window: " + Parts(bare),
                             Format("without resources %.2f of target",
                                    (bytes - resources) / kTargetBytes),
                             "-", "info"});
    results->rows.push_back({"6", Format("Imports of GameHost.exe (%s, %zu DLLs)", build, host.imports.size()),
                             Joined(host), "bare window: " + Joined(bare), "-", "system DLLs only",
                             Verdict(SystemDllsOnly(host))});
}

bool MeasureSize(BenchResults *results) {
    Progress("size: both builds of GameHost.exe and their imports");
    PeImage bare;
    std::string error;
    if (!ReadPeImage(BinDirectory() + "bench_bare_window.exe", &bare, &error)) {
        results->rows.push_back({"6", "Size of GameHost.exe", "bare window unreadable: " + error, "", "",
                                 "<= 180 KiB", "not measured"});
        return false;
    }
    struct Build {
        const char *name;
        const char *path;
    } builds[] = {{"MinGW, msvcrt.dll", "GameHost.exe"},
                  {"clang MSVC mode, ucrtbase.dll", "msvc\\GameHost.exe"}};
    bool measured = true;
    for (const Build &build : builds) {
        PeImage host;
        if (!ReadPeImage(BinDirectory() + build.path, &host, &error)) {
            results->rows.push_back({"6", Format("Size of GameHost.exe (%s)", build.name),
                                     "unreadable: " + error, "", "", "<= 180 KiB", "not measured"});
            measured = false;
            continue;
        }
        AddImageRows(build.name, host, bare, results);
    }
    return measured;
}
