/* The game process and the search for its window, on a thread of their own
 * so that the host window stays responsive while the game starts.
 *
 * gameProcess is shared with the main thread, which ends the game when the
 * host closes.  A lock around its publication and a closing flag make sure
 * that a game started at any moment of the close is ended too: the game is
 * either started before the close takes the lock, and so ended by it, or not
 * started at all. */
#include "host/game_launcher.h"

#include "host/game_contract.h"
#include "host/game_search.h"
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
    AcquireSRWLockExclusive(&gameProcessLock);
    *closing = hostClosing;
    bool started = !hostClosing && StartGameImage(application, directory, &hostState.gameProcess);
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

/* The search reads the identifier before every walk. */
static DWORD SearchedGameProcessId(void *) {
    return GameProcessId();
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
    if (game != nullptr) WaitForGameReadiness(game);
    HWND found = SearchForGameWindow(SearchedGameProcessId, nullptr, nullptr);
    if (found != nullptr) PostMessageA(hostState.hostWindow, WM_GAME_WINDOW_FOUND, (WPARAM)found, 0);
    if (game != nullptr) CloseHandle(game);
    return 0;
}
