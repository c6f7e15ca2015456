/* The start of a GUI program where no C runtime start-up object is linked:
 * the routine the linker makes the entry point of a program with WinMain.
 * ucrtbase.dll readies itself when it is loaded; what is left is what the
 * runtime's own start-up would hand WinMain, and exit, which flushes the
 * streams the program leaves open. */
#include <windows.h>

#include <corecrt_startup.h>
#include <stdlib.h>

/* The show command the starter asked for, as the runtime's start-up
 * reads it. */
static int StartupShowCommand(void) {
    STARTUPINFOA startup = {0};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    if (startup.dwFlags & STARTF_USESHOWWINDOW) return startup.wShowWindow;
    return SW_SHOWDEFAULT;
}

int WinMainCRTStartup(void) {
    _set_app_type(_crt_gui_app);
    exit(WinMain(GetModuleHandleA(NULL), NULL, _get_narrow_winmain_command_line(),
                 StartupShowCommand()));
}
