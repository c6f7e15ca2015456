/* A test window of the checker's own that plays the host window: the game
 * window is taken into it by the host's adoption code, then the window is
 * moved, resized, minimised and restored. */
#ifndef GAMECHECK_TEST_OWNER_H
#define GAMECHECK_TEST_OWNER_H

#include <windows.h>

#include "check_report.h"

/* The "frame" point. */
void CheckFrame(HWND game, CheckReport *report);

/* The "hide-show" point; after CheckFrame. */
void CheckHideShow(HWND game, CheckReport *report);

/* Destroys the test windows. */
void CloseTestOwner();

#endif
