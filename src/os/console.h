// The two console printers every message goes through.
#pragma once

#include <cstdio>

#if defined(__MINGW32__)
// The Windows build formats with the C99 printf of the MinGW runtime
// (__USE_MINGW_ANSI_STDIO), so formats are checked against its rules, not
// those of the system library's printf.
#define QORVELIX_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define QORVELIX_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QORVELIX_PRINTF(fmt, args)
#endif

// Formats like printf onto standard output; returns the characters written.
int out_printf(const char* format, ...) QORVELIX_PRINTF(1, 2);

// Formats like printf onto standard error.
int err_printf(const char* format, ...) QORVELIX_PRINTF(1, 2);

// A name for a "%s" conversion: an absent name prints as "(null)" on every
// platform instead of relying on the C library's treatment of null.
const char* printable(const char* name);

// Writes out what both console streams still hold. Returns false when
// either could not be written in full, after printing "E [QORVELIX] write
// error [standard output]" on standard error where standard output failed
// and standard error still works. Called once, as the process ends.
bool flush_console_streams();
