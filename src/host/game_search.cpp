/* How the host starts its game and finds the game's window: one copy, used
 * by the launcher thread and by the contract checker. */
#include "host/game_search.h"

#include <string.h>

#include "host/game_contract.h"

bool StartGameImage(char *application, const char *directory, PROCESS_INFORMATION *process) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    bool started = CreateProcessA(application, nullptr, nullptr, nullptr, FALSE, 0, nullptr, directory,
                                  &startup, process) != 0;
    /* The assignment leaves the thread's last error as CreateProcessA set it. */
    if (!started) *process = PROCESS_INFORMATION{};
    return started;
}

DWORD WaitForGameReadiness(HANDLE game) {
    return WaitForInputIdle(game, kInputIdleWaitMs);
}

HWND FindGameWindow(DWORD processId) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, nullptr, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != processId) continue;
        /* For a window of another process this reads the stored title
         * without sending it a message, so a hung game cannot hold us. */
        char title[256] = {};
        GetWindowTextA(window, title, sizeof title);
        if (strstr(title, kGameWindowTitle) != nullptr) return window;
    }
    return nullptr;
}

/* Adoption changes the game window's owner and style, which waits on the
 * game's own thread; a game that has stopped reading its messages would hold
 * the host's main thread there for ever.  So the window is handed over only
 * once it has answered a message, and the searching thread is the one that
 * waits.  The system's own hung mark comes first: it costs no wait. */
bool GameWindowAnswers(HWND window) {
    if (IsHungAppWindow(window)) return false;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kPollIntervalMs,
                               &ignored) != 0;
}

HWND SearchForGameWindow(DWORD (*processId)(void *context), GamePollWatcher watcher, void *context) {
    for (int poll = 0; poll < kMaximumPolls; poll++) {
        Sleep(kPollIntervalMs);
        DWORD id = processId(context);
        if (id == 0) return nullptr;
        HWND found = FindGameWindow(id);
        bool answers = found != nullptr && GameWindowAnswers(found);
        if (watcher != nullptr) watcher(context, poll + 1, found, answers);
        if (answers) return found;
    }
    return nullptr;
}
