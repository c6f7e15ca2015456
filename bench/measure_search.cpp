// Search cost: the time of one walk of the top-level windows by the host's
// own FindGameWindow, with 10, 1,000 and 5,000 windows of another program
// present.  The walk is made for a game process whose only window has
// another title, so that it goes to the end of the list, reading one title
// on the way: what every poll before the game window appears costs.  The
// same search made through EnumWindows, which takes the list of windows
// once, is timed beside it.
#include <stdio.h>
#include <string.h>

#include "bench_measures.h"
#include "bench_support.h"
#include "host/game_contract.h"
#include "host/game_search.h"

static const DWORD kCrowdReadyMs = 300000;

static int CountTopLevelWindows() {
    int count = 0;
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, nullptr, nullptr)) != nullptr) count++;
    return count;
}

struct EnumSearch {
    DWORD processId;
    HWND found;
};

static BOOL CALLBACK CheckWindow(HWND window, LPARAM parameter) {
    EnumSearch *search = (EnumSearch *)parameter;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) return TRUE;
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    if (strstr(title, kGameWindowTitle) == nullptr) return TRUE;
    search->found = window;
    return FALSE;
}

static HWND EnumGameWindow(DWORD processId) {
    EnumSearch search = {processId, nullptr};
    EnumWindows(CheckWindow, (LPARAM)&search);
    return search.found;
}

struct WalkCost {
    int windows = 0;
    int walks = 0;
    double medianMs = 0;
    double maxMs = 0;
    double enumMedianMs = 0;
    double crowdStartMs = 0;
    bool foundNothing = true;
};

static bool MeasureWalks(int crowd, DWORD gameProcess, WalkCost *cost) {
    char eventName[64];
    snprintf(eventName, sizeof eventName, "GameHostBenchCrowd%lu-%d", GetCurrentProcessId(), crowd);
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, eventName);
    HANDLE end = CreateEventA(nullptr, TRUE, FALSE, (std::string(eventName) + "-end").c_str());
    StartedProgram helper;
    long long before = CounterNow();
    bool started = StartProgram(BinDirectory() + "bench_window_crowd.exe", Format("%d %s", crowd, eventName),
                                BinDirectory(), &helper);
    HANDLE waits[2] = {ready, helper.process};
    bool crowdReady = started && WaitForMultipleObjects(2, waits, FALSE, kCrowdReadyMs) == WAIT_OBJECT_0;
    cost->crowdStartMs = TicksToMs(CounterNow() - before);
    if (crowdReady) {
        cost->windows = CountTopLevelWindows();
        std::vector<double> walkMs, enumMs;
        double total = 0;
        // Enough walks for a steady median, within about two seconds.
        while (walkMs.size() < 5 || (walkMs.size() < 200 && total < 2000)) {
            long long start = CounterNow();
            HWND found = FindGameWindow(gameProcess);
            double elapsed = TicksToMs(CounterNow() - start);
            if (found != nullptr) cost->foundNothing = false;
            walkMs.push_back(elapsed);
            total += elapsed;
            start = CounterNow();
            if (EnumGameWindow(gameProcess) != nullptr) cost->foundNothing = false;
            enumMs.push_back(TicksToMs(CounterNow() - start));
        }
        cost->walks = (int)walkMs.size();
        cost->medianMs = Median(walkMs);
        cost->maxMs = Percentile(walkMs, 100);
        cost->enumMedianMs = Median(enumMs);
    }
    SetEvent(end);
    WaitForProgramExit(helper, 20000);
    EndProgram(&helper);
    CloseHandle(ready);
    CloseHandle(end);
    return crowdReady;
}

bool MeasureSearch(const BenchOptions &options, BenchResults *results) {
    Progress("search: walks with 10, 1000 and 5000 other windows");
    std::string folder = options.workFolder + "search\\";
    StartedProgram game;
    if (!MakeFreshFolder(folder) || !CopyFromBin("fixture_game.exe", folder, "fixture_game.exe") ||
        !WriteText(folder + "fixture-game.txt", "title=Loading\nlifetime_ms=600000\n") ||
        !StartProgram(folder + "fixture_game.exe", "", folder, &game)) {
        results->notes.push_back("search: could not start the stand-in game");
        return false;
    }
    FixtureWindow gameWindow;
    ULONGLONG deadline = GetTickCount64() + 30000;
    while (!ReadFixtureWindow(folder, &gameWindow) && GetTickCount64() < deadline) Sleep(10);

    const int crowds[] = {10, 1000, 5000};
    WalkCost costs[3];
    bool measured = gameWindow.window != nullptr;
    for (int i = 0; i < 3 && measured; i++) {
        measured = MeasureWalks(crowds[i], game.id, &costs[i]);
        if (measured)
            Progress(Format("search: %d windows walked in %.2f ms (crowd made in %.0f ms)", costs[i].windows,
                            costs[i].medianMs, costs[i].crowdStartMs));
    }
    EndProgram(&game);
    if (!measured) {
        results->rows.push_back({"3", "Search: one walk of the top-level windows", "not measured", "", "", "",
                                 "not measured"});
        return false;
    }
    for (int i = 0; i < 3; i++) {
        const WalkCost &cost = costs[i];
        double perWindowUs = cost.medianMs * 1000.0 / cost.windows;
        std::string growth = Format("%.1f of EnumWindows", cost.medianMs / cost.enumMedianMs);
        if (i != 0)
            growth += Format("; %.1fx the time of the first row for %.1fx the windows",
                             cost.medianMs / costs[0].medianMs, (double)cost.windows / costs[0].windows);
        results->rows.push_back(
            {"3", Format("Search: one walk with %d other windows (%d top-level in all; median of %d walks)",
                         crowds[i], cost.windows, cost.walks),
             Format("%.3f ms (max %.3f; %.1f us per window)", cost.medianMs, cost.maxMs, perWindowUs),
             Format("EnumWindows, same checks: %.3f ms", cost.enumMedianMs), growth, "well under the 100 ms poll",
             cost.medianMs < 10.0 ? "meets" : cost.medianMs < 100.0 ? "approaches the poll" : "exceeds the poll"});
        if (!cost.foundNothing) results->notes.push_back("search: a walk found a window it should not have");
    }
    return true;
}
