/* The game window inside the host: adopted once, then kept over the host's
 * client area (game_frame.cpp says what adoption does to it).
 *
 * Every call into the game window (its owner, style, place, visibility and
 * focus) waits until the game's thread has handled it, and a game that has
 * stopped reading its messages would hold the main thread there for good.
 * So a call is made only when it would change something and the game has
 * just answered; a silent game is left as it is until it answers again,
 * when its adoption is completed or it is laid over the client area anew. */
#include "host/game_window.h"

#include "host/game_contract.h"
#include "host/game_frame.h"
#include "host/game_search.h"
#include "startup/host_state.h"

/* Main thread only. */
static bool gameAdopted = false;
/* A check found the game silent and its answer to a later message is
 * awaited; until it comes, no call and no further check is made, so that a
 * silent game costs one bounded wait rather than one per host message. */
static bool answerAwaited = false;

static bool GameWindowValid() {
    return hostState.gameWindow != nullptr && IsWindow(hostState.gameWindow);
}

/* Called on the main thread, from its message retrieval, once the game has
 * handled the message. */
static void CALLBACK OnGameAnswer(HWND, UINT, ULONG_PTR, LRESULT) {
    PostMessageA(hostState.hostWindow, WM_GAME_WINDOW_ANSWERS, 0, 0);
}

/* True when the game has just answered, so that a call into its window now
 * returns at once.  A hang that begins after the answer and before the call
 * still holds the call. */
static bool GameWindowFree(HWND game) {
    if (answerAwaited) return false;
    if (GameWindowAnswers(game)) return true;
    /* Without a way to learn of the answer, every later host message checks
     * again, each with its bounded wait. */
    answerAwaited = SendMessageCallbackA(game, WM_NULL, 0, 0, OnGameAnswer, 0) != 0;
    return false;
}

static void FitAdoptedGame(HWND host, HWND game) {
    RECT place;
    if (GameWindowNeedsFit(host, game, &place) && GameWindowFree(game)) PlaceGameWindow(game, place);
}

static void ShowGameWindow(HWND game, bool visible) {
    if ((IsWindowVisible(game) != FALSE) == visible || !GameWindowFree(game)) return;
    ShowWindow(game, visible ? SW_SHOW : SW_HIDE);
}

/* Each step is skipped once done, so that an adoption cut short by a silent
 * game is taken up where it stopped when the game answers again. */
static void CompleteAdoption(HWND host, HWND game) {
    if (GetWindow(game, GW_OWNER) != host) {
        if (!GameWindowFree(game)) return;
        SetWindowLongPtrA(game, GWLP_HWNDPARENT, (LONG_PTR)host);
    }
    LONG_PTR style = GetWindowLongPtrA(game, GWL_STYLE);
    LONG_PTR adopted = FramedGameStyle(style);
    if (style != adopted) {
        if (!GameWindowFree(game)) return;
        SetWindowLongPtrA(game, GWL_STYLE, adopted);
    }
    /* Adopted from here on: a move of the host that arrives while the fit
     * below waits on the game is handled inside that wait, and must fit too. */
    gameAdopted = true;
    FitAdoptedGame(host, game);
    ShowGameWindow(game, true);
}

void AdoptGameWindow(HWND host, HWND game) {
    /* Stored before any check, so a window that is already gone is still
     * the one adopted, and no other is ever taken. */
    hostState.gameWindow = game;
    if (GameWindowValid()) CompleteAdoption(host, game);
}

void OnHostSize(HWND host, WPARAM sizeKind) {
    if (!gameAdopted || !GameWindowValid()) return;
    ShowGameWindow(hostState.gameWindow, sizeKind != SIZE_MINIMIZED);
    if (sizeKind != SIZE_MINIMIZED) FitAdoptedGame(host, hostState.gameWindow);
}

void OnHostPositionChanged(HWND host) {
    if (gameAdopted && GameWindowValid()) FitAdoptedGame(host, hostState.gameWindow);
}

void FocusGameWindow() {
    if (gameAdopted && GameWindowValid() && GameWindowFree(hostState.gameWindow))
        SetFocus(hostState.gameWindow);
}

void OnGameWindowAnswers(HWND host) {
    answerAwaited = false;
    if (!GameWindowValid()) return;
    if (!gameAdopted) {
        CompleteAdoption(host, hostState.gameWindow);
        return;
    }
    FitAdoptedGame(host, hostState.gameWindow);
    if (!IsIconic(host)) ShowGameWindow(hostState.gameWindow, true);
}

bool OnHostMinimiseOrRestore(HWND host, WPARAM command) {
    UINT kind = (UINT)(command & 0xFFF0);
    bool minimise = kind == SC_MINIMIZE && !IsIconic(host);
    bool fromIconic = (kind == SC_RESTORE || kind == SC_MAXIMIZE) && IsIconic(host);
    if (!minimise && !fromIconic) return false;
    /* A game not yet owned has nothing shown or hidden with the host, but
     * may hold the foreground all the same. */
    if (minimise && !gameAdopted) return false;
    if (!GameWindowValid() || GameWindowFree(hostState.gameWindow)) return false;
    /* The system's own handling of these commands hides or shows the owned
     * windows first, by sending each WM_SHOWWINDOW, which would wait on the
     * silent game; the host changes only its own state and leaves the game
     * window as it is.  It comes back where it lies in the z-order and is not
     * made the active window (and so at its last size also when asked to
     * maximise, since every command that maximises also raises): raising the
     * host raises its owned windows above it, and Wine does that with a
     * SetWindowPos on the game's thread, which waits on a silent game. */
    ShowWindow(host, minimise ? SW_MINIMIZE : SW_SHOWNOACTIVATE);
    return true;
}
