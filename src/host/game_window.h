/* Adoption of the game window and its layout over the host's client area. */
#ifndef GAMEHOST_GAME_WINDOW_H
#define GAMEHOST_GAME_WINDOW_H

#include <windows.h>

void AdoptGameWindow(HWND host, HWND game);
void FitGameWindow(HWND host, HWND game);

/* The host's own events, as far as the game window follows them. */
void OnHostSize(HWND host, WPARAM sizeKind);
void OnHostPositionChanged(HWND host);
void FocusGameWindow();

#endif
