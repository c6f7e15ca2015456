/* The host window: a resizable black frame with the product's title and icon,
 * centred on the screen, whose window procedure is the main thread's only
 * reaction to the user and to the game launcher thread. */
#include "host/host_window.h"

#include "host/game_contract.h"
#include "host/game_launcher.h"
#include "host/game_window.h"
#include "settings/settings_lines.h"
#include "startup/host_state.h"

static const int kIconResource = 101;

static HICON LoadHostIcon(HINSTANCE instance, int size) {
    return (HICON)LoadImageA(instance, MAKEINTRESOURCEA(kIconResource), IMAGE_ICON, size, size,
                             LR_DEFAULTCOLOR);
}

bool CreateHostWindow(HINSTANCE instance, int showCommand) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = 0;
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadHostIcon(instance, 32);
    windowClass.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    windowClass.lpszClassName = hostState.windowClassName;
    windowClass.hIconSm = LoadHostIcon(instance, 16);
    if (RegisterClassExA(&windowClass) == 0) return false;

    int width = hostState.windowWidth;
    int height = hostState.windowHeight;
    /* Signed division truncating toward zero: a window larger than the
     * screen gets a negative position, kept as computed. */
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    HWND window = CreateWindowExA(0, hostState.windowClassName, hostState.windowTitle,
                                  WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr, nullptr,
                                  instance, nullptr);
    if (window == nullptr) return false;
    /* WM_CREATE has normally stored the handle already, before the game
     * launcher thread could read it; a second write would race that read. */
    if (hostState.hostWindow != window) hostState.hostWindow = window;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return true;
}

static void OnHostCreate(HWND window) {
    /* The launcher thread owns its box by this handle and posts to it, so it
     * is stored before the thread exists. */
    hostState.hostWindow = window;
    HANDLE thread = CreateThread(nullptr, 0, GameLauncherThread, nullptr, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);
}

static void OnHostClose(HWND window) {
    EndGameProcess();
    DestroyWindow(window);
}

static void LimitHostTrackSize(MINMAXINFO *limits) {
    limits->ptMinTrackSize.x = kMinimumWidth;
    limits->ptMinTrackSize.y = kMinimumHeight;
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnHostCreate(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        OnHostSize(window, wParam);
        return 0;
    case WM_CLOSE:
        OnHostClose(window);
        return 0;
    case WM_GETMINMAXINFO:
        LimitHostTrackSize((MINMAXINFO *)lParam);
        return 0;
    case WM_WINDOWPOSCHANGED:
        /* Never passed on: the system would derive WM_SIZE and WM_MOVE from
         * it, and the game window follows the host from here instead. */
        OnHostPositionChanged(window);
        return 0;
    case WM_SYSCOMMAND:
        if (OnHostMinimiseOrRestore(window, wParam)) return 0;
        break;
    case WM_LBUTTONDOWN:
        FocusGameWindow();
        return 0;
    case WM_GAME_WINDOW_FOUND:
        AdoptGameWindow(window, (HWND)wParam);
        return 0;
    case WM_GAME_WINDOW_ANSWERS:
        OnGameWindowAnswers(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
