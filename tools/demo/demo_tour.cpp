// The demo's tour: has the reference Launcher start the host beside its game,
// waits for each stage of a start, takes the host through a move, a resize,
// maximise, minimise and restore with a screenshot at each stage, closes it
// and reports the exit codes.  Exits 0 only when every stage happened.
//   usage: demo_tour.exe DEMO_FOLDER [--stay]
// With --stay the tour only reports the start and leaves the windows to the
// user; closing the host ends everything.
#include <windows.h>

#include <stdio.h>

#include <string>

namespace {

const DWORD kStageWaitMs = 30000;

struct Tour {
    std::string folder;
    PROCESS_INFORMATION launcher = {};
    DWORD startTick = 0;
    HWND host = nullptr;
    HWND game = nullptr;
    int failures = 0;
};

void Report(Tour *tour, bool ok, const char *stage, const std::string &detail) {
    printf("[%6lu ms] %-4s %-22s %s\n", GetTickCount() - tour->startTick, ok ? "ok" : "FAIL",
           stage, detail.c_str());
    fflush(stdout);
    if (!ok) tour->failures++;
}

bool WaitFor(bool (*condition)(Tour *), Tour *tour, DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (!condition(tour)) {
        if (GetTickCount() - start > milliseconds) return false;
        Sleep(20);
    }
    return true;
}

bool HostShown(Tour *tour) {
    HWND window = FindWindowA("TRNWGameClass", "Tarnwick");
    if (window == nullptr || !IsWindowVisible(window)) return false;
    tour->host = window;
    return true;
}

struct OwnedSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwned(HWND window, LPARAM parameter) {
    OwnedSearch *search = (OwnedSearch *)parameter;
    if (GetWindow(window, GW_OWNER) != search->owner || !IsWindowVisible(window)) return TRUE;
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    if (strstr(title, "Tarnwick 3D") == nullptr) return TRUE;
    search->found = window;
    return FALSE;
}

bool GameAdopted(Tour *tour) {
    OwnedSearch search = {tour->host, nullptr};
    EnumWindows(FindOwned, (LPARAM)&search);
    tour->game = search.found;
    return search.found != nullptr;
}

RECT ClientOnScreen(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    OffsetRect(&client, origin.x, origin.y);
    return client;
}

std::string Describe(const RECT &r) {
    char text[96];
    snprintf(text, sizeof text, "%ldx%ld at (%ld,%ld)", r.right - r.left, r.bottom - r.top, r.left,
             r.top);
    return text;
}

// Settles the window manager and the game's next frames before a look.
void Settle() {
    Sleep(600);
}

// The game covers the client area exactly (or is hidden with a minimised host).
bool GameFitsHost(Tour *tour, std::string *detail) {
    RECT client = ClientOnScreen(tour->host);
    RECT game;
    GetWindowRect(tour->game, &game);
    *detail = "client " + Describe(client) + ", game " + Describe(game);
    return EqualRect(&client, &game) != 0;
}

// A screenshot of the host window's screen area.  Under Wine a screen DC
// does not hold the windows of other processes, so the picture is taken on
// the display's side: the tour leaves NAME.want with the area to take, and
// the demo script answers with NAME.png and removes the request.
bool SaveScreenshot(Tour *tour, const char *name) {
    RECT r;
    GetWindowRect(tour->host, &r);
    if (IsIconic(tour->host))
        r = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    int left = r.left < 0 ? 0 : r.left, top = r.top < 0 ? 0 : r.top;
    int right = r.right > GetSystemMetrics(SM_CXSCREEN) ? GetSystemMetrics(SM_CXSCREEN) : r.right;
    int bottom = r.bottom > GetSystemMetrics(SM_CYSCREEN) ? GetSystemMetrics(SM_CYSCREEN) : r.bottom;
    std::string request = tour->folder + name + ".want";
    FILE *out = fopen(request.c_str(), "w");
    if (out == nullptr) return false;
    fprintf(out, "%d %d %d %d\n", left, top, right - left, bottom - top);
    fclose(out);
    DWORD start = GetTickCount();
    while (GetFileAttributesA(request.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > 15000) {
            DeleteFileA(request.c_str());
            return false;
        }
        Sleep(50);
    }
    return GetFileAttributesA((tour->folder + name + ".png").c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Stage(Tour *tour, const char *name, void (*act)(HWND)) {
    act(tour->host);
    Settle();
    std::string detail;
    bool ok;
    if (IsIconic(tour->host)) {
        ok = !IsWindowVisible(tour->game);
        detail = ok ? "game hidden with the host" : "game still visible";
    } else {
        ok = GameFitsHost(tour, &detail);
    }
    bool saved = SaveScreenshot(tour, name);
    Report(tour, ok && saved, name, detail);
}

void MoveHost(HWND host) {
    SetWindowPos(host, nullptr, 120, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
void ResizeHost(HWND host) {
    SetWindowPos(host, nullptr, 0, 0, 1280, 760, SWP_NOMOVE | SWP_NOZORDER);
}
void MaximiseHost(HWND host) {
    ShowWindow(host, SW_MAXIMIZE);
}
void MinimiseHost(HWND host) {
    // What the minimise button sends: the system hides owned windows then.
    SetForegroundWindow(host);
    SendMessageA(host, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}
void RestoreHost(HWND host) {
    SendMessageA(host, WM_SYSCOMMAND, SC_RESTORE, 0);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: demo_tour DEMO_FOLDER [--stay]\n");
        return 2;
    }
    Tour tour;
    tour.folder = argv[1];
    if (tour.folder.back() != '\\') tour.folder += '\\';
    bool stay = argc > 2 && strcmp(argv[2], "--stay") == 0;
    tour.startTick = GetTickCount();

    std::string launcherPath = tour.folder + "launcher.exe";
    std::string commandLine = "\"" + launcherPath + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(launcherPath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        tour.folder.c_str(), &startup, &tour.launcher)) {
        Report(&tour, false, "launcher started", launcherPath);
        return 1;
    }
    Report(&tour, true, "launcher started", launcherPath);

    if (!WaitFor(HostShown, &tour, kStageWaitMs)) {
        Report(&tour, false, "host window shown", "no \"Tarnwick\" window");
    } else {
        RECT outer;
        GetWindowRect(tour.host, &outer);
        Report(&tour, true, "host window shown", Describe(outer));
        DWORD searchStart = GetTickCount();
        if (!WaitFor(GameAdopted, &tour, kStageWaitMs)) {
            Report(&tour, false, "game window adopted", "none within 30 s");
        } else {
            std::string detail;
            Settle();
            bool fits = GameFitsHost(&tour, &detail);
            Report(&tour, fits, "game window adopted",
                   "after " + std::to_string(GetTickCount() - searchStart) + " ms; " + detail);
            if (!stay) {
                Report(&tour, SaveScreenshot(&tour, "1-started"), "screenshot", "1-started");
                Stage(&tour, "2-moved", MoveHost);
                Stage(&tour, "3-resized", ResizeHost);
                Stage(&tour, "4-maximised", MaximiseHost);
                Stage(&tour, "5-minimised", MinimiseHost);
                Stage(&tour, "6-restored", RestoreHost);
                Stage(&tour, "7-restored-again", RestoreHost);
            }
        }
        if (!stay) PostMessageA(tour.host, WM_CLOSE, 0, 0);
    }

    DWORD wait = stay ? INFINITE : kStageWaitMs;
    DWORD launcherCode = 1;
    if (WaitForSingleObject(tour.launcher.hProcess, wait) == WAIT_OBJECT_0) {
        GetExitCodeProcess(tour.launcher.hProcess, &launcherCode);
        Report(&tour, launcherCode == 0, "closed",
               "host and launcher exit code " + std::to_string(launcherCode));
    } else {
        Report(&tour, false, "closed", "the host did not exit");
        TerminateProcess(tour.launcher.hProcess, 1);
    }
    CloseHandle(tour.launcher.hThread);
    CloseHandle(tour.launcher.hProcess);
    printf("%s: %d stage(s) failed\n", tour.failures ? "FAILED" : "DONE", tour.failures);
    return tour.failures == 0 ? 0 : 1;
}
