#include "console.h"

#include "exit_status.h"

#include <cstdarg>

// Neither printer adds anything or flushes: the message text carries its own
// mark and tag, and the streams are written out when the process exits.
int out_printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = std::vfprintf(stdout, format, args);
    va_end(args);
    return n;
}

int err_printf(FILE* stream, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = std::vfprintf(stream, format, args);
    va_end(args);
    return n;
}

const char* printable(const char* name) {
    return name != nullptr ? name : "(null)";
}

int console_end_status(int status) {
    bool out_ok = std::fflush(stdout) == 0 && !std::ferror(stdout);
    bool err_ok = std::fflush(stderr) == 0 && !std::ferror(stderr);
    if (!out_ok && err_ok) {
        err_printf(stderr, "E [QORVELIX] write error [standard output]\n");
        std::fflush(stderr);
    }
    return out_ok && err_ok ? status : EXIT_STATUS_FATAL;
}
