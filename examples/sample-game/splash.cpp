/* The short loading splash shown before the game window: a small borderless
 * window with the product's name, its moon and tower and a progress bar.
 * Its title must not hold the words a host searches for, or the host would
 * take the splash for the game. */
#include "splash.h"

#include <math.h>
#include <string.h>

#include "paint_kit.h"
#include "scene.h"

namespace {

const char kClassName[] = "MireluneSplash";
const char kTitle[] = "Mirelune - loading";
const int kWidth = 540;
const int kHeight = 300;
const UINT_PTR kFrameTimer = 1;
const UINT kFrameMs = 15;
const float kShowSeconds = 1.3f;
// A splash that is never painted (hidden, or no desktop) must not hold the
// game back for ever.
const float kLongestSeconds = 5.0f;

struct SplashState {
    HDC backDC = nullptr;
    HBITMAP backBitmap = nullptr;
    HDC spriteDC = nullptr;
    Sprite moon, glowWarm;
    HFONT titleFont = nullptr;
    HFONT subtitleFont = nullptr;
    HFONT noteFont = nullptr;
    LARGE_INTEGER created = {};
    LARGE_INTEGER start = {};
    LARGE_INTEGER rate = {};
    bool done = false;
};

SplashState splash;

float SecondsSince(const LARGE_INTEGER& then) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<float>(now.QuadPart - then.QuadPart) / static_cast<float>(splash.rate.QuadPart);
}

float ElapsedSeconds() {
    return splash.start.QuadPart == 0 ? 0.0f : SecondsSince(splash.start);
}

bool SplashDone() {
    if (SecondsSince(splash.created) >= kLongestSeconds) return true;
    return splash.start.QuadPart != 0 && ElapsedSeconds() >= kShowSeconds;
}

bool CreateSplashResources() {
    splash.backDC = CreateCompatibleDC(nullptr);
    splash.spriteDC = CreateCompatibleDC(nullptr);
    if (!splash.backDC || !splash.spriteDC) return false;
    splash.backBitmap = CreateCanvasBitmap(kWidth, kHeight, nullptr);
    if (!splash.backBitmap) return false;
    SelectObject(splash.backDC, splash.backBitmap);
    CreateMoonSprite(splash.moon, 30);
    CreateGlowSprite(splash.glowWarm, 128, RGB(255, 196, 104), 2.0f);
    splash.titleFont = CreateUiFont(splash.backDC, 58, FW_BOLD, true);
    splash.subtitleFont = CreateUiFont(splash.backDC, 15, FW_BOLD, false);
    splash.noteFont = CreateUiFont(splash.backDC, 13, FW_NORMAL, false);
    return true;
}

void DestroySplashResources() {
    if (splash.backDC) DeleteDC(splash.backDC);
    if (splash.spriteDC) DeleteDC(splash.spriteDC);
    if (splash.backBitmap) DeleteObject(splash.backBitmap);
    DeleteSprite(splash.moon);
    DeleteSprite(splash.glowWarm);
    if (splash.titleFont) DeleteObject(splash.titleFont);
    if (splash.subtitleFont) DeleteObject(splash.subtitleFont);
    if (splash.noteFont) DeleteObject(splash.noteFont);
    splash = SplashState{};
}

void DrawSplashStars(HDC dc, float elapsed) {
    unsigned int state = 0x2545F491u;
    for (int i = 0; i < 60; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        int x = static_cast<int>(state % kWidth);
        int y = static_cast<int>((state >> 10) % (kHeight * 3 / 4));
        float twinkle = 0.6f + 0.4f * sinf(elapsed * (1.0f + (i % 5)) + i);
        COLORREF color = MixColor(SkyColorAt(static_cast<float>(y) / kHeight), RGB(236, 240, 255),
                                  twinkle * (0.4f + 0.6f * ((state >> 20) % 100) / 100.0f));
        FillBox(dc, x, y, x + 1 + (i % 7 == 0), y + 1 + (i % 7 == 0), color);
    }
}

void DrawProgressBar(HDC dc, float progress) {
    const int left = 44, top = 222, right = 300, bottom = 230;
    SelectObject(dc, GetStockObject(DC_BRUSH));
    SelectObject(dc, GetStockObject(DC_PEN));
    SetDCBrushColor(dc, RGB(34, 24, 74));
    SetDCPenColor(dc, RGB(96, 72, 160));
    RoundRect(dc, left - 2, top - 2, right + 2, bottom + 2, 10, 10);
    int filled = left + static_cast<int>((right - left) * progress);
    FillVerticalGradient(dc, left, top, filled, bottom, RGB(255, 228, 150), RGB(236, 156, 62));
    int glow = 26;
    DrawSprite(dc, splash.spriteDC, splash.glowWarm, filled, (top + bottom) / 2, glow, glow, 200);
}

void DrawSplashText(HDC dc, float progress) {
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    SelectObject(dc, splash.titleFont);
    SetTextColor(dc, RGB(12, 8, 30));
    TextOutA(dc, 42, 72, "Mirelune", 8);
    SetTextColor(dc, RGB(255, 214, 124));
    TextOutA(dc, 40, 70, "Mirelune", 8);

    SelectObject(dc, splash.subtitleFont);
    SetTextCharacterExtra(dc, 5);
    SetTextColor(dc, RGB(190, 172, 236));
    TextOutA(dc, 44, 146, "A TARNWICK 3D TALE", 18);
    SetTextCharacterExtra(dc, 0);

    SelectObject(dc, splash.noteFont);
    SetTextColor(dc, RGB(170, 152, 214));
    const char* note = progress < 0.5f ? "waking the night sky..." : "lighting the tower...";
    TextOutA(dc, 44, 240, note, static_cast<int>(strlen(note)));
}

void RenderSplash(float elapsed) {
    HDC dc = splash.backDC;
    float progress = elapsed / kShowSeconds;
    if (progress > 1.0f) progress = 1.0f;
    // Eased, so the bar slows as it nears the end like a real load.
    progress = 1.0f - (1.0f - progress) * (1.0f - progress);
    FillSkyGradient(dc, kWidth, kHeight);
    DrawSplashStars(dc, elapsed);
    DrawSprite(dc, splash.spriteDC, splash.moon, 480, 66, splash.moon.width, splash.moon.height, 255);
    PaintTower(dc, splash.spriteDC, splash.glowWarm, 420.0f, 288.0f, 150.0f, elapsed);
    SelectObject(dc, GetStockObject(DC_BRUSH));
    SelectObject(dc, GetStockObject(DC_PEN));
    SetDCBrushColor(dc, RGB(17, 11, 38));
    SetDCPenColor(dc, RGB(52, 33, 96));
    Ellipse(dc, 214, 270, 626, 440);
    DrawSplashText(dc, progress);
    DrawProgressBar(dc, progress);
    // A fine frame, since the splash has no border of its own.
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    SetDCPenColor(dc, RGB(120, 92, 186));
    Rectangle(dc, 0, 0, kWidth, kHeight);
}

LRESULT CALLBACK SplashWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        if (!CreateSplashResources()) return -1;
        QueryPerformanceFrequency(&splash.rate);
        QueryPerformanceCounter(&splash.created);
        SetTimer(window, kFrameTimer, kFrameMs, nullptr);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        // The time on screen counts from the first paint: a busy or just
        // started desktop may show the window well after its creation.
        if (splash.start.QuadPart == 0) QueryPerformanceCounter(&splash.start);
        RenderSplash(ElapsedSeconds());
        BitBlt(dc, 0, 0, kWidth, kHeight, splash.backDC, 0, 0, SRCCOPY);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_TIMER:
        if (SplashDone()) {
            DestroyWindow(window);
        } else {
            InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    case WM_DESTROY:
        KillTimer(window, kFrameTimer);
        DestroySplashResources();
        splash.done = true;
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

void RunSplash(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = SplashWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_APPSTARTING));
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExA(&windowClass)) return;
    int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, kTitle, WS_POPUP, x, y, kWidth, kHeight, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) return;
    // A starter's SW_HIDE may stand in for a process's first show; the
    // splash is meant to be seen all the same, without taking activation.
    ShowWindow(window, SW_SHOWNOACTIVATE);
    if (!IsWindowVisible(window)) ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    MSG message;
    while (!splash.done && GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    UnregisterClassA(kClassName, instance);
}
