/* The test owner: a plain overlapped window whose position changes lay the
 * game window over its client area, as the host window's do; and a small
 * owned popup of the checker's own beside the game, which shows what the
 * system itself does to owned windows on this platform. */
#include "test_owner.h"

#include "host/game_frame.h"

static const char kOwnerClass[] = "GameCheckTestOwner";
static const char kReferenceClass[] = "GameCheckOwnedReference";
static const DWORD kSettleMs = 5000;
static const DWORD kActivateMs = 3000;
static const int kActivateAttempts = 4;
/* A minimise as a player makes it: a game that looks at its owner now and
 * then has the time to see it minimised. */
static const DWORD kMinimisedHoldMs = 1000;

static HWND owner = nullptr;
static HWND reference = nullptr;
static HWND framedGame = nullptr;
static bool referenceSawClosing = false;
static bool referenceSawOpening = false;

static LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_WINDOWPOSCHANGED:
        /* As in the host: not passed on, and the game follows from here. */
        if (framedGame != nullptr) FitGameWindow(window, framedGame);
        return 0;
    case WM_CLOSE:
        /* The checker closes it when it is done. */
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static LRESULT CALLBACK ReferenceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SHOWWINDOW && lParam == SW_PARENTCLOSING) referenceSawClosing = true;
    if (message == WM_SHOWWINDOW && lParam == SW_PARENTOPENING) referenceSawOpening = true;
    return DefWindowProcA(window, message, wParam, lParam);
}

/* Handles the checker's own messages until the condition holds. */
static bool PumpUntil(bool (*condition)(), DWORD milliseconds) {
    DWORD began = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (condition()) return true;
        if (GetTickCount() - began >= milliseconds) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

static RECT ClientOnScreen(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, (POINT *)&client, 2);
    return client;
}

static RECT WindowRectOf(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

static bool GameFits() {
    RECT client = ClientOnScreen(owner);
    RECT placed = WindowRectOf(framedGame);
    return EqualRect(&client, &placed) != FALSE;
}
static bool OwnerActive() { return GetForegroundWindow() == owner; }
static bool OwnerRestored() { return !IsIconic(owner); }
static bool ReferenceHidden() { return IsIconic(owner) && !IsWindowVisible(reference); }
static bool ReferenceShown() { return IsWindowVisible(reference) != FALSE; }
static bool GameHidden() { return !IsWindowVisible(framedGame); }
static bool GameShown() { return IsWindowVisible(framedGame) != FALSE; }
static bool Never() { return false; }

static bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

static bool RegisterClassNamed(const char *name, WNDPROC procedure) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    windowClass.lpszClassName = name;
    return RegisterClassExA(&windowClass) != 0;
}

static bool MakeTestOwner() {
    if (!RegisterClassNamed(kOwnerClass, OwnerProc) || !RegisterClassNamed(kReferenceClass, ReferenceProc))
        return false;
    owner = CreateWindowExA(0, kOwnerClass, "gamecheck test owner", WS_OVERLAPPEDWINDOW, 120, 90, 900, 700,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (owner == nullptr) return false;
    /* Windows may give a process's first show the starter's command. */
    ShowWindow(owner, SW_SHOWNORMAL);
    if (!IsWindowVisible(owner)) ShowWindow(owner, SW_SHOWNORMAL);
    UpdateWindow(owner);
    return true;
}

static void RectText(const RECT &rect, char *text, size_t size) {
    snprintf(text, size, "%ld,%ld %ldx%ld", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

/* Moves or resizes the owner and waits for the game to lie over it again. */
static bool FollowsChange(int dx, int dy, int dWidth, int dHeight) {
    RECT outer = WindowRectOf(owner);
    SetWindowPos(owner, nullptr, outer.left + dx, outer.top + dy, outer.right - outer.left + dWidth,
                 outer.bottom - outer.top + dHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    return PumpUntil(GameFits, kSettleMs);
}

void CheckFrame(HWND game, CheckReport *report) {
    if (!MakeTestOwner()) {
        Judge(report, PointFrame, VerdictFail, "the checker could not make its test window (error %lu)",
              GetLastError());
        return;
    }
    framedGame = game;
    FrameGameWindow(owner, game);
    bool fits = PumpUntil(GameFits, kSettleMs);
    RECT client = ClientOnScreen(owner);
    RECT placed = WindowRectOf(game);
    DWORD style = (DWORD)GetWindowLongPtrA(game, GWL_STYLE);
    bool owned = GetWindow(game, GW_OWNER) == owner;
    bool borderless = (style & WS_POPUP) != 0 && (style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME)) == 0;
    bool visible = IsWindowVisible(game) != FALSE;
    bool followsMove = fits && FollowsChange(60, 40, 0, 0);
    bool followsResize = fits && FollowsChange(0, 0, 120, 80);

    char clientText[64];
    char placedText[64];
    RectText(client, clientText, sizeof clientText);
    RectText(placed, placedText, sizeof placedText);
    bool holds = fits && owned && borderless && visible && followsMove && followsResize;
    Judge(report, PointFrame, holds ? VerdictPass : VerdictFail, "%s popup, style 0x%08lX, %s; laid over the client area %s: %s",
          owned ? "owned" : "NOT owned", style, borderless ? "without caption or borders" : "STILL FRAMED",
          clientText, fits ? "yes" : "NO");
    if (!fits) AddDetail(report, PointFrame, " (its rectangle is %s)", placedText);
    AddDetail(report, PointFrame, "; followed a move: %s; followed a resize: %s%s", followsMove ? "yes" : "NO",
              followsResize ? "yes" : "NO", visible ? "" : "; NOT visible after the show");
    AddMeasure(report, PointFrame, "owned", owned);
    AddMeasure(report, PointFrame, "borderless", borderless);
    AddMeasure(report, PointFrame, "fits", fits);
    AddMeasure(report, PointFrame, "follows_move", followsMove);
    AddMeasure(report, PointFrame, "follows_resize", followsResize);
    AddMeasure(report, PointFrame, "style", style);
}

/* The minimise button: WM_SYSCOMMAND to the owner while it is the active
 * window.  Under Wine only that minimise hides owned windows, so a try in
 * which another program kept the activation is made again. */
static bool MinimiseActiveOwner() {
    for (int attempt = 0; attempt < kActivateAttempts; attempt++) {
        SetForegroundWindow(owner);
        if (!PumpUntil(OwnerActive, kActivateMs)) continue;
        SendMessageA(owner, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        if (PumpUntil(ReferenceHidden, kActivateMs)) return true;
        ShowWindow(owner, SW_RESTORE);
        PumpUntil(OwnerRestored, kActivateMs);
    }
    return false;
}

static bool MakeReference() {
    RECT client = ClientOnScreen(owner);
    reference = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kReferenceClass, "", WS_POPUP, client.left,
                                client.top, 8, 8, owner, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (reference == nullptr) return false;
    ShowWindow(reference, SW_SHOWNA);
    return true;
}

void CheckHideShow(HWND game, CheckReport *report) {
    if (owner == nullptr || !MakeReference()) {
        Judge(report, PointHideShow, VerdictFail, "the checker could not make its test windows (error %lu)",
              GetLastError());
        return;
    }
    framedGame = game;
    if (!MinimiseActiveOwner()) {
        Judge(report, PointHideShow, VerdictPlatform,
              "not checked: minimising the test window hid no owned window, not even the checker's own (the "
              "test window could not be made the active window; under Wine only the minimise of an active "
              "owner hides its owned windows)");
        return;
    }
    bool hidden = PumpUntil(GameHidden, kSettleMs);
    PumpUntil(Never, kMinimisedHoldMs);
    SendMessageA(owner, WM_SYSCOMMAND, SC_RESTORE, 0);
    PumpUntil(OwnerRestored, kSettleMs);
    bool referenceShown = PumpUntil(ReferenceShown, kSettleMs);
    bool shown = hidden && PumpUntil(GameShown, kSettleMs);
    bool fitsAgain = PumpUntil(GameFits, kSettleMs);
    AddMeasure(report, PointHideShow, "hidden", hidden);
    AddMeasure(report, PointHideShow, "shown", shown);
    AddMeasure(report, PointHideShow, "fits_after_restore", fitsAgain);

    const char *sent = referenceSawClosing && referenceSawOpening
                           ? "the system sent SW_PARENTCLOSING and SW_PARENTOPENING"
                           : "the system's WM_SHOWWINDOW messages were not both seen";
    if (!hidden) {
        Judge(report, PointHideShow, VerdictFail,
              "the game window stayed visible while its owner was minimised (%s to the checker's own owned "
              "window): leave WM_SHOWWINDOW to DefWindowProc",
              sent);
    } else if (shown) {
        Judge(report, PointHideShow, VerdictPass, "hidden with its owner on minimise and shown again on restore (%s)",
              sent);
    } else if (RunningUnderWine() && referenceShown) {
        Judge(report, PointHideShow, VerdictPlatform,
              "hidden with its owner on minimise%s; not shown again on restore, as Wine shows again only the "
              "owned windows of the owner's own process (the checker's own was shown); Windows shows the game's "
              "too",
              referenceSawClosing ? " (the system sent SW_PARENTCLOSING)" : "");
    } else {
        Judge(report, PointHideShow, VerdictFail,
              "hidden with its owner on minimise but not shown again on restore (%s to the checker's own owned "
              "window): leave WM_SHOWWINDOW to DefWindowProc",
              sent);
    }
    AddDetail(report, PointHideShow, "; laid over the client area after the restore: %s", fitsAgain ? "yes" : "NO");
    if (!fitsAgain) report->points[PointHideShow].verdict = VerdictFail;
}

void CloseTestOwner() {
    framedGame = nullptr;
    if (owner != nullptr) DestroyWindow(owner);
    owner = nullptr;
    reference = nullptr;
}
