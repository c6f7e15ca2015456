// Finding the host's windows and message boxes from outside its process.
#include "test_support.h"

std::string WindowText(HWND window) {
    // WM_GETTEXT is marshalled across processes, so this reads controls of
    // another process too; the time-out keeps a hung peer from hanging us.
    char text[4096] = {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG,
                             5000, &length))
        return GetWindowTextA(window, text, sizeof text) > 0 ? text : "";
    return std::string(text, length);
}

std::string WindowClass(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct WindowQuery {
    DWORD processId;
    const char *className;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
    WindowQuery *query = (WindowQuery *)parameter;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == query->processId &&
        (query->className == nullptr || WindowClass(window) == query->className))
        query->found.push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD processId, const char *className) {
    WindowQuery query = {processId, className, {}};
    EnumWindows(CollectWindow, (LPARAM)&query);
    return query.found;
}

HWND WaitForWindow(DWORD processId, const char *className, DWORD milliseconds) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(processId, className))
                if (IsWindowVisible(window)) {
                    found = window;
                    return true;
                }
            return false;
        },
        milliseconds);
    return found;
}

bool WaitForMessageBox(DWORD processId, DWORD milliseconds, MessageBoxSeen *seen) {
    HWND box = nullptr;
    // A box counts once its text control exists, so the text is complete.
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(processId, "#32770"))
                if (IsWindowVisible(window) && GetDlgItem(window, 0xFFFF) != nullptr) {
                    box = window;
                    return true;
                }
            return false;
        },
        milliseconds);
    if (box == nullptr) return false;
    seen->box = box;
    seen->caption = WindowText(box);
    seen->text = WindowText(GetDlgItem(box, 0xFFFF));
    seen->owner = GetWindow(box, GW_OWNER);
    return true;
}

void DismissMessageBox(HWND box) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(box, IDOK));
}

ServedWindows::ServedWindows(int count, const char *title, DWORD style, DWORD exStyle) {
    std::atomic<bool> made{false};
    pump = std::thread([this, count, title, style, exStyle, &made] {
        for (int i = 0; i < count; i++)
            windows.push_back(CreateWindowExA(exStyle, "STATIC", title, style, 0, 0, 48, 48, nullptr, nullptr,
                                              GetModuleHandleA(nullptr), nullptr));
        MSG message;
        // The queue exists before the thread's id is given out.
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
        threadId = GetCurrentThreadId();
        made = true;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
        for (HWND window : windows) DestroyWindow(window);
    });
    while (!made) Sleep(10);
}

ServedWindows::~ServedWindows() {
    PostThreadMessageA(threadId, WM_QUIT, 0, 0);
    pump.join();
}
