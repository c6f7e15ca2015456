// Hosts started side by side, each in its own case folder against its own
// scripted Launcher, for tables of cases that run at once.
#ifndef GAMEHOST_HOST_RUNS_H
#define GAMEHOST_HOST_RUNS_H

#include "test_support.h"

struct HostRun {
    std::string label;  // the case's name, for failure messages
    HostCase hostCase;
    ScriptedLauncher launcher;
    HWND window = nullptr;

    HostRun() = default;
    HostRun(const HostRun &) = delete;  // the Launcher's thread holds its address
    HostRun &operator=(const HostRun &) = delete;
    ~HostRun();  // ends the host and the Launcher, also when a test stops early
};

// The case folder <test name>.<label> with GameHost.exe in it; the caller
// may add files before the start.
bool PrepareHostRun(const std::string &label, HostRun *run);

// Starts the run's Launcher with the script, then the host against it.
bool StartHostRun(HostRun *run, int showCommand = -1,
                  const LauncherScript &script = LauncherScript{});

// The run's host window, waiting at most until milliseconds after started
// (a GetTickCount value), so that a table of runs shares one bound.
HWND WaitForHostWindowWithin(const HostRun &run, DWORD started, DWORD milliseconds);

// Ends the host (if it still runs) and the Launcher; safe to call twice.
void EndHostRun(HostRun *run);

// The bytes of a settings file as the host writes it.
std::string RewrittenSettings(const std::string &width, const std::string &height);

// Asks the host window for its size limits as the system does while the
// user drags its border.  The sender's MINMAXINFO is what the host's window
// procedure gets and gives back.
bool QueryMinMaxInfo(HWND window, MINMAXINFO *info);

// The system's limits on the outer size of a created top-level window:
// CreateWindowEx clamps the requested size to the maximum tracking size.
SIZE MaximumTrackSize();

#endif
