/* The game launcher thread: starts the game process, waits for it to become
 * ready and searches for its window; and the end of that process when the
 * host closes. */
#ifndef GAMEHOST_GAME_LAUNCHER_H
#define GAMEHOST_GAME_LAUNCHER_H

#include <windows.h>

/* Started once, from the host window's creation; hostWindow must be set. */
DWORD WINAPI GameLauncherThread(LPVOID unused);

/* Ends the game process, if any, and keeps the launcher thread from starting
 * one from now on.  Main thread, on close. */
void EndGameProcess();

#endif
