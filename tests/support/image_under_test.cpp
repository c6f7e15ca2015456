// The build under test, from the environment ctest gives the test program.
#include "image_under_test.h"

#include <windows.h>

#include <stdlib.h>

static std::string ProgramFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length < MAX_PATH ? length : 0);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string ImageKind() {
    const char *kind = getenv("GAMEHOST_IMAGE");
    return kind != nullptr && std::string(kind) == "msvc" ? "msvc" : "mingw";
}

std::string CasesFolderName() {
    return ImageKind() == "msvc" ? "cases-msvc" : "cases";
}

std::string ImageUnderTest(const std::string &exeName) {
    std::string subfolder = ImageKind() == "msvc" ? "msvc\\" : "";
    return ProgramFolder() + subfolder + exeName;
}
