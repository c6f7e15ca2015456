/* What the host relies on in the game: its image, its window's title, how
 * long the host waits for it, and the message that hands its window over. */
#ifndef GAMEHOST_GAME_CONTRACT_H
#define GAMEHOST_GAME_CONTRACT_H

#include <windows.h>

const UINT WM_GAME_WINDOW_FOUND = WM_USER + 1;
/* Posted to the host window by the host itself. */
const UINT WM_GAME_WINDOW_ANSWERS = WM_USER + 2;

const char kGameWindowTitle[] = "Tarnwick 3D";
const DWORD kInputIdleWaitMs = 10000;
const DWORD kPollIntervalMs = 100;
const int kMaximumPolls = 100;

#endif
