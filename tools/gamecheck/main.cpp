/* gamecheck: starts a game the way the host starts it and tells a game team,
 * point by point, whether the host would take the game's window in.
 *   usage: gamecheck.exe [--json] [PATH]
 * PATH defaults to Mirelune.dll beside gamecheck.exe.
 * Exit codes: 0 every point holds, 1 a point fails (the last line says
 * whether the host would still take the game in), 2 bad use. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "check_report.h"
#include "game_run.h"
#include "host/game_contract.h"
#include "test_owner.h"

static const int kExitBadUse = 2;
static const char kUsage[] = "usage: gamecheck.exe [--json] [PATH]   (PATH: the game image, by default "
                             "Mirelune.dll beside gamecheck.exe)\n";
/* Taking the window in and moving it around waits on the game's thread; a
 * game that stops answering then would hold the checker for ever. */
static const DWORD kTakeInBoundMs = 60000;

static CheckReport report;
static GameRun run;
static bool json = false;
static volatile LONG finished = 0;
static volatile LONG pointInProgress = PointFrame;

static void PrintReport(int exitCode) {
    if (json) PrintReportJson(stdout, report, exitCode);
    else PrintReportLines(stdout, report);
    fflush(stdout);
}

static DWORD WINAPI Watchdog(LPVOID) {
    Sleep(kTakeInBoundMs);
    if (InterlockedExchange(&finished, 1) != 0) return 0;
    PointId point = (PointId)pointInProgress;
    Judge(&report, point, VerdictFail, "the game stopped answering: the checker was held %lu ms in a call to its window",
          kTakeInBoundMs);
    SkipRemaining(&report, PointEnds, "not tried: the game stopped answering");
    TerminateProcess(run.process.hProcess, 0);
    Judge(&report, PointEnds, VerdictSkipped, "not checked: ended by TerminateProcess when the checker gave up");
    int code = ConcludeReport(&report);
    PrintReport(code);
    ExitProcess((UINT)code);
    return 0;
}

/* The game image's full path and its folder, with the trailing backslash
 * the host's own folder has. */
static bool ResolveGame(const char *given, char (&path)[MAX_PATH], char (&directory)[MAX_PATH]) {
    char own[MAX_PATH];
    if (given == nullptr) {
        DWORD length = GetModuleFileNameA(nullptr, own, sizeof own);
        if (length == 0 || length >= sizeof own) return false;
        char *slash = strrchr(own, '\\');
        if (slash == nullptr || (size_t)(slash + 1 - own) + sizeof "Mirelune.dll" > sizeof own) return false;
        memcpy(slash + 1, "Mirelune.dll", sizeof "Mirelune.dll");
        given = own;
    }
    char *filePart = nullptr;
    DWORD length = GetFullPathNameA(given, MAX_PATH, path, &filePart);
    if (length == 0 || length >= MAX_PATH || filePart == nullptr) return false;
    memcpy(directory, path, (size_t)(filePart - path));
    directory[filePart - path] = '\0';
    return true;
}

static bool ParseArguments(int argc, char **argv, const char **given) {
    *given = nullptr;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--json") == 0) json = true;
        else if (argv[i][0] == '-' || argv[i][0] == '\0' || *given != nullptr) return false;
        else *given = argv[i];
    }
    return true;
}

static void CheckGame(char *application, const char *directory) {
    if (!StartGame(application, directory, &run, &report)) {
        SkipRemaining(&report, kPointCount, "not tried: the game did not start");
        return;
    }
    AwaitReadiness(&run, &report);
    HWND window = SearchLikeTheHost(&run, &report);
    report.takenIn = window != nullptr;
    if (window != nullptr) {
        HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
        CheckFrame(window, &report);
        pointInProgress = PointHideShow;
        if (report.points[PointFrame].verdict == VerdictPass) CheckHideShow(window, &report);
        else Judge(&report, PointHideShow, VerdictSkipped, "not tried: the window was not taken into the frame");
        if (InterlockedExchange(&finished, 1) != 0) Sleep(INFINITE);  /* the watchdog reports */
        if (watchdog != nullptr) CloseHandle(watchdog);
    } else {
        SkipRemaining(&report, PointEnds, "not tried: the host would not hand the window over");
    }
    EndGame(&run, &report);
    CloseTestOwner();
}

int main(int argc, char **argv) {
    const char *given = nullptr;
    char application[MAX_PATH];
    char directory[MAX_PATH];
    if (!ParseArguments(argc, argv, &given)) {
        fputs(kUsage, stderr);
        return kExitBadUse;
    }
    if (!ResolveGame(given, application, directory)) {
        fprintf(stderr, "gamecheck: the game's path does not fit in %d characters\n%s", MAX_PATH, kUsage);
        return kExitBadUse;
    }
    snprintf(report.gamePath, sizeof report.gamePath, "%s", application);
    CheckGame(application, directory);
    int code = ConcludeReport(&report);
    PrintReport(code);
    return code;
}
