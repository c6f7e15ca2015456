/* A game window made a borderless popup owned by another window and laid
 * over that window's client area.  It stays a top-level window of the game
 * process; the owner link makes the system keep it above its owner and hide
 * and show it with the owner. */
#include "host/game_frame.h"

static const LONG_PTR kFrameAndStateStyles =
    WS_MINIMIZE | WS_MAXIMIZE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;

LONG_PTR FramedGameStyle(LONG_PTR style) {
    return (style & ~kFrameAndStateStyles) | (LONG_PTR)(DWORD)WS_POPUP;
}

bool GameWindowNeedsFit(HWND owner, HWND game, RECT *place) {
    if (owner == nullptr || game == nullptr || !IsWindow(game) || IsIconic(owner)) return false;
    RECT client;
    GetClientRect(owner, &client);
    POINT origin = {0, 0};
    ClientToScreen(owner, &origin);
    *place = RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    RECT placed;
    GetWindowRect(game, &placed);
    return !EqualRect(&placed, place);
}

void PlaceGameWindow(HWND game, const RECT &place) {
    MoveWindow(game, place.left, place.top, place.right - place.left, place.bottom - place.top, TRUE);
}

void FrameGameWindow(HWND owner, HWND game) {
    SetWindowLongPtrA(game, GWLP_HWNDPARENT, (LONG_PTR)owner);
    SetWindowLongPtrA(game, GWL_STYLE, FramedGameStyle(GetWindowLongPtrA(game, GWL_STYLE)));
    FitGameWindow(owner, game);
    ShowWindow(game, SW_SHOW);
}

void FitGameWindow(HWND owner, HWND game) {
    RECT place;
    if (GameWindowNeedsFit(owner, game, &place)) PlaceGameWindow(game, place);
}
