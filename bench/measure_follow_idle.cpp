// Following and idle cost, on the same two hosts: one with an adopted game,
// one whose game never makes a window.  Both are moved and sized through
// the same random moves, in alternating blocks; after each move of the
// first, its game must lie exactly over its client area.  Then the first
// host is left alone beside the bare window programs, and the CPU time and
// private bytes of all are read over the same seconds.
#include "bench_support.h"

#include <psapi.h>
#include <stdlib.h>

#include <algorithm>

#include "bench_measures.h"

static const DWORD kAdoptionWaitMs = 30000;
static const int kMovesPerBlock = 100;

static bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

static std::string FullPath(const std::string &path) {
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length == 0 || length >= sizeof full ? path : std::string(full);
}

// The first word of a command line, without its quotes.
static std::string FirstWord(const std::string &commandLine) {
    if (!commandLine.empty() && commandLine[0] == '"') {
        size_t close = commandLine.find('"', 1);
        return commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return commandLine.substr(0, commandLine.find_first_of(std::string(" \0", 2)));
}

// Under Wine every process is a Linux process whose command line is the
// Windows one; its CPU time is in /proc/<pid>/stat, in 1/100 s ticks.
static double LinuxCpuMs(const std::string &imagePath) {
    std::string wanted = FullPath(imagePath);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    double ms = -1;
    do {
        if (found.cFileName[0] < '0' || found.cFileName[0] > '9') continue;
        std::string folder = std::string("Z:\\proc\\") + found.cFileName + "\\";
        std::string commandLine;
        if (!ReadText(folder + "cmdline", &commandLine)) continue;
        if (_stricmp(FullPath(FirstWord(commandLine)).c_str(), wanted.c_str()) != 0) continue;
        std::string stat;
        if (!ReadText(folder + "stat", &stat)) break;
        size_t at = stat.rfind(')');
        if (at == std::string::npos) break;
        // utime and stime are the 14th and 15th fields, the 12th and 13th
        // after the parenthesised name.
        unsigned long long ticks[13] = {};
        const char *cursor = stat.c_str() + at + 1;
        for (int field = 0; field < 13; field++) {
            while (*cursor == ' ') cursor++;
            char *end = nullptr;
            ticks[field] = strtoull(cursor, &end, 10);
            if (field == 0) end = (char *)cursor + 1;  // the state letter
            cursor = end;
        }
        ms = (double)(ticks[11] + ticks[12]) * 10.0;
        break;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return ms;
}

// Wine's GetProcessTimes answers for any process with the caller's own
// times, so under Wine the figure comes from Linux instead.
static double CpuMs(HANDLE process, const std::string &imagePath) {
    if (RunningUnderWine()) return LinuxCpuMs(imagePath);
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(process, &creation, &exit, &kernel, &user)) return -1;
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return (double)(k.QuadPart + u.QuadPart) / 10000.0;
}

// The time between two readings; negative when either could not be made.
static double CpuSpent(double before, double after) {
    return before < 0 || after < 0 ? -1 : after - before;
}

static std::string CpuText(double ms) {
    return ms < 0 ? std::string("not read") : Format("%.1f ms", ms);
}

static double PrivateKiB(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, (PROCESS_MEMORY_COUNTERS *)&counters, sizeof counters)) return -1;
    // Wine fills only the short record, and says so in cb, leaving
    // PrivateUsage alone; PagefileUsage is the same commit charge on Windows
    // and what Wine has to offer.
    SIZE_T privateBytes = counters.cb >= sizeof counters && counters.PrivateUsage != 0 ? counters.PrivateUsage
                                                                                        : counters.PagefileUsage;
    return (double)privateBytes / 1024.0;
}

static void AddMoveTimes(const FollowResult &block, FollowResult *total) {
    total->moves += block.moves;
    total->hostMisplaced += block.hostMisplaced;
    if (total->mismatches == 0 && block.mismatches != 0) total->firstMismatch = block.firstMismatch;
    total->mismatches += block.mismatches;
    total->moveMs.insert(total->moveMs.end(), block.moveMs.begin(), block.moveMs.end());
}

// Starts one of the bare window programs from the folder and waits for its
// window.
static bool StartBareProgram(const std::string &folder, const char *exeName, const std::string &arguments,
                             StartedProgram *program) {
    if (!CopyFromBin(exeName, folder, exeName) || !StartProgram(folder + exeName, arguments, folder, program))
        return false;
    ULONGLONG deadline = GetTickCount64() + 20000;
    while (GetTickCount64() < deadline) {
        if (FindProcessWindow(program->id, "BenchBareWindow") != nullptr) return true;
        Sleep(10);
    }
    return false;
}

static bool MeasureIdle(const BenchOptions &options, int launcherPort, HostedGame *hosted, BenchResults *results) {
    Progress(Format("idle: %d s beside the bare window programs", options.idleSeconds));
    HANDLE game = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, hosted->game.processId);
    std::string folder = options.workFolder + "idle\\";
    StartedProgram bare, handshake;
    bool started = MakeFreshFolder(folder) && StartBareProgram(folder, "bench_bare_window.exe", "", &bare) &&
                   StartBareProgram(folder, "bench_bare_handshake.exe", Format("%d", launcherPort), &handshake);
    if (!started) {
        EndProgram(&bare);
        EndProgram(&handshake);
        if (game != nullptr) CloseHandle(game);
        results->notes.push_back("idle: the bare window programs showed no window");
        return false;
    }
    // Both settle first: the bare program has just started, the host has
    // just been moved a thousand times.
    Sleep(1000);
    std::string hostImage = hosted->folder + "GameHost.exe";
    std::string gameImage = hosted->folder + "Mirelune.dll";
    std::string bareImage = folder + "bench_bare_window.exe";
    double hostBefore = CpuMs(hosted->host.process, hostImage);
    double bareBefore = CpuMs(bare.process, bareImage);
    double gameBefore = CpuMs(game, gameImage);
    long long before = CounterNow();
    Sleep((DWORD)options.idleSeconds * 1000);
    double seconds = TicksToMs(CounterNow() - before) / 1000.0;
    double hostCpu = CpuSpent(hostBefore, CpuMs(hosted->host.process, hostImage));
    double bareCpu = CpuSpent(bareBefore, CpuMs(bare.process, bareImage));
    double gameCpu = CpuSpent(gameBefore, CpuMs(game, gameImage));
    bool stillAdopted = GameCoversClient(hosted->hostWindow, hosted->game.window);
    double hostPrivate = PrivateKiB(hosted->host.process);
    double barePrivate = PrivateKiB(bare.process);
    double gamePrivate = game != nullptr ? PrivateKiB(game) : -1;
    double handshakePrivate = PrivateKiB(handshake.process);
    EndProgram(&bare);
    EndProgram(&handshake);
    if (game != nullptr) CloseHandle(game);

    results->rows.push_back(
        {"5", Format("Idle: CPU time over %.1f s, adopted game, no input", seconds),
         hostCpu < 0 ? CpuText(hostCpu) : Format("%.1f ms (%.2f%% of one CPU)", hostCpu, hostCpu / (seconds * 10.0)),
         "bare window: " + CpuText(bareCpu) + "; the stand-in game: " + CpuText(gameCpu),
         hostCpu >= 0 && bareCpu > 0 ? Format("%.2f", hostCpu / bareCpu) : std::string("-"), "none set", "info"});
    results->rows.push_back({"5", "Idle: private bytes after adoption", Format("%.0f KiB", hostPrivate),
                             Format("bare window: %.0f KiB; after the loopback exchange: %.0f KiB; the stand-in "
                                    "game: %.0f KiB",
                                    barePrivate, handshakePrivate, gamePrivate),
                             barePrivate > 0 ? Format("%.2f", hostPrivate / barePrivate) : std::string("-"),
                             "none set", "info"});
    if (RunningUnderWine())
        results->notes.push_back("idle: CPU times read from Linux /proc/<pid>/stat (10 ms ticks): Wine's "
                                 "GetProcessTimes gives the caller's own times for any process; private bytes are "
                                 "Wine's PagefileUsage, the Linux process's anonymous resident memory plus swap");
    if (!stillAdopted) results->notes.push_back("idle: the game was no longer over the client area afterwards");
    return hostCpu >= 0 && hostPrivate >= 0;
}

bool MeasureFollowingAndIdle(const BenchOptions &options, int launcherPort, BenchResults *results) {
    Progress(Format("following: %d moves of a host with a game and of one without", options.followMoves));
    HostedGame withGame, withoutGame;
    bool ready = PrepareHostFolder(options.workFolder + "follow\\", "lifetime_ms=600000\n") &&
                 PrepareHostFolder(options.workFolder + "nogame\\", "no_window=1\nlifetime_ms=600000\n") &&
                 StartHost(options.workFolder + "follow\\", launcherPort, &withGame) &&
                 StartHost(options.workFolder + "nogame\\", launcherPort, &withoutGame) &&
                 WaitForAdoption(&withGame, kAdoptionWaitMs) && WaitForHostWindow(&withoutGame, kAdoptionWaitMs);
    if (!ready) {
        EndHost(&withGame);
        EndHost(&withoutGame);
        results->rows.push_back({"4", "Following", "no adopted game", "", "", "0 mismatches", "not measured"});
        return false;
    }

    RECT startRect = {};
    GetWindowRect(withGame.hostWindow, &startRect);
    std::vector<HostMove> moves = RandomHostMoves(options.followMoves, 7031);
    FollowResult followed, bare;
    for (size_t start = 0; start < moves.size(); start += kMovesPerBlock) {
        std::vector<HostMove> block(moves.begin() + start,
                                    moves.begin() + std::min(moves.size(), start + kMovesPerBlock));
        AddMoveTimes(FollowMoves(withGame.hostWindow, withGame.game.window, block), &followed);
        AddMoveTimes(FollowMoves(withoutGame.hostWindow, nullptr, block), &bare);
    }
    EndHost(&withoutGame);

    double withMs = Median(followed.moveMs);
    double withoutMs = Median(bare.moveMs);
    results->rows.push_back({"4", Format("Following: game rect != client rect right after SetWindowPos returns "
                                         "(%d random moves and resizes)",
                                         followed.moves),
                             Format("%d mismatches", followed.mismatches),
                             Format("host placed as asked: %d of %d", followed.moves - followed.hostMisplaced,
                                    followed.moves),
                             "-", "0", Verdict(followed.mismatches == 0)});
    results->rows.push_back(
        {"4", "Following: cost of one SetWindowPos of the host, from another process",
         Format("with game: %.3f ms (p90 %.3f)", withMs, Percentile(followed.moveMs, 90)),
         Format("without game: %.3f ms (p90 %.3f)", withoutMs, Percentile(bare.moveMs, 90)),
         Format("%.2f", withMs / withoutMs), "none set", "info"});
    // The host checks that its game answers before each move that changes
    // the game's place: a bounded WM_NULL round trip, timed here alone with
    // the host's flags, since the host's move cost above includes it.
    std::vector<double> probeMs;
    for (int i = 0; i < options.followMoves; i++) {
        DWORD_PTR ignored = 0;
        long long before = CounterNow();
        SendMessageTimeoutA(withGame.game.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 100, &ignored);
        probeMs.push_back(TicksToMs(CounterNow() - before));
    }
    double probe = Median(probeMs);
    results->rows.push_back(
        {"4", "Following: the check that the game answers (bounded WM_NULL), made once per move that refits",
         Format("%.3f ms (p90 %.3f)", probe, Percentile(probeMs, 90)),
         Format("a move with game: %.3f ms; without the check about %.3f ms", withMs, withMs - probe),
         Format("%.2f", probe / withMs), "none set", "info"});
    if (followed.mismatches != 0) results->notes.push_back("following: first mismatch at " + followed.firstMismatch);
    if (bare.hostMisplaced != 0)
        results->notes.push_back(Format("following: the host without a game was placed otherwise than asked %d times",
                                        bare.hostMisplaced));

    // Back to the size it started with, that of the bare window it is
    // compared with next.
    SetWindowPos(withGame.hostWindow, nullptr, startRect.left, startRect.top, startRect.right - startRect.left,
                 startRect.bottom - startRect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    bool idle = MeasureIdle(options, launcherPort, &withGame, results);
    EndHost(&withGame);
    return idle;
}
