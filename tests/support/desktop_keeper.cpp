// Holds the Wine desktop open for a whole test run.  The wine server closes
// a virtual desktop a moment after the last program on it has ended; a test
// program starting in that moment gets the closing desktop's window and
// fails to create any of its own.  This program stays on the desktop with a
// hidden window until the prefix's processes are ended.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "GameHostTestDesktopKeeper";
    RegisterClassA(&windowClass);
    CreateWindowExA(0, windowClass.lpszClassName, "", WS_OVERLAPPED, 0, 0, 1, 1, nullptr, nullptr,
                    instance, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
