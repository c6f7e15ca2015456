/* The host's own start and search (host/game_search.cpp), watched: every
 * step is timed, and a search that finds nothing is followed by a look at
 * what the game did make instead. */
#include "game_run.h"

#include <string.h>

#include "host/game_contract.h"
#include "host/game_search.h"

/* After a search that found nothing, the checker watches as long again for
 * a titled window that comes too late: as long as the search took, and at
 * least its nominal time. */
static const DWORD kLateWatchMs = kMaximumPolls * kPollIntervalMs;
static const DWORD kEndWaitMs = 10000;

long long MsSinceStart(const GameRun &run) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (now.QuadPart - run.start.QuadPart) * 1000 / run.frequency.QuadPart;
}

/* The system's text for the error, its "%1" naming the game image. */
static void SystemErrorText(DWORD error, char *text, size_t size) {
    char message[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  message, (DWORD)sizeof message, nullptr);
    while (length > 0 && (message[length - 1] == '\n' || message[length - 1] == '\r' ||
                          message[length - 1] == ' ' || message[length - 1] == '.'))
        message[--length] = '\0';
    if (length == 0) snprintf(message, sizeof message, "no text for this error");
    const char *insert = strstr(message, "%1");
    if (insert == nullptr) snprintf(text, size, "%s", message);
    else snprintf(text, size, "%.*sthe game image%s", (int)(insert - message), message, insert + 2);
}

bool StartGame(char *application, const char *directory, GameRun *run, CheckReport *report) {
    QueryPerformanceFrequency(&run->frequency);
    QueryPerformanceCounter(&run->start);
    if (!StartGameImage(application, directory, &run->process)) {
        DWORD error = GetLastError();
        char text[512];
        SystemErrorText(error, text, sizeof text);
        Judge(report, PointStarted, VerdictFail, "CreateProcessA failed with error %lu: %s", error, text);
        AddMeasure(report, PointStarted, "error", error);
        return false;
    }
    Judge(report, PointStarted, VerdictPass,
          "process %lu; null command line, current directory %s, first window hidden (SW_HIDE)",
          run->process.dwProcessId, directory);
    AddMeasure(report, PointStarted, "process_id", run->process.dwProcessId);
    return true;
}

static bool GameHasEnded(const GameRun &run, DWORD *code) {
    if (WaitForSingleObject(run.process.hProcess, 0) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(run.process.hProcess, code);
    return true;
}

void AwaitReadiness(GameRun *run, CheckReport *report) {
    DWORD result = WaitForGameReadiness(run->process.hProcess);
    DWORD error = GetLastError();
    long long ms = MsSinceStart(*run);
    DWORD code = 0;
    if (result == 0) {
        Judge(report, PointInputIdle, VerdictPass, "idle for input after %lld ms", ms);
        AddMeasure(report, PointInputIdle, "after_ms", ms);
    } else if (result == WAIT_TIMEOUT) {
        Judge(report, PointInputIdle, VerdictFail,
              "the %lu ms bound ran out: the game never waited for input with none pending, so the host "
              "waits the whole bound before it searches",
              kInputIdleWaitMs);
        AddMeasure(report, PointInputIdle, "bound_ms", kInputIdleWaitMs);
    } else if (GameHasEnded(*run, &code)) {
        Judge(report, PointInputIdle, VerdictFail, "the game ended by itself with exit code %lu after %lld ms", code,
              ms);
        AddMeasure(report, PointInputIdle, "exit_code", code);
    } else {
        Judge(report, PointInputIdle, VerdictFail, "WaitForInputIdle failed with error %lu after %lld ms", error, ms);
        AddMeasure(report, PointInputIdle, "error", error);
    }
}

/* ---- the search ---------------------------------------------------------- */

static DWORD RunProcessId(void *context) {
    return ((const GameRun *)context)->process.dwProcessId;
}

static void WatchPoll(void *context, int poll, HWND found, bool answers) {
    GameRun *run = (GameRun *)context;
    run->polls = poll;
    if (found == nullptr) return;
    if (run->firstFound == nullptr) {
        run->firstFound = found;
        run->firstFoundPoll = poll;
        run->firstFoundMs = MsSinceStart(*run);
    }
    if (IsHungAppWindow(found)) run->hungMarked = true;
    if (answers) {
        run->firstAnswerPoll = poll;
        run->firstAnswerMs = MsSinceStart(*run);
    }
}

/* The whole title, which may be longer than what the host reads. */
static int FullTitle(HWND window, char *title, int size) {
    title[0] = '\0';
    return GetWindowTextA(window, title, size);
}

static const char *FindIgnoringCase(const char *text, const char *part) {
    size_t length = strlen(part);
    for (const char *at = text; *at != '\0'; at++)
        if (_strnicmp(at, part, length) == 0) return at;
    return nullptr;
}

static bool AlreadyListed(const CheckReport &report, HWND window, NearMissKind kind) {
    for (int i = 0; i < report.nearMissCount; i++)
        if (report.nearMisses[i].window == window && report.nearMisses[i].kind == kind) return true;
    return false;
}

static int CountNearMisses(const CheckReport &report, bool ofOtherProcesses) {
    int count = 0;
    for (int i = 0; i < report.nearMissCount; i++)
        if ((report.nearMisses[i].kind == MissOtherProcess) == ofOtherProcesses) count++;
    return count;
}

static void ListNearMiss(CheckReport *report, const GameRun &run, HWND window, DWORD processId, NearMissKind kind,
                         const char *title, const char *match) {
    if (AlreadyListed(*report, window, kind)) return;
    bool other = kind == MissOtherProcess;
    if (CountNearMisses(*report, other) >= (other ? kMaxOtherProcessNearMisses : kMaxOwnNearMisses)) {
        report->nearMissesLeftOut = true;
        return;
    }
    NearMiss &miss = report->nearMisses[report->nearMissCount++];
    miss.kind = kind;
    miss.window = window;
    miss.processId = processId;
    miss.afterStartMs = MsSinceStart(run);
    miss.matchAt = match == nullptr ? 0 : (int)(match - title) + 1;
    snprintf(miss.title, sizeof miss.title, "%s", title);
}

/* Windows the system makes for every thread with a message queue; they are
 * no attempt of the game's at its window. */
static bool SystemMadeWindow(HWND window) {
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    return strcmp(className, "IME") == 0 || strcmp(className, "MSCTFIME UI") == 0;
}

/* One walk, as the host's, but over every top-level window: what the game
 * process made instead of the titled window, and the title on windows of
 * other processes.  True when the titled window of the game is there. */
static bool LookForNearMisses(const GameRun &run, CheckReport *report) {
    bool titled = false;
    DWORD self = GetCurrentProcessId();
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, nullptr, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == self) continue;
        char title[kTitleSize];
        FullTitle(window, title, sizeof title);
        char read[256];
        snprintf(read, sizeof read, "%s", title);
        const char *found = strstr(read, kGameWindowTitle);
        const char *inRead = found == nullptr ? nullptr : title + (found - read);
        if (owner != run.process.dwProcessId) {
            if (inRead != nullptr) ListNearMiss(report, run, window, owner, MissOtherProcess, title, inRead);
            continue;
        }
        const char *inFull = strstr(title, kGameWindowTitle);
        const char *otherCase = FindIgnoringCase(title, kGameWindowTitle);
        if (inRead != nullptr) {
            titled = true;
            ListNearMiss(report, run, window, owner, MissTooLate, title, inRead);
        } else if (inFull != nullptr) {
            ListNearMiss(report, run, window, owner, MissBeyond255, title, inFull);
        } else if (otherCase != nullptr) {
            ListNearMiss(report, run, window, owner, MissLetterCase, title, otherCase);
        } else if (!SystemMadeWindow(window)) {
            ListNearMiss(report, run, window, owner, MissOtherTitle, title, nullptr);
        }
    }
    return titled;
}

/* A titled window that comes now is one the host never takes. */
static void WatchAfterSearch(const GameRun &run, CheckReport *report, long long searchMs) {
    DWORD watchMs = searchMs > (long long)kLateWatchMs ? (DWORD)searchMs : kLateWatchMs;
    DWORD began = GetTickCount();
    DWORD code = 0;
    while (GetTickCount() - began < watchMs && !GameHasEnded(run, &code)) {
        if (LookForNearMisses(run, report)) return;
        Sleep(kPollIntervalMs);
    }
}

static void JudgeFoundWindow(const GameRun &run, HWND handedOver, CheckReport *report) {
    char title[kTitleSize];
    char quoted[kTitleSize + 64];
    FullTitle(run.firstFound, title, sizeof title);
    QuoteTitle(title, quoted, sizeof quoted);
    Judge(report, PointWindow, VerdictPass, "window 0x%llX titled %s, found at poll %d, %lld ms after the start",
          (unsigned long long)(ULONG_PTR)run.firstFound, quoted, run.firstFoundPoll, run.firstFoundMs);
    AddMeasure(report, PointWindow, "poll", run.firstFoundPoll);
    AddMeasure(report, PointWindow, "after_ms", run.firstFoundMs);
    if (handedOver != nullptr) {
        Judge(report, PointAnswers, VerdictPass, "first answer at poll %d, %lld ms after the start",
              run.firstAnswerPoll, run.firstAnswerMs);
        AddMeasure(report, PointAnswers, "poll", run.firstAnswerPoll);
        AddMeasure(report, PointAnswers, "after_ms", run.firstAnswerMs);
        return;
    }
    Judge(report, PointAnswers, VerdictFail,
          "no answer to WM_NULL within %lu ms at any of polls %d to %d%s: the host does not hand over a window "
          "that does not answer",
          kPollIntervalMs, run.firstFoundPoll, run.polls, run.hungMarked ? " (the system marks it hung)" : "");
    AddMeasure(report, PointAnswers, "polls_without_answer", run.polls - run.firstFoundPoll + 1);
}

HWND SearchLikeTheHost(GameRun *run, CheckReport *report) {
    long long began = MsSinceStart(*run);
    HWND handedOver = SearchForGameWindow(RunProcessId, WatchPoll, run);
    long long ended = MsSinceStart(*run);
    if (run->firstFound != nullptr) {
        JudgeFoundWindow(*run, handedOver, report);
        return handedOver;
    }
    Judge(report, PointWindow, VerdictFail,
          "no top-level window of the game process titled with \"%s\" in its first 255 characters in %d polls "
          "(%lld to %lld ms after the start)",
          kGameWindowTitle, run->polls, began, ended);
    AddMeasure(report, PointWindow, "polls", run->polls);
    AddMeasure(report, PointWindow, "search_ended_ms", ended);
    LookForNearMisses(*run, report);
    WatchAfterSearch(*run, report, ended - began);
    if (report->nearMissesLeftOut)
        AddDetail(report, PointWindow, "; near misses (more were seen: at most %d of the game process and %d of "
                                       "other processes are listed):",
                  kMaxOwnNearMisses, kMaxOtherProcessNearMisses);
    else if (report->nearMissCount > 0) AddDetail(report, PointWindow, "; near misses:");
    else AddDetail(report, PointWindow, "; no near misses: the game made no top-level window");
    return nullptr;
}

void EndGame(GameRun *run, CheckReport *report) {
    DWORD code = 0;
    if (GameHasEnded(*run, &code)) {
        Judge(report, PointEnds, VerdictFail,
              "the game ended by itself with exit code %lu; the host expects it to run until it is ended", code);
        AddMeasure(report, PointEnds, "exit_code", code);
    } else if (!TerminateProcess(run->process.hProcess, 0)) {
        Judge(report, PointEnds, VerdictFail, "TerminateProcess failed with error %lu", GetLastError());
    } else if (WaitForSingleObject(run->process.hProcess, kEndWaitMs) != WAIT_OBJECT_0) {
        Judge(report, PointEnds, VerdictFail, "still running %lu ms after TerminateProcess", kEndWaitMs);
    } else {
        GetExitCodeProcess(run->process.hProcess, &code);
        Judge(report, PointEnds, code == 0 ? VerdictPass : VerdictFail,
              "ended by TerminateProcess, exit code %lu", code);
        AddMeasure(report, PointEnds, "exit_code", code);
    }
    CloseHandle(run->process.hThread);
    CloseHandle(run->process.hProcess);
    run->process = PROCESS_INFORMATION{};
}
