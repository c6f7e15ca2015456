/* What adoption does to a game window, whoever the owner is: the host's
 * window, or the contract checker's test window. */
#ifndef GAMEHOST_GAME_FRAME_H
#define GAMEHOST_GAME_FRAME_H

#include <windows.h>

/* The style a framed game window bears: a popup without caption, borders,
 * system menu or minimised and maximised state. */
LONG_PTR FramedGameStyle(LONG_PTR style);

/* Where the game window belongs: the owner's client area on the screen.
 * False, and no place, while the owner is minimised or either window is
 * gone, or when the game window already lies there (read from the system's
 * own copy, so no message goes to the game). */
bool GameWindowNeedsFit(HWND owner, HWND game, RECT *place);

/* The synchronous move, so that the game is in place when the owner's own
 * move returns. */
void PlaceGameWindow(HWND game, const RECT &place);

/* The owner link, the framed style, the fit and the show, at once: for a
 * game that has just answered. */
void FrameGameWindow(HWND owner, HWND game);

/* Lays the game window over the owner's client area. */
void FitGameWindow(HWND owner, HWND game);

#endif
