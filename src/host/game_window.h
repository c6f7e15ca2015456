/* Adoption of the game window and its layout over the host's client area. */
#ifndef GAMEHOST_GAME_WINDOW_H
#define GAMEHOST_GAME_WINDOW_H

#include <windows.h>

void AdoptGameWindow(HWND host, HWND game);

/* The host's own events, as far as the game window follows them. */
void OnHostSize(HWND host, WPARAM sizeKind);
void OnHostPositionChanged(HWND host);
void FocusGameWindow();

/* The game has read its messages again after a check found it silent. */
void OnGameWindowAnswers(HWND host);

/* Carries out a minimise, or a restore or maximise of the minimised host
 * (which then comes back at its last size, neither raised nor activated),
 * when the game does not answer; false when the system's own handling is
 * to do it. */
bool OnHostMinimiseOrRestore(HWND host, WPARAM command);

#endif
