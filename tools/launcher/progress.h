/* The launcher's console output: progress on stdout, errors on stderr. */
#ifndef LAUNCHER_PROGRESS_H
#define LAUNCHER_PROGRESS_H

#if defined(__GNUC__)
#define LAUNCHER_PRINTF_LIKE __attribute__((format(printf, 1, 2)))
#else
#define LAUNCHER_PRINTF_LIKE
#endif

/* One line of progress, prefixed with the program's name. */
void Progress(const char *format, ...) LAUNCHER_PRINTF_LIKE;

/* One line of error. */
void Complain(const char *format, ...) LAUNCHER_PRINTF_LIKE;

#endif
