/* The host's own top-level window and its window procedure. */
#ifndef GAMEHOST_HOST_WINDOW_H
#define GAMEHOST_HOST_WINDOW_H

#include <windows.h>

/* Registers the class, creates the centred window and shows it.  False,
 * silently, when registration or creation fails. */
bool CreateHostWindow(HINSTANCE instance, int showCommand);

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
