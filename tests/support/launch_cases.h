// A host started from a command line of the case's own making against a
// scripted Launcher of its own, for tables of start-up and handshake cases
// that run side by side; and the watch on what the host does after a box.
#ifndef GAMEHOST_LAUNCH_CASES_H
#define GAMEHOST_LAUNCH_CASES_H

#include "test_support.h"

// Ends its host and stops its Launcher when it goes out of scope, so that
// an assertion that leaves a test early leaves nothing running.  Not to be
// moved once the Launcher runs: the launcher thread holds its address.
struct LaunchCase {
    std::string label;  // the case's name, for failure messages
    HostCase hostCase;
    ScriptedLauncher launcher;
    bool launcherStarted = false;

    LaunchCase() = default;
    LaunchCase(const LaunchCase &) = delete;
    LaunchCase &operator=(const LaunchCase &) = delete;
    ~LaunchCase();
};

// The case folder "<test name>.<label>" with GameHost.exe in it.
bool PrepareLaunchCase(const std::string &label, LaunchCase *launchCase);

bool StartCaseLauncher(const LauncherScript &script, LaunchCase *launchCase);

// The path of the case's GameHost.exe.
std::string HostExePath(const HostCase &hostCase);

// Starts the host with exactly this command line, the program's name
// included; every "{exe}" in it stands for HostExePath.
bool StartHostWithCommandLine(HostCase *hostCase, const std::string &commandLine);

// Presses OK on the box, then watches the process until it ends.  Returns
// an empty text when it ended without showing any further box, and the
// exit code in *exitCode; otherwise a description of what it did instead
// (every further box is described and dismissed, so the process can end).
std::string DismissAndWatchExit(HWND box, const StartedProcess &process, DWORD *exitCode);

// What the host is doing instead of what a case waited for: its window
// open, its exit code, or still running without either.
std::string DescribeHost(const HostCase &hostCase);

// The visible message boxes the process shows now.
std::vector<HWND> VisibleMessageBoxes(DWORD processId);

#endif
