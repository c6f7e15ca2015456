/* The game process and the search for its window, on a thread of their own
 * so that the host window stays responsive while the game starts.
 *
 * gameProcess is shared with the main thread, which ends the game when the
 * host closes.  A lock around its publication and a closing flag make sure
 * that a game started at any moment of the close is ended too: the game is
 * either started before the close takes the lock, and so ended by it, or not
 * started at all. */
#include "host/game_launcher.h"

#include <string.h>

#include "host/game_contract.h"
#include "startup/host_state.h"

static const char kMissingGameText[] =
    "Thieu file data game, vui long tai lai game tren trang chu!";

static SRWLOCK gameProcessLock = SRWLOCK_INIT;
static bool hostClosing = false; /* guarded by gameProcessLock */

/* Starts the game unless the host is closing.  On success the thread gets a
 * handle of its own for the readiness wait, since the main thread may close
 * the shared one at any moment. */
static bool StartGameProcess(char *application, const char *directory, HANDLE *ownHandle,
                             bool *closing) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;

    AcquireSRWLockExclusive(&gameProcessLock);
    *closing = hostClosing;
    bool started = false;
    if (!hostClosing) {
        started = CreateProcessA(application, nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                                 directory, &startup, &hostState.gameProcess) != 0;
        if (!started) hostState.gameProcess = PROCESS_INFORMATION{};
    }
    if (started && !DuplicateHandle(GetCurrentProcess(), hostState.gameProcess.hProcess,
                                    GetCurrentProcess(), ownHandle, 0, FALSE, DUPLICATE_SAME_ACCESS))
        *ownHandle = nullptr;
    ReleaseSRWLockExclusive(&gameProcessLock);
    return started;
}

/* 0 once the host has ended the game. */
static DWORD GameProcessId() {
    AcquireSRWLockShared(&gameProcessLock);
    DWORD id = hostState.gameProcess.dwProcessId;
    ReleaseSRWLockShared(&gameProcessLock);
    return id;
}

void EndGameProcess() {
    AcquireSRWLockExclusive(&gameProcessLock);
    hostClosing = true;
    PROCESS_INFORMATION &game = hostState.gameProcess;
    if (game.hProcess != nullptr) {
        TerminateProcess(game.hProcess, 0);
        CloseHandle(game.hThread);
        CloseHandle(game.hProcess);
        game = PROCESS_INFORMATION{};
    }
    ReleaseSRWLockExclusive(&gameProcessLock);
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
 * once it has answered a message, and this thread is the one that waits.
 * The system's own hung mark comes first: it costs no wait. */
static bool GameWindowAnswers(HWND window) {
    if (IsHungAppWindow(window)) return false;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                               kPollIntervalMs, &ignored) != 0;
}

static HWND SearchForGameWindow() {
    for (int poll = 0; poll < kMaximumPolls; poll++) {
        Sleep(kPollIntervalMs);
        DWORD processId = GameProcessId();
        if (processId == 0) return nullptr;
        HWND found = FindGameWindow(processId);
        if (found != nullptr && GameWindowAnswers(found)) return found;
    }
    return nullptr;
}

DWORD WINAPI GameLauncherThread(LPVOID) {
    char directory[MAX_PATH];
    char application[MAX_PATH];
    HANDLE game = nullptr;
    bool closing = false;
    /* A folder too long for the path buffers cannot hold a startable game;
     * it is treated like a missing one. */
    bool started = ModuleDirectory(directory) &&
                   JoinPath(directory, hostState.gameImageName, application) &&
                   StartGameProcess(application, directory, &game, &closing);
    if (!started) {
        if (!closing)
            MessageBoxA(hostState.hostWindow, kMissingGameText, "Loi", MB_ICONERROR | MB_OK);
        return 0;
    }
    if (game != nullptr) WaitForInputIdle(game, kInputIdleWaitMs);
    HWND found = SearchForGameWindow();
    if (found != nullptr) PostMessageA(hostState.hostWindow, WM_GAME_WINDOW_FOUND, (WPARAM)found, 0);
    if (game != nullptr) CloseHandle(game);
    return 0;
}
