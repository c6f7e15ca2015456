/* The game started, awaited and searched for as the host does it, with each
 * step timed from the start; and its end. */
#ifndef GAMECHECK_GAME_RUN_H
#define GAMECHECK_GAME_RUN_H

#include <windows.h>

#include "check_report.h"

struct GameRun {
    PROCESS_INFORMATION process;
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    /* Filled by the search. */
    int polls;
    int firstFoundPoll;
    long long firstFoundMs;
    HWND firstFound;
    int firstAnswerPoll;
    long long firstAnswerMs;
    bool hungMarked;
};

/* Milliseconds since just before the game was started. */
long long MsSinceStart(const GameRun &run);

/* The "started" point: CreateProcessA as the host calls it.  directory ends
 * with a backslash. */
bool StartGame(char *application, const char *directory, GameRun *run, CheckReport *report);

/* The "input-idle" point. */
void AwaitReadiness(GameRun *run, CheckReport *report);

/* The "window" and "answers" points, and the near misses when no window is
 * found; the window the host would hand over, or null. */
HWND SearchLikeTheHost(GameRun *run, CheckReport *report);

/* The "ends" point: TerminateProcess with exit code 0, as the host's close. */
void EndGame(GameRun *run, CheckReport *report);

#endif
