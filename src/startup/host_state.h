/* The process-wide state of the host: one instance, alive for the whole
 * process, shared by the start-up sequence, the window procedure and the
 * game launcher thread. */
#ifndef GAMEHOST_HOST_STATE_H
#define GAMEHOST_HOST_STATE_H

#include <windows.h>

#include "startup/launch_words.h"

struct HostState {
    const char *gameVersion = "1.0.0.2";
    const char *settingsFileName = "TRNW.conf";
    int windowWidth = 1080;
    int windowHeight = 820;
    const char *gameImageName = "Mirelune.dll";
    const char *windowClassName = "TRNWGameClass";
    const char *windowTitle = "Tarnwick";
    HWND hostWindow = nullptr;
    HWND gameWindow = nullptr;
    PROCESS_INFORMATION gameProcess = {};
    int handshakePort = 0;
};

extern HostState hostState;

/* The launch token from the command line.  Apart from HostState, whose
 * initial values put it in the image's initialised data, so that these
 * 32 KiB stay zero-filled memory instead of bytes of the file. */
extern LaunchToken launchToken;

/* The folder of the running executable with its trailing backslash.  False
 * when the program's own path does not fit in the buffer: a cut path would
 * name some other folder. */
bool ModuleDirectory(char (&directory)[MAX_PATH]);

/* directory followed by fileName; false when it does not fit. */
bool JoinPath(const char *directory, const char *fileName, char (&path)[MAX_PATH]);

/* ModuleDirectory followed by fileName; false when it does not fit. */
bool PathBesideModule(const char *fileName, char (&path)[MAX_PATH]);

#endif
