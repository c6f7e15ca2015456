/* The GUI entry point.  The arguments and the show command are taken from the
 * process itself rather than from the runtime's WinMain parameters, so that
 * every compiler's runtime yields the same words. */
#include <windows.h>

#include "startup/launch_words.h"
#include "startup/startup.h"

static int StartupShowCommand() {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    if (startup.dwFlags & STARTF_USESHOWWINDOW) return startup.wShowWindow;
    return SW_SHOWDEFAULT;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return RunHost(instance, SkipProgramName(GetCommandLineA()), StartupShowCommand());
}
