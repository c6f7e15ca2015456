// A host whose game image is the fixture game, and the game seen from
// outside: its report file, its processes and its window.
#include "game_case.h"

#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>

static const char kGameImage[] = "Mirelune.dll";

GameCase::~GameCase() { EndGameCase(this); }

bool PrepareEmptyCase(const std::string &name, GameCase *gameCase) {
    return PrepareHostFolder(name, &gameCase->hostCase);
}

bool PrepareGameCase(const std::string &name, const std::string &gameSettings, GameCase *gameCase) {
    if (!PrepareHostFolder(name, &gameCase->hostCase)) return false;
    const std::string &folder = gameCase->hostCase.folder;
    return CopyFromBin("fixture_game.exe", folder, kGameImage) &&
           WriteFileBytes(folder + "fixture-game.txt", gameSettings);
}

bool StartGameHost(GameCase *gameCase, int showCommand) {
    if (!StartLauncher(LauncherScript{}, &gameCase->launcher)) return false;
    return StartHost(&gameCase->hostCase, LaunchArguments("hosting-token", gameCase->launcher.port),
                     showCommand);
}

HWND WaitForGameHostWindow(GameCase *gameCase) {
    gameCase->hostWindow = WaitForHostWindow(gameCase->hostCase);
    return gameCase->hostWindow;
}

void EndGameCase(GameCase *gameCase) {
    // The host's job holds the game, so ending it ends a game left behind.
    EndProcess(&gameCase->hostCase.host);
    StopLauncher(&gameCase->launcher);
}

long CloseGameHost(GameCase *gameCase) {
    return CloseHostAndWait(&gameCase->hostCase, gameCase->hostWindow);
}

std::string GameLogPath(const std::string &folder) { return folder + "fixture-game.log"; }

std::string ReadGameLog(const std::string &folder) {
    std::string log;
    ReadFileBytes(GameLogPath(folder), &log);
    return log;
}

std::vector<std::string> LogLines(const std::string &log, const std::string &word) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        // A line still being written has no newline yet; it is left out.
        if (end == std::string::npos) break;
        std::string line = log.substr(start, end - start);
        bool wordAlone = line == word;
        if (wordAlone || line.compare(0, word.size() + 1, word + " ") == 0) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::string WaitForLogLine(const std::string &folder, const std::string &word, DWORD milliseconds) {
    std::string line;
    WaitUntil(
        [&] {
            std::vector<std::string> lines = LogLines(ReadGameLog(folder), word);
            if (lines.empty()) return false;
            line = lines[0];
            return true;
        },
        milliseconds);
    return line;
}

std::string LogValue(const std::string &line, const std::string &key) {
    std::string marker = " " + key + "=";
    size_t at = line.find(marker);
    if (at == std::string::npos) return "";
    at += marker.size();
    size_t end = line.find(' ', at);
    // Only the last value of a line may hold blanks.
    if (line.find('=', end == std::string::npos ? line.size() : end) == std::string::npos)
        return line.substr(at);
    return line.substr(at, end - at);
}

unsigned long long LogNumber(const std::string &value) {
    return strtoull(value.c_str(), nullptr, 0);
}

HWND LoggedGameWindow(const std::string &log) {
    std::vector<std::string> lines = LogLines(log, "window");
    if (lines.empty()) return nullptr;
    return (HWND)(ULONG_PTR)LogNumber(LogValue(lines[0], "hwnd"));
}

DWORD LoggedGameProcessId(const std::string &log) {
    std::vector<std::string> lines = LogLines(log, "started");
    if (lines.empty()) return 0;
    return (DWORD)LogNumber(LogValue(lines[0], "pid"));
}

std::string GameImagePath(const std::string &folder) { return folder + kGameImage; }

std::vector<DWORD> GameProcessIds(const std::string &folder) {
    std::vector<DWORD> found;
    std::string image = GameImagePath(folder);
    for (DWORD id : ProcessesNamed(kGameImage)) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id);
        if (process == nullptr) continue;
        char path[MAX_PATH * 2] = {};
        DWORD size = sizeof path;
        bool ours = QueryFullProcessImageNameA(process, 0, path, &size) &&
                    lstrcmpiA(path, image.c_str()) == 0;
        // A process that has ended but is still listed is not running.
        if (ours && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) found.push_back(id);
        CloseHandle(process);
    }
    return found;
}

struct OwnedQuery {
    HWND owner;
    DWORD ownerProcess;
    HWND found;
};

static BOOL CALLBACK FindOwnedWindow(HWND window, LPARAM parameter) {
    OwnedQuery *query = (OwnedQuery *)parameter;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != query->ownerProcess && GetWindow(window, GW_OWNER) == query->owner) {
        query->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForAdoptedGame(const GameCase &gameCase, DWORD milliseconds) {
    OwnedQuery query = {gameCase.hostWindow, gameCase.hostCase.host.id, nullptr};
    if (query.owner == nullptr) return nullptr;
    WaitUntil(
        [&] {
            EnumWindows(FindOwnedWindow, (LPARAM)&query);
            return query.found != nullptr;
        },
        milliseconds);
    return query.found;
}

RECT ClientRectOnScreen(HWND host) {
    RECT client = {};
    GetClientRect(host, &client);
    POINT origin = {0, 0};
    ClientToScreen(host, &origin);
    return RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
}

RECT WindowRectOf(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

bool SameRect(const RECT &a, const RECT &b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string RectText(const RECT &rect) {
    char text[96];
    snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", rect.left, rect.top, rect.right, rect.bottom);
    return text;
}

bool WaitForGameFit(HWND host, HWND game, DWORD milliseconds) {
    return WaitUntil([&] { return SameRect(WindowRectOf(game), ClientRectOnScreen(host)); },
                     milliseconds);
}

bool WindowAnswers(HWND window, DWORD milliseconds) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, milliseconds, &ignored) != 0;
}

DWORD WindowStyle(HWND window) { return (DWORD)GetWindowLongPtrA(window, GWL_STYLE); }

DWORD WindowExStyle(HWND window) { return (DWORD)GetWindowLongPtrA(window, GWL_EXSTYLE); }

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
