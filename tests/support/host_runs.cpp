// Hosts started side by side against their own scripted Launchers.
#include "host_runs.h"

bool PrepareHostRun(const std::string &label, HostRun *run) {
    run->label = label;
    return PrepareHostFolderWithIdleGame(CurrentTestName() + "." + label, &run->hostCase);
}

bool StartHostRun(HostRun *run, int showCommand, const LauncherScript &script) {
    if (!StartLauncher(script, &run->launcher)) return false;
    return StartHost(&run->hostCase, LaunchArguments("token-" + run->label, run->launcher.port),
                     showCommand);
}

HWND WaitForHostWindowWithin(const HostRun &run, DWORD started, DWORD milliseconds) {
    DWORD spent = GetTickCount() - started;
    DWORD left = spent < milliseconds ? milliseconds - spent : 0;
    return WaitForWindow(run.hostCase.host.id, "TRNWGameClass", left);
}

void EndHostRun(HostRun *run) {
    EndProcess(&run->hostCase.host);
    StopLauncher(&run->launcher);
}

HostRun::~HostRun() { EndHostRun(this); }

std::string RewrittenSettings(const std::string &width, const std::string &height) {
    return "game_version=1.0.0.2\r\nwidth=" + width + "\r\nheight=" + height + "\r\n";
}

bool QueryMinMaxInfo(HWND window, MINMAXINFO *info) {
    DWORD_PTR result = 0;
    // No SMTO_ABORTIFHUNG: under load Wine once gave up at once on a host
    // that had just shown its window; a plain bounded wait does not.
    return SendMessageTimeoutA(window, WM_GETMINMAXINFO, 0, (LPARAM)info, SMTO_NORMAL,
                               kEventWaitMs, &result) != 0;
}

SIZE MaximumTrackSize() {
    return SIZE{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
}
