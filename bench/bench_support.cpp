// The pieces every bench measurement and the follow test stand on.
#include "bench_support.h"

#include <ws2tcpip.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <random>

// ---- clock ------------------------------------------------------------------

long long CounterNow() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

long long CounterFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

double TicksToMs(long long ticks) {
    return (double)ticks * 1000.0 / (double)CounterFrequency();
}

// ---- files and folders ------------------------------------------------------

std::string BinDirectory() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return std::string();
    char *slash = strrchr(path, '\\');
    if (slash != nullptr) slash[1] = '\0';
    return path;
}

bool MakeFreshFolder(const std::string &folder) {
    // Each level in turn: CreateDirectoryA makes only the last one.
    for (size_t at = folder.find('\\', 3); at != std::string::npos; at = folder.find('\\', at + 1))
        CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((folder + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CopyFromBin(const std::string &binFile, const std::string &folder, const std::string &asName) {
    return CopyFileA((BinDirectory() + binFile).c_str(), (folder + asName).c_str(), FALSE) != 0;
}

bool WriteText(const std::string &path, const std::string &text) {
    FILE *file = fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && written;
}

bool ReadText(const std::string &path, std::string *text) {
    // The fixture keeps its report open for appending; full sharing lets it
    // go on writing while this reads.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    text->clear();
    char buffer[8192];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text->append(buffer, got);
    CloseHandle(file);
    return true;
}

// ---- the Launcher -----------------------------------------------------------

static bool WinsockReady() {
    static bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

static bool Readable(SOCKET sock, long milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(sock, &readable);
    timeval limit = {milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &limit) > 0;
}

static DWORD WINAPI LauncherThread(LPVOID parameter) {
    BenchLauncher *launcher = (BenchLauncher *)parameter;
    while (!launcher->stopping) {
        // A short wait keeps the stop request noticed without a wake-up
        // socket.
        if (!Readable(launcher->listener, 50)) continue;
        SOCKET peer = accept(launcher->listener, nullptr, nullptr);
        if (peer == INVALID_SOCKET) continue;
        char token[512];
        if (Readable(peer, 10000) && recv(peer, token, sizeof token, 0) > 0) {
            send(peer, "LINK_UP", 7, 0);
            InterlockedIncrement(&launcher->answered);
        }
        closesocket(peer);
    }
    return 0;
}

bool StartBenchLauncher(BenchLauncher *launcher) {
    if (!WinsockReady()) return false;
    launcher->listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (launcher->listener == INVALID_SOCKET) return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    int size = sizeof address;
    if (bind(launcher->listener, (sockaddr *)&address, sizeof address) != 0 ||
        listen(launcher->listener, SOMAXCONN) != 0 ||
        getsockname(launcher->listener, (sockaddr *)&address, &size) != 0) {
        closesocket(launcher->listener);
        launcher->listener = INVALID_SOCKET;
        return false;
    }
    launcher->port = ntohs(address.sin_port);
    launcher->stopping = 0;
    launcher->thread = CreateThread(nullptr, 0, LauncherThread, launcher, 0, nullptr);
    return launcher->thread != nullptr;
}

void StopBenchLauncher(BenchLauncher *launcher) {
    InterlockedExchange(&launcher->stopping, 1);
    if (launcher->thread != nullptr) {
        WaitForSingleObject(launcher->thread, 15000);
        CloseHandle(launcher->thread);
        launcher->thread = nullptr;
    }
    if (launcher->listener != INVALID_SOCKET) closesocket(launcher->listener);
    launcher->listener = INVALID_SOCKET;
}

// ---- processes --------------------------------------------------------------

bool StartProgram(const std::string &exePath, const std::string &arguments, const std::string &folder,
                  StartedProgram *started) {
    *started = StartedProgram();
    // The host's game is started by the host, inside the same job, so that
    // closing the job ends it too.
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job != nullptr) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    std::string commandLine = "\"" + exePath + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION information = {};
    if (!CreateProcessA(exePath.c_str(), writable.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        folder.c_str(), &startup, &information)) {
        if (job != nullptr) CloseHandle(job);
        return false;
    }
    if (job != nullptr) AssignProcessToJobObject(job, information.hProcess);
    ResumeThread(information.hThread);
    started->process = information.hProcess;
    started->thread = information.hThread;
    started->id = information.dwProcessId;
    started->job = job;
    return true;
}

bool WaitForProgramExit(const StartedProgram &started, DWORD milliseconds) {
    return started.process == nullptr || WaitForSingleObject(started.process, milliseconds) == WAIT_OBJECT_0;
}

void EndProgram(StartedProgram *started) {
    if (started->process != nullptr) {
        TerminateProcess(started->process, 0);
        WaitForSingleObject(started->process, 10000);
        CloseHandle(started->process);
    }
    if (started->thread != nullptr) CloseHandle(started->thread);
    if (started->job != nullptr) {
        TerminateJobObject(started->job, 0);
        CloseHandle(started->job);
    }
    *started = StartedProgram();
}

// ---- windows ----------------------------------------------------------------

HWND FindProcessWindow(DWORD processId, const char *className) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) return window;
    }
    return nullptr;
}

bool ClientRectOnScreen(HWND host, RECT *client) {
    if (!GetClientRect(host, client)) return false;
    POINT origin = {0, 0};
    if (!ClientToScreen(host, &origin)) return false;
    OffsetRect(client, origin.x, origin.y);
    return true;
}

bool GameCoversClient(HWND host, HWND game) {
    RECT client, window;
    return ClientRectOnScreen(host, &client) && GetWindowRect(game, &window) && EqualRect(&client, &window);
}

// ---- the host with a stand-in game -----------------------------------------

static bool FindValue(const std::string &line, const char *key, std::string *value) {
    size_t at = line.find(key);
    if (at == std::string::npos) return false;
    at += strlen(key);
    size_t end = line.find(' ', at);
    *value = line.substr(at, end == std::string::npos ? std::string::npos : end - at);
    return true;
}

bool ReadFixtureWindow(const std::string &folder, FixtureWindow *seen) {
    std::string report;
    if (!ReadText(folder + "fixture-game.log", &report)) return false;
    bool created = false;
    size_t start = 0;
    while (start < report.size()) {
        size_t end = report.find('\n', start);
        if (end == std::string::npos) break;  // a line still being written
        std::string line = report.substr(start, end - start);
        start = end + 1;
        std::string value;
        if (line.compare(0, 8, "started ") == 0) {
            if (FindValue(line, "pid=", &value)) seen->processId = strtoul(value.c_str(), nullptr, 10);
            if (FindValue(line, "frequency=", &value)) seen->frequency = strtoll(value.c_str(), nullptr, 10);
        } else if (line.compare(0, 7, "window ") == 0 && line.find(" created ") != std::string::npos) {
            if (FindValue(line, "hwnd=", &value)) seen->window = (HWND)(ULONG_PTR)strtoull(value.c_str(), nullptr, 16);
            if (FindValue(line, "tick=", &value)) seen->createdTick = strtoll(value.c_str(), nullptr, 10);
            created = seen->window != nullptr;
        }
    }
    return created;
}

bool PrepareHostFolder(const std::string &folder, const char *gameSettings) {
    if (!MakeFreshFolder(folder) || !CopyFromBin("GameHost.exe", folder, "GameHost.exe")) return false;
    if (gameSettings == nullptr) return true;
    return CopyFromBin("fixture_game.exe", folder, "Mirelune.dll") &&
           WriteText(folder + "fixture-game.txt", gameSettings);
}

bool StartHost(const std::string &folder, int port, HostedGame *hosted) {
    hosted->folder = folder;
    hosted->hostWindow = nullptr;
    hosted->game = FixtureWindow();
    char arguments[64];
    snprintf(arguments, sizeof arguments, "bench%lu %d", GetCurrentProcessId(), port);
    return StartProgram(folder + "GameHost.exe", arguments, folder, &hosted->host);
}

bool WaitForHostWindow(HostedGame *hosted, DWORD milliseconds) {
    ULONGLONG deadline = GetTickCount64() + milliseconds;
    while (GetTickCount64() < deadline) {
        HWND window = FindProcessWindow(hosted->host.id, kHostClass);
        if (window != nullptr && IsWindowVisible(window)) {
            hosted->hostWindow = window;
            return true;
        }
        Sleep(1);
    }
    return false;
}

bool WaitForAdoption(HostedGame *hosted, DWORD milliseconds) {
    ULONGLONG deadline = GetTickCount64() + milliseconds;
    while (GetTickCount64() < deadline) {
        if (hosted->hostWindow == nullptr) {
            HWND window = FindProcessWindow(hosted->host.id, kHostClass);
            if (window != nullptr) hosted->hostWindow = window;
        }
        if (hosted->game.window == nullptr) ReadFixtureWindow(hosted->folder, &hosted->game);
        if (hosted->hostWindow != nullptr && hosted->game.window != nullptr &&
            GetWindow(hosted->game.window, GW_OWNER) == hosted->hostWindow &&
            GameCoversClient(hosted->hostWindow, hosted->game.window))
            return true;
        Sleep(5);
    }
    return false;
}

void EndHost(HostedGame *hosted) {
    if (hosted->hostWindow != nullptr && hosted->host.process != nullptr) {
        PostMessageA(hosted->hostWindow, WM_CLOSE, 0, 0);
        WaitForProgramExit(hosted->host, 10000);
    }
    EndProgram(&hosted->host);
    hosted->hostWindow = nullptr;
}

// ---- following --------------------------------------------------------------

std::vector<HostMove> RandomHostMoves(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<HostMove> moves;
    for (int i = 0; i < count; i++) {
        HostMove move;
        move.width = std::uniform_int_distribution<int>(800, 1400)(random);
        move.height = std::uniform_int_distribution<int>(600, 1000)(random);
        move.x = std::uniform_int_distribution<int>(0, 1920 - move.width)(random);
        move.y = std::uniform_int_distribution<int>(0, 1080 - move.height)(random);
        moves.push_back(move);
    }
    return moves;
}

static std::string DescribeRect(const RECT &rect) {
    char text[96];
    snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", rect.left, rect.top, rect.right, rect.bottom);
    return text;
}

FollowResult FollowMoves(HWND host, HWND game, const std::vector<HostMove> &moves) {
    FollowResult result;
    for (const HostMove &move : moves) {
        long long before = CounterNow();
        // Sent to the host's thread, which handles it, and the refit of the
        // game window inside it, before this call returns.
        SetWindowPos(host, nullptr, move.x, move.y, move.width, move.height, SWP_NOZORDER | SWP_NOACTIVATE);
        long long after = CounterNow();
        result.moveMs.push_back(TicksToMs(after - before));
        result.moves++;
        RECT hostRect;
        GetWindowRect(host, &hostRect);
        RECT asked = {move.x, move.y, move.x + move.width, move.y + move.height};
        if (!EqualRect(&hostRect, &asked)) result.hostMisplaced++;
        if (game == nullptr) continue;
        RECT client = {}, gameRect = {};
        ClientRectOnScreen(host, &client);
        GetWindowRect(game, &gameRect);
        if (!EqualRect(&client, &gameRect)) {
            if (result.mismatches == 0)
                result.firstMismatch = "move " + std::to_string(result.moves) + ": client " +
                                       DescribeRect(client) + ", game " + DescribeRect(gameRect);
            result.mismatches++;
        }
    }
    return result;
}
