// The host under test: its own folder with GameHost.exe, started with the
// arguments a case gives.
#include "image_under_test.h"
#include "test_support.h"

bool PrepareHostFolder(const std::string &name, HostCase *hostCase) {
    hostCase->folder = MakeCaseFolder(name);
    return CopyFileA(ImageUnderTest("GameHost.exe").c_str(),
                     (hostCase->folder + "GameHost.exe").c_str(), FALSE) != 0;
}

bool PrepareHostFolderWithIdleGame(const std::string &name, HostCase *hostCase) {
    return PrepareHostFolder(name, hostCase) &&
           CopyFromBin("fixture_game.exe", hostCase->folder, "Mirelune.dll") &&
           WriteFileBytes(hostCase->folder + "fixture-game.txt", "no_window=1\n");
}

bool StartHost(HostCase *hostCase, const std::string &arguments, int showCommand) {
    std::string exe = hostCase->folder + "GameHost.exe";
    return StartProcess(exe, "\"" + exe + "\" " + arguments, hostCase->folder, showCommand,
                        &hostCase->host);
}

HWND WaitForHostWindow(const HostCase &hostCase) {
    return WaitForWindow(hostCase.host.id, "TRNWGameClass", kEventWaitMs);
}

long CloseHostAndWait(HostCase *hostCase, HWND hostWindow) {
    PostMessageA(hostWindow, WM_CLOSE, 0, 0);
    DWORD code = 0;
    if (!WaitForExit(hostCase->host, kEventWaitMs, &code)) return -1;
    return (long)code;
}

std::string LaunchArguments(const std::string &token, int port) {
    return token + " " + std::to_string(port);
}
