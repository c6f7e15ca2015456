/* The game's main window, the one a host looks for by its title and takes
 * into its own frame. */
#pragma once

#include <windows.h>

// Creates and shows the main window; false when it cannot be made.
bool CreateGameWindow(HINSTANCE instance);
