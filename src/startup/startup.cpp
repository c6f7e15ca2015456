/* The one place that decides whether the host runs: the gate on the launch
 * arguments, then the handshake, the settings file, the window and the
 * message loop, in that order. */
#include "startup/startup.h"

#include "handshake/handshake.h"
#include "host/host_window.h"
#include "settings/settings_file.h"
#include "startup/host_state.h"
#include "startup/launch_words.h"

static const char kRefusalText[] =
    "Game phai duoc khoi dong tu Launcher!\nVui long mo Launcher de choi.";

void ParseLaunchArguments(const char *commandLine) {
    SplitLaunchWords(commandLine, &launchToken, &hostState.handshakePort);
}

static int RunMessageLoop() {
    MSG message;
    /* -1 is an error of the retrieval itself (a bad window handle cannot
     * occur with a null filter); leaving the loop beats spinning on it. */
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (got < 0) return 1;
    return (int)message.wParam;
}

int RunHost(HINSTANCE instance, const char *commandLine, int showCommand) {
    if (commandLine != nullptr && commandLine[0] != '\0') ParseLaunchArguments(commandLine);
    if (launchToken.length == 0 || hostState.handshakePort <= 0) {
        MessageBoxA(nullptr, kRefusalText, "Loi", MB_ICONERROR | MB_OK);
        return 1;
    }
    if (!VerifyLauncherToken(launchToken.bytes, launchToken.length, hostState.handshakePort)) return 1;
    LoadWindowSettings();
    if (!CreateHostWindow(instance, showCommand)) return 1;
    return RunMessageLoop();
}
