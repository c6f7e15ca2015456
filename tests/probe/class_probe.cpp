/* Hook DLL loaded into the host by a window test: on the first message of
 * the host window that it sees, it reads the window's class data from inside
 * the host's process and writes class_probe_report.txt beside itself.  Wine
 * answers these class fields with 0 to any other process, so they can only be
 * read from here. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

static HMODULE probeModule = nullptr;
static LONG reported = 0;

static std::string Hex(ULONG_PTR value) {
    char text[32];
    snprintf(text, sizeof text, "0x%llX", (unsigned long long)value);
    return text;
}

/* The colour bitmap of an icon as 32-bit top-down rows; empty when the icon
 * cannot be read. */
static std::vector<unsigned char> IconPixels(HICON icon, int *width, int *height) {
    std::vector<unsigned char> pixels;
    *width = 0;
    *height = 0;
    ICONINFO info = {};
    if (icon == nullptr || !GetIconInfo(icon, &info)) return pixels;
    BITMAP colour = {};
    if (info.hbmColor != nullptr && GetObjectA(info.hbmColor, sizeof colour, &colour) != 0) {
        *width = colour.bmWidth;
        *height = colour.bmHeight;
        BITMAPINFO format = {};
        format.bmiHeader.biSize = sizeof format.bmiHeader;
        format.bmiHeader.biWidth = colour.bmWidth;
        format.bmiHeader.biHeight = -colour.bmHeight;
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        pixels.resize((size_t)colour.bmWidth * colour.bmHeight * 4);
        HDC screen = GetDC(nullptr);
        if (GetDIBits(screen, info.hbmColor, 0, colour.bmHeight, pixels.data(), &format,
                      DIB_RGB_COLORS) != colour.bmHeight)
            pixels.clear();
        ReleaseDC(nullptr, screen);
    }
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
    return pixels;
}

/* Size of the class icon, and whether its pixels are those of the host's
 * icon resource 101 loaded afresh at that size. */
static std::string DescribeIcon(const char *key, HICON icon, int size) {
    int width = 0, height = 0;
    std::vector<unsigned char> seen = IconPixels(icon, &width, &height);
    HICON fresh = (HICON)LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(101), IMAGE_ICON,
                                    size, size, LR_DEFAULTCOLOR);
    int freshWidth = 0, freshHeight = 0;
    std::vector<unsigned char> expected = IconPixels(fresh, &freshWidth, &freshHeight);
    if (fresh != nullptr) DestroyIcon(fresh);
    bool same = !seen.empty() && seen == expected;
    char line[160];
    snprintf(line, sizeof line, "%s=%dx%d\n%s_matches_101_at_%d=%s\n", key, width, height, key,
             size, same ? "yes" : "no");
    return line;
}

static void WriteReport(HWND window) {
    std::string report;
    report += "background=" + Hex(GetClassLongPtrA(window, GCLP_HBRBACKGROUND)) + "\n";
    report += "black_brush=" + Hex((ULONG_PTR)GetStockObject(BLACK_BRUSH)) + "\n";
    report += "cursor=" + Hex(GetClassLongPtrA(window, GCLP_HCURSOR)) + "\n";
    report += "arrow_cursor=" + Hex((ULONG_PTR)LoadCursorA(nullptr, (LPCSTR)IDC_ARROW)) + "\n";
    report += "menu_name=" + Hex(GetClassLongPtrA(window, GCLP_MENUNAME)) + "\n";
    report += "class_style=" + Hex(GetClassLongPtrA(window, GCL_STYLE)) + "\n";
    report += "cls_extra=" + std::to_string(GetClassLongPtrA(window, GCL_CBCLSEXTRA)) + "\n";
    report += "wnd_extra=" + std::to_string(GetClassLongPtrA(window, GCL_CBWNDEXTRA)) + "\n";
    report += "class_instance_is_host=" +
              std::string((HMODULE)GetClassLongPtrA(window, GCLP_HMODULE) ==
                                  GetModuleHandleA(nullptr)
                              ? "yes"
                              : "no") +
              "\n";
    report += DescribeIcon("icon", (HICON)GetClassLongPtrA(window, GCLP_HICON), 32);
    report += DescribeIcon("icon_small", (HICON)GetClassLongPtrA(window, GCLP_HICONSM), 16);

    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(probeModule, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    char *slash = strrchr(path, '\\');
    std::string folder(path, slash ? (size_t)(slash - path + 1) : 0);
    /* Written under another name and renamed, so that the test never reads
     * half a report. */
    std::string partial = folder + "class_probe_report.partial";
    std::string final = folder + "class_probe_report.txt";
    HANDLE file = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, report.data(), (DWORD)report.size(), &written, nullptr);
    CloseHandle(file);
    MoveFileExA(partial.c_str(), final.c_str(), MOVEFILE_REPLACE_EXISTING);
}

static bool IsHostWindow(HWND window) {
    char name[64] = {};
    return window != nullptr && GetClassNameA(window, name, sizeof name) > 0 &&
           strcmp(name, "TRNWGameClass") == 0;
}

extern "C" __declspec(dllexport) LRESULT CALLBACK ClassProbeGetMessage(int code, WPARAM wParam,
                                                                      LPARAM lParam) {
    if (code == HC_ACTION) {
        const MSG *message = (const MSG *)lParam;
        if (IsHostWindow(message->hwnd) && InterlockedExchange(&reported, 1) == 0)
            WriteReport(message->hwnd);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) probeModule = instance;
    return TRUE;
}
