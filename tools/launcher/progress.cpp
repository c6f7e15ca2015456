/* Writes the launcher's progress and error lines. */
#include "progress.h"

#include <stdarg.h>
#include <stdio.h>

static void WriteLine(FILE *stream, const char *format, va_list arguments) {
    fputs("launcher: ", stream);
    vfprintf(stream, format, arguments);
    fputc('\n', stream);
    /* stdout is fully buffered when it is a file or a pipe; whoever watches
     * it must see each step as it happens, not when the host has ended. */
    fflush(stream);
}

void Progress(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    WriteLine(stdout, format, arguments);
    va_end(arguments);
}

void Complain(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    WriteLine(stderr, format, arguments);
    va_end(arguments);
}
