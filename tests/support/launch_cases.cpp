// Hosts started from hand-made command lines against their own Launchers,
// and the watch on a host after its box is dismissed.
#include "launch_cases.h"

#include <algorithm>

LaunchCase::~LaunchCase() {
    // The host first: a Launcher still serving it stops once its end closes.
    EndProcess(&hostCase.host);
    if (launcherStarted) StopLauncherNow(&launcher);
    launcherStarted = false;
}

bool PrepareLaunchCase(const std::string &label, LaunchCase *launchCase) {
    launchCase->label = label;
    return PrepareHostFolderWithIdleGame(CurrentTestName() + "." + label, &launchCase->hostCase);
}

bool StartCaseLauncher(const LauncherScript &script, LaunchCase *launchCase) {
    launchCase->launcherStarted = StartLauncher(script, &launchCase->launcher);
    return launchCase->launcherStarted;
}

std::string HostExePath(const HostCase &hostCase) {
    return hostCase.folder + "GameHost.exe";
}

bool StartHostWithCommandLine(HostCase *hostCase, const std::string &commandLine) {
    std::string exe = HostExePath(*hostCase);
    std::string line = commandLine;
    const std::string mark = "{exe}";
    for (size_t at = line.find(mark); at != std::string::npos;
         at = line.find(mark, at + exe.size()))
        line.replace(at, mark.size(), exe);
    return StartProcess(exe, line, hostCase->folder, -1, &hostCase->host);
}

std::vector<HWND> VisibleMessageBoxes(DWORD processId) {
    std::vector<HWND> boxes;
    for (HWND window : TopLevelWindows(processId, "#32770"))
        if (IsWindowVisible(window) && GetDlgItem(window, 0xFFFF) != nullptr)
            boxes.push_back(window);
    return boxes;
}

std::string DismissAndWatchExit(HWND box, const StartedProcess &process, DWORD *exitCode) {
    std::string seen;
    std::vector<HWND> dismissed = {box};
    DismissMessageBox(box);
    for (int further = 0; further < 5; further++) {
        HWND next = nullptr;
        // A dismissed box may stay visible for a moment while it is torn
        // down; only a box not yet dismissed counts as another.
        WaitUntil(
            [&] {
                if (WaitForSingleObject(process.process, 0) == WAIT_OBJECT_0) return true;
                for (HWND window : VisibleMessageBoxes(process.id))
                    if (std::find(dismissed.begin(), dismissed.end(), window) == dismissed.end()) {
                        next = window;
                        return true;
                    }
                return false;
            },
            kEventWaitMs);
        if (next == nullptr) break;
        seen += "another box [" + WindowText(next) + "] \"" + WindowText(GetDlgItem(next, 0xFFFF)) +
                "\"; ";
        dismissed.push_back(next);
        DismissMessageBox(next);
    }
    if (!WaitForExit(process, kEventWaitMs, exitCode)) seen += "did not exit in time";
    return seen;
}

std::string DescribeHost(const HostCase &hostCase) {
    DWORD code = 0;
    if (WaitForExit(hostCase.host, 0, &code))
        return "the host exited with code " + std::to_string(code);
    std::string state = "the host runs";
    if (!TopLevelWindows(hostCase.host.id, "TRNWGameClass").empty()) state += ", its window open";
    for (HWND box : VisibleMessageBoxes(hostCase.host.id))
        state += ", box [" + WindowText(box) + "] \"" + WindowText(GetDlgItem(box, 0xFFFF)) + "\"";
    return state;
}
