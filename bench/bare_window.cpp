/* The bare platform the host's start-up is measured against: a program that
 * registers a window class and shows one centred window of the host's
 * default size, then runs its message loop until closed.
 *
 * Built twice.  bench_bare_window has nothing before its window.
 * bench_bare_handshake (BARE_WITH_HANDSHAKE) first makes one exchange like
 * the host's with the Launcher whose port is its command line, so that the
 * bench can tell how much of the host's start-up goes to the sockets: its
 * image imports ws2_32 as the host's does, which the system loads before
 * the program runs. */
#if defined(BARE_WITH_HANDSHAKE)
#include <winsock2.h>
#include <ws2tcpip.h>
#endif
#include <windows.h>

#include <stdlib.h>

#if defined(BARE_WITH_HANDSHAKE)
static void ExchangeWithLauncher(int port) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
    SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons((u_short)port);
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    if (sock != INVALID_SOCKET && connect(sock, (const sockaddr *)&address, sizeof address) == 0) {
        send(sock, "bare", 4, 0);
        char reply[64];
        recv(sock, reply, sizeof reply, 0);
    }
    if (sock != INVALID_SOCKET) closesocket(sock);
    WSACleanup();
}
#endif

static LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
#if defined(BARE_WITH_HANDSHAKE)
    ExchangeWithLauncher(atoi(commandLine));
#else
    (void)commandLine;
#endif
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = BareWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    windowClass.lpszClassName = "BenchBareWindow";
    if (RegisterClassExA(&windowClass) == 0) return 1;

    const int width = 1080;
    const int height = 820;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    HWND window = CreateWindowExA(0, "BenchBareWindow", "Bare", WS_OVERLAPPEDWINDOW, x, y, width, height,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}
