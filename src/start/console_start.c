/* The start of a console program where no C runtime start-up object is
 * linked: the routine the linker makes the entry point of a program with
 * main.  ucrtbase.dll readies itself when it is loaded; it is asked to split
 * the command line as the runtime's start-up would, and exit flushes the
 * standard streams. */
#include <corecrt_startup.h>
#include <stdlib.h>

int main(int argc, char **argv);

int mainCRTStartup(void) {
    _set_app_type(_crt_console_app);
    if (_configure_narrow_argv(_crt_argv_unexpanded_arguments) != 0) exit(255);
    exit(main(__argc, __argv));
}
