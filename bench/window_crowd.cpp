/* A crowd of other programs' windows for the search measurement: creates
 * the number of top-level windows given on its command line, hidden, then
 * signals the named event given after it and waits, pumping messages, until
 * it is ended or the event "<name>-end" is set.
 *
 *   bench_window_crowd.exe <count> <event name>
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static LRESULT CALLBACK CrowdWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    char *rest = nullptr;
    long count = strtol(commandLine, &rest, 10);
    while (rest != nullptr && *rest == ' ') rest++;
    if (count < 0 || rest == nullptr || *rest == '\0') return 2;
    char readyName[200];
    char endName[220];
    snprintf(readyName, sizeof readyName, "%s", rest);
    snprintf(endName, sizeof endName, "%s-end", rest);
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName);
    HANDLE end = CreateEventA(nullptr, TRUE, FALSE, endName);
    if (ready == nullptr || end == nullptr) return 2;

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = CrowdWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "BenchCrowdWindow";
    if (RegisterClassExA(&windowClass) == 0) return 2;
    for (long i = 0; i < count; i++) {
        char title[32];
        snprintf(title, sizeof title, "Crowd %ld", i);
        if (CreateWindowExA(0, "BenchCrowdWindow", title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                            instance, nullptr) == nullptr)
            return 3;
    }
    SetEvent(ready);

    /* Pumping keeps the crowd a well-behaved program while the search walks
     * past its windows. */
    for (;;) {
        DWORD woke = MsgWaitForMultipleObjects(1, &end, FALSE, 120000, QS_ALLINPUT);
        if (woke != WAIT_OBJECT_0 + 1) break;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    return 0;
}
