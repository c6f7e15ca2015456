/* The short loading splash shown before the game window. */
#pragma once

#include <windows.h>

// Shows the splash for about 1.3 s, pumping messages, and destroys it.
void RunSplash(HINSTANCE instance);
