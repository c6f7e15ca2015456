/* The game window inside the host: a borderless popup owned by the host
 * window, laid over its client area.  It stays a top-level window of the
 * game process; the owner link makes the system keep it above the host and
 * hide and show it with the host. */
#include "host/game_window.h"

#include "startup/host_state.h"

/* Caption, borders, system menu and the minimised and maximised state. */
static const LONG_PTR kFrameAndStateStyles =
    WS_MINIMIZE | WS_MAXIMIZE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;

static bool GameWindowValid() {
    return hostState.gameWindow != nullptr && IsWindow(hostState.gameWindow);
}

void AdoptGameWindow(HWND host, HWND game) {
    /* Stored before any check, so a window that is already gone is still
     * the one adopted, and no other is ever taken. */
    hostState.gameWindow = game;
    if (!GameWindowValid()) return;
    SetWindowLongPtrA(game, GWLP_HWNDPARENT, (LONG_PTR)host);
    LONG_PTR style = GetWindowLongPtrA(game, GWL_STYLE);
    SetWindowLongPtrA(game, GWL_STYLE, (style & ~kFrameAndStateStyles) | (LONG_PTR)(DWORD)WS_POPUP);
    FitGameWindow(host, game);
    ShowWindow(game, SW_SHOW);
}

void FitGameWindow(HWND host, HWND game) {
    if (host == nullptr || game == nullptr || !IsWindow(game) || IsIconic(host)) return;
    RECT client;
    GetClientRect(host, &client);
    POINT origin = {0, 0};
    ClientToScreen(host, &origin);
    MoveWindow(game, origin.x, origin.y, client.right, client.bottom, TRUE);
}

void OnHostSize(HWND host, WPARAM sizeKind) {
    if (!GameWindowValid()) return;
    if (sizeKind == SIZE_MINIMIZED) {
        ShowWindow(hostState.gameWindow, SW_HIDE);
        return;
    }
    ShowWindow(hostState.gameWindow, SW_SHOW);
    FitGameWindow(host, hostState.gameWindow);
}

void OnHostPositionChanged(HWND host) {
    if (GameWindowValid()) FitGameWindow(host, hostState.gameWindow);
}

void FocusGameWindow() {
    if (GameWindowValid()) SetFocus(hostState.gameWindow);
}
