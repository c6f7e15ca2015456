/* Entry point of the sample game: the loading splash, then the game window
 * and its message loop until the window is closed. It takes no arguments
 * and reads no files. */
#include <windows.h>

#include "game_window.h"
#include "splash.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RunSplash(instance);
    if (!CreateGameWindow(instance)) return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
