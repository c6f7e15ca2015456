/* The game's main window, the one a host looks for by its title and takes
 * into its own frame: its window procedure, its frame timer and what it
 * does to live well inside a window of another process. */
#include "game_window.h"

#include "scene.h"

namespace {

const char kClassName[] = "MireluneSceneWindow";
// A host finds the game by "Tarnwick 3D" in this title.
const char kTitle[] = "Tarnwick 3D - Mirelune";
const int kIconId = 101;
const int kClientWidth = 1024;
const int kClientHeight = 640;
const UINT_PTR kFrameTimer = 1;
// The default system tick is 15.6 ms: an elapse just under it fires on
// every tick (about 64 frames a second), 16 would wait for every second one.
const UINT kFrameMs = 15;

Scene scene;
MoonSteer steer = {};
LARGE_INTEGER tickRate = {};
LARGE_INTEGER lastTick = {};
bool ownerInputAttached = false;
bool ownerSeenMinimised = false;

float SecondsSinceLastFrame() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    float seconds = static_cast<float>(now.QuadPart - lastTick.QuadPart) / static_cast<float>(tickRate.QuadPart);
    lastTick = now;
    // A drag of the window or a stopped process must not throw the
    // animation forward in one jump.
    if (seconds < 0.0f) return 0.0f;
    return seconds > 0.1f ? 0.1f : seconds;
}

// Under Wine a window owned by a window of another process is hidden when
// the owner is minimised but not shown again when the owner is restored
// (Windows shows it). So the game shows itself again once its owner is back
// on screen; on Windows the window is already visible by then and this
// never acts. Wine hides the owned window a moment before the owner turns
// iconic, so a frame can fall between the two: only an owner that was seen
// minimised counts as restored. SW_SHOWNA leaves the activation alone.
void ShowAgainWithOwner(HWND window) {
    HWND owner = GetWindow(window, GW_OWNER);
    if (!owner) return;
    if (IsIconic(owner)) {
        ownerSeenMinimised = true;
        return;
    }
    if (!ownerSeenMinimised || !IsWindowVisible(owner)) return;
    ownerSeenMinimised = false;
    if (!IsWindowVisible(window)) ShowWindow(window, SW_SHOWNA);
}

// A host gives the game the keyboard by calling SetFocus from its own
// thread. Windows joins the input of the two threads by itself for an
// owner link across threads; Wine does not, and its SetFocus then fails.
// Joining them here, once the window is owned, makes that call work there.
void AttachToOwnerInput(HWND window) {
    if (ownerInputAttached) return;
    HWND owner = GetWindow(window, GW_OWNER);
    if (!owner) return;
    ownerInputAttached = true;
    DWORD ownerThread = GetWindowThreadProcessId(owner, nullptr);
    DWORD ownThread = GetCurrentThreadId();
    if (ownerThread != 0 && ownerThread != ownThread) AttachThreadInput(ownThread, ownerThread, TRUE);
}

// An owned window stays above its owner on Windows whatever happens to the
// owner. Wine keeps that order only for owned windows of the owner's own
// process: activating the host (a click on its frame, a move) puts it over
// the game. So the game lifts itself back over its owner without taking the
// activation; on Windows the owner is never above it and this never acts.
void KeepAboveOwner(HWND window) {
    HWND owner = GetWindow(window, GW_OWNER);
    if (!owner || !IsWindowVisible(window)) return;
    for (HWND above = GetWindow(window, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
        if (above == owner) {
            SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            return;
        }
    }
}

void OnFrameTimer(HWND window) {
    AdvanceScene(scene, SecondsSinceLastFrame(), steer);
    ShowAgainWithOwner(window);
    AttachToOwnerInput(window);
    KeepAboveOwner(window);
    // Nothing to draw while paused, hidden or minimised: the timer goes on
    // only for the checks above, which keeps the idle cost low.
    if (scene.paused || !IsWindowVisible(window) || IsIconic(window)) return;
    InvalidateRect(window, nullptr, FALSE);
}

void OnPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (scene.backBitmap) {
        RenderScene(scene);
        BitBlt(dc, 0, 0, scene.width, scene.height, scene.backDC, 0, 0, SRCCOPY);
    }
    EndPaint(window, &paint);
}

bool SetSteer(WPARAM key, bool down) {
    switch (key) {
    case VK_LEFT: steer.left = down; return true;
    case VK_RIGHT: steer.right = down; return true;
    case VK_UP: steer.up = down; return true;
    case VK_DOWN: steer.down = down; return true;
    default: return false;
    }
}

void OnKeyDown(HWND window, WPARAM key, LPARAM flags) {
    bool repeat = (flags & (1 << 30)) != 0;
    if (key == VK_SPACE && !repeat) {
        scene.paused = !scene.paused;
        InvalidateRect(window, nullptr, FALSE);
        return;
    }
    SetSteer(key, true);
}

LRESULT CALLBACK GameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        if (!CreateScene(scene)) return -1;
        QueryPerformanceFrequency(&tickRate);
        QueryPerformanceCounter(&lastTick);
        SetTimer(window, kFrameTimer, kFrameMs, nullptr);
        return 0;
    case WM_SIZE:
        ResizeScene(scene, LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_ERASEBKGND:
        // The whole client area is covered by each frame's single blit;
        // erasing first would only flicker.
        return 1;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_TIMER:
        if (wParam == kFrameTimer) OnFrameTimer(window);
        return 0;
    case WM_LBUTTONDOWN:
        BurstAt(scene, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_KEYDOWN:
        OnKeyDown(window, wParam, lParam);
        return 0;
    case WM_KEYUP:
        SetSteer(wParam, false);
        return 0;
    case WM_KILLFOCUS:
        // Key releases go to whoever has the focus now; a held arrow must
        // not keep the moon moving.
        steer = MoonSteer{};
        return 0;
    case WM_DESTROY:
        KillTimer(window, kFrameTimer);
        DestroyScene(scene);
        PostQuitMessage(0);
        return 0;
    default:
        // WM_SHOWWINDOW included: the system hides and shows an owned
        // window with its owner through the default processing.
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool RegisterGameClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = GameWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(kIconId), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    windowClass.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(kIconId), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = nullptr;
    windowClass.lpszClassName = kClassName;
    return RegisterClassExA(&windowClass) != 0;
}

}  // namespace

bool CreateGameWindow(HINSTANCE instance) {
    if (!RegisterGameClass(instance)) return false;
    RECT frame = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    int x = work.left + (work.right - work.left - width) / 2;
    int y = work.top + (work.bottom - work.top - height) / 2;
    HWND window = CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) return false;
    // Obeys the starter: run on its own the window opens normally; a host
    // that asked for SW_HIDE shows the window itself once it has taken it
    // in, so it never flashes up on its own first.
    ShowWindow(window, SW_SHOWDEFAULT);
    UpdateWindow(window);
    return true;
}
