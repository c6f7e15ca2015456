/* The start of the game and the search for its window, exactly as the host
 * makes them: the start-up information, the readiness wait, the poll, the
 * window test and the answer a window must give before it is handed over.
 * Free of the host's state, so that the launcher thread and the contract
 * checker for game teams run the same code. */
#ifndef GAMEHOST_GAME_SEARCH_H
#define GAMEHOST_GAME_SEARCH_H

#include <windows.h>

/* CreateProcessA of the game image: no arguments of its own, no inherited
 * handles, directory as its current directory, its first window hidden.
 * On failure *process is cleared and GetLastError tells why. */
bool StartGameImage(char *application, const char *directory, PROCESS_INFORMATION *process);

/* The readiness wait and its bound; the result of WaitForInputIdle, which
 * the host does not examine. */
DWORD WaitForGameReadiness(HANDLE game);

/* One walk over the top-level windows for the game window of the process. */
HWND FindGameWindow(DWORD processId);

/* Whether the window answers a message within one poll interval; a window
 * that does not is never handed over. */
bool GameWindowAnswers(HWND window);

/* Told after every walk of the search: the poll's number from 1, the window
 * that walk found (null: none) and whether it answered. */
typedef void (*GamePollWatcher)(void *context, int poll, HWND found, bool answers);

/* The host's search: up to kMaximumPolls polls, kPollIntervalMs apart, for a
 * found window that answers.  processId is read before every walk; 0 ends
 * the search.  watcher may be null. */
HWND SearchForGameWindow(DWORD (*processId)(void *context), GamePollWatcher watcher, void *context);

#endif
