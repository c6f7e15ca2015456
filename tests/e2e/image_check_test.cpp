// The shipped images (the host, the Launcher, the contract checker) as
// files: 64-bit, hardened (address-space randomisation with high-entropy
// addresses, no-execute data), needing only Windows system DLLs, free of any
// C++ runtime, the host reaching the network only through ws2_32 and the
// Launcher drawing its tokens from the system's generator.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

#include "image_under_test.h"
#include "pe_image.h"

namespace {

const uint16_t kHardened = IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA |
                           IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE |
                           IMAGE_DLLCHARACTERISTICS_NX_COMPAT;

// The C runtime DLL each build imports: MinGW's static runtime sits on
// msvcrt.dll and the clang (MSVC mode) build on ucrtbase.dll; a native MSVC
// build links its C runtime statically and imports none.
std::string CRuntimeDll() {
    if (ImageKind() == "msvc") return "ucrtbase.dll";
#if defined(_MSC_VER)
    return "";
#else
    return "msvcrt.dll";
#endif
}

PeImage Read(const std::string &exeName) {
    PeImage image;
    std::string error;
    EXPECT_TRUE(ReadPeImage(ImageUnderTest(exeName), &image, &error)) << exeName << ": " << error;
    return image;
}

std::string DllList(const PeImage &image) {
    std::string list;
    for (const PeImport &import : image.imports) list += " " + import.dll;
    return list;
}

// A 64-bit image of the subsystem, hardened, importing from the allowed
// DLLs only and from its build's C runtime.
void ExpectHardenedSystemImage(const std::string &exeName, uint16_t subsystem,
                               std::set<std::string> allowed) {
    SCOPED_TRACE(exeName + " (" + ImageKind() + ")");
    PeImage image = Read(exeName);
    EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, image.machine);
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR64_MAGIC, image.magic);
    EXPECT_EQ(subsystem, image.subsystem);
    EXPECT_EQ(kHardened, image.dllCharacteristics & kHardened)
        << std::hex << "DllCharacteristics 0x" << image.dllCharacteristics;
    if (!CRuntimeDll().empty()) allowed.insert(CRuntimeDll());
    for (const PeImport &import : image.imports)
        EXPECT_EQ(1u, allowed.count(import.dll))
            << import.dll << " is not a Windows system DLL of the allowed set";
    EXPECT_NE(nullptr, FindImport(image, "kernel32.dll")) << DllList(image);
    if (!CRuntimeDll().empty()) {
        EXPECT_NE(nullptr, FindImport(image, CRuntimeDll())) << DllList(image);
    }
}

TEST(PeImage, GuiX64HardenedSystemDllsOnly) {
    ExpectHardenedSystemImage("GameHost.exe", IMAGE_SUBSYSTEM_WINDOWS_GUI,
                              {"kernel32.dll", "user32.dll", "gdi32.dll", "ws2_32.dll",
                               "advapi32.dll"});
}

TEST(Hardening, LauncherRandomisedSystemDllsOnlyHostNetworksViaWs2Only) {
    ExpectHardenedSystemImage("launcher.exe", IMAGE_SUBSYSTEM_WINDOWS_CUI,
                              {"kernel32.dll", "user32.dll", "ws2_32.dll", "advapi32.dll",
                               "bcrypt.dll"});
    PeImage launcher = Read("launcher.exe");
    const PeImport *bcrypt = FindImport(launcher, "bcrypt.dll");
    ASSERT_NE(nullptr, bcrypt) << DllList(launcher);
    std::set<std::string> random(bcrypt->functions.begin(), bcrypt->functions.end());
    EXPECT_EQ(1u, random.count("BCryptGenRandom"));
    // The C runtime's generator is predictable: no token may come from it.
    if (const PeImport *runtime = CRuntimeDll().empty() ? nullptr : FindImport(launcher, CRuntimeDll())) {
        for (const std::string &function : runtime->functions)
            EXPECT_TRUE(function != "rand" && function != "srand") << "imports " << function;
    }

    PeImage host = Read("GameHost.exe");
    const std::set<std::string> networking = {
        "wininet.dll", "winhttp.dll", "urlmon.dll", "wsock32.dll", "mswsock.dll",
        "iphlpapi.dll", "dnsapi.dll", "winsock.dll", "webio.dll", "httpapi.dll",
        "netapi32.dll", "rpcrt4.dll", "crypt32.dll", "secur32.dll"};
    for (const PeImport &import : host.imports)
        EXPECT_EQ(0u, networking.count(import.dll)) << "GameHost.exe imports " << import.dll;
    const PeImport *sockets = FindImport(host, "ws2_32.dll");
    ASSERT_NE(nullptr, sockets) << DllList(host);
    // Name lookups would let the host reach a peer other than the loopback
    // address.
    const std::set<std::string> lookups = {"getaddrinfo", "GetAddrInfoW", "gethostbyname",
                                           "inet_addr", "WSAConnectByNameA", "WSAConnectByNameW"};
    for (const std::string &function : sockets->functions)
        EXPECT_EQ(0u, lookups.count(function)) << "GameHost.exe imports " << function;
}

TEST(PeImage, GamecheckConsoleX64HardenedSystemDllsOnly) {
    ExpectHardenedSystemImage("gamecheck.exe", IMAGE_SUBSYSTEM_WINDOWS_CUI,
                              {"kernel32.dll", "user32.dll", "gdi32.dll"});
}

// The C++ runtime announces itself in its texts: the verbose terminate
// handler, the library's names, the threads library under it.
TEST(PeImage, ShippedProgramsCarryNoCxxRuntime) {
    for (const char *exeName : {"GameHost.exe", "launcher.exe", "gamecheck.exe"}) {
        PeImage image = Read(exeName);
        for (const char *marker :
             {"terminate called", "__gnu_cxx", "std::", "basic_string", "pthread"})
            EXPECT_EQ(std::string::npos, image.bytes.find(marker))
                << exeName << " (" << ImageKind() << ") holds \"" << marker << "\"";
    }
}

}  // namespace
