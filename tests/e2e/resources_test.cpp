// What GameHost.exe carries as resources: its icon group, its manifest and
// nothing else, read from the built image as the system's loader reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "image_under_test.h"
#include "test_support.h"

namespace {

#pragma pack(push, 2)
struct IconGroupHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
struct IconGroupEntry {
    BYTE width;  // 0 stands for 256
    BYTE height;
    BYTE colourCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInResource;
    WORD id;
};
#pragma pack(pop)

struct HostImage {
    HMODULE module = nullptr;
    HostImage() {
        module = LoadLibraryExA(ImageUnderTest("GameHost.exe").c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    ~HostImage() {
        if (module != nullptr) FreeLibrary(module);
    }
};

bool ResourceBytes(HMODULE module, LPCSTR name, LPCSTR type, std::string *bytes) {
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) return false;
    HGLOBAL loaded = LoadResource(module, found);
    const char *data = loaded ? (const char *)LockResource(loaded) : nullptr;
    if (data == nullptr) return false;
    bytes->assign(data, SizeofResource(module, found));
    return true;
}

int Side(BYTE stored) { return stored == 0 ? 256 : stored; }

DWORD BigEndian32(const std::string &bytes, size_t at) {
    return (DWORD)(unsigned char)bytes[at] << 24 | (DWORD)(unsigned char)bytes[at + 1] << 16 |
           (DWORD)(unsigned char)bytes[at + 2] << 8 | (DWORD)(unsigned char)bytes[at + 3];
}

TEST(Resources, IconGroup101HoldsSixSquare32BitImages) {
    HostImage image;
    ASSERT_NE(nullptr, image.module);
    std::string group;
    ASSERT_TRUE(ResourceBytes(image.module, MAKEINTRESOURCEA(101), RT_GROUP_ICON, &group))
        << "no icon group 101";
    ASSERT_GE(group.size(), sizeof(IconGroupHeader));
    IconGroupHeader header;
    memcpy(&header, group.data(), sizeof header);
    EXPECT_EQ(0, header.reserved);
    EXPECT_EQ(1, header.type);
    ASSERT_EQ(6, header.count);
    ASSERT_EQ(sizeof header + 6 * sizeof(IconGroupEntry), group.size());

    std::multiset<int> sides;
    for (int i = 0; i < header.count; i++) {
        IconGroupEntry entry;
        memcpy(&entry, group.data() + sizeof header + i * sizeof entry, sizeof entry);
        int side = Side(entry.width);
        SCOPED_TRACE("image of " + std::to_string(side));
        sides.insert(side);
        EXPECT_EQ(entry.width, entry.height);
        EXPECT_EQ(0, entry.colourCount);
        EXPECT_EQ(1, entry.planes);
        EXPECT_EQ(32, entry.bitCount);

        std::string data;
        ASSERT_TRUE(ResourceBytes(image.module, MAKEINTRESOURCEA(entry.id), RT_ICON, &data))
            << "no icon image " << entry.id;
        EXPECT_EQ(entry.bytesInResource, data.size());
        if (side == 256) {
            // Stored as PNG: signature, then IHDR with 256 x 256, 8 bits per
            // channel, RGBA (colour type 6), which is 32 bits per pixel.
            ASSERT_GE(data.size(), 33u);
            EXPECT_EQ(std::string("\x89PNG\r\n\x1A\n", 8), data.substr(0, 8));
            EXPECT_EQ("IHDR", data.substr(12, 4));
            EXPECT_EQ(256u, BigEndian32(data, 16));
            EXPECT_EQ(256u, BigEndian32(data, 20));
            EXPECT_EQ(8, data[24]);
            EXPECT_EQ(6, data[25]);
        } else {
            // A device-independent bitmap: colour rows then the mask, so the
            // header's height is twice the side.
            ASSERT_GE(data.size(), sizeof(BITMAPINFOHEADER));
            BITMAPINFOHEADER bitmap;
            memcpy(&bitmap, data.data(), sizeof bitmap);
            EXPECT_EQ(sizeof(BITMAPINFOHEADER), bitmap.biSize);
            EXPECT_EQ(side, bitmap.biWidth);
            EXPECT_EQ(2 * side, bitmap.biHeight);
            EXPECT_EQ(1, bitmap.biPlanes);
            EXPECT_EQ(32, bitmap.biBitCount);
            EXPECT_EQ((DWORD)BI_RGB, bitmap.biCompression);
        }
    }
    EXPECT_EQ((std::multiset<int>{16, 32, 48, 64, 128, 256}), sides);
}

// Every element name in the manifest, in order of appearance.
std::vector<std::string> ElementNames(const std::string &xml) {
    std::vector<std::string> names;
    for (size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at + 1)) {
        char next = at + 1 < xml.size() ? xml[at + 1] : '\0';
        if (next == '/' || next == '?' || next == '!') continue;
        size_t end = xml.find_first_of(" \t\r\n/>", at + 1);
        names.push_back(xml.substr(at + 1, end - at - 1));
    }
    return names;
}

TEST(Resources, ManifestAsksForAsInvokerAndNothingElse) {
    HostImage image;
    ASSERT_NE(nullptr, image.module);
    std::string manifest;
    ASSERT_TRUE(ResourceBytes(image.module, MAKEINTRESOURCEA(1), RT_MANIFEST, &manifest))
        << "no manifest 1";
    std::string compact;
    for (char c : manifest)
        if (c != '\r' && c != '\n') compact += c;
    EXPECT_NE(std::string::npos,
              compact.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"))
        << manifest;
    // No scaling awareness, compatibility section or dependent assemblies:
    // the only elements are those of the execution level.
    const std::vector<std::string> expected = {"assembly", "trustInfo", "security",
                                               "requestedPrivileges", "requestedExecutionLevel"};
    EXPECT_EQ(expected, ElementNames(manifest)) << manifest;
    for (const char *absent : {"dpiAware", "dpiAwareness", "compatibility", "dependency",
                               "supportedOS", "windowsSettings", "longPathAware"})
        EXPECT_EQ(std::string::npos, manifest.find(absent)) << absent;
}

BOOL CALLBACK CollectType(HMODULE, LPSTR type, LONG_PTR parameter) {
    std::set<ULONG_PTR> *types = (std::set<ULONG_PTR> *)parameter;
    // A named type would not be an integer resource: record it as such.
    types->insert(IS_INTRESOURCE(type) ? (ULONG_PTR)type : (ULONG_PTR)-1);
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR parameter) {
    std::vector<ULONG_PTR> *names = (std::vector<ULONG_PTR> *)parameter;
    names->push_back(IS_INTRESOURCE(name) ? (ULONG_PTR)name : (ULONG_PTR)-1);
    return TRUE;
}

std::vector<ULONG_PTR> NamesOfType(HMODULE module, LPCSTR type) {
    std::vector<ULONG_PTR> names;
    EnumResourceNamesA(module, type, CollectName, (LONG_PTR)&names);
    std::sort(names.begin(), names.end());
    return names;
}

// No menus, dialogs, string tables or version block.
TEST(Resources, OnlyIconsAndTheManifest) {
    HostImage image;
    ASSERT_NE(nullptr, image.module);
    std::set<ULONG_PTR> types;
    EXPECT_TRUE(EnumResourceTypesA(image.module, CollectType, (LONG_PTR)&types));
    EXPECT_EQ((std::set<ULONG_PTR>{(ULONG_PTR)RT_ICON, (ULONG_PTR)RT_GROUP_ICON,
                                   (ULONG_PTR)RT_MANIFEST}),
              types);
    EXPECT_EQ((std::vector<ULONG_PTR>{101}), NamesOfType(image.module, RT_GROUP_ICON));
    EXPECT_EQ((std::vector<ULONG_PTR>{1}), NamesOfType(image.module, RT_MANIFEST));
    EXPECT_EQ(6u, NamesOfType(image.module, RT_ICON).size());
}

}  // namespace
