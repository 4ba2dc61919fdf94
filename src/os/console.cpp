#include "console.h"

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

int err_printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = std::vfprintf(stderr, format, args);
    va_end(args);
    return n;
}

const char* printable(const char* name) {
    return name != nullptr ? name : "(null)";
}

bool flush_console_streams() {
    bool out_ok = std::fflush(stdout) == 0 && !std::ferror(stdout);
    bool err_ok = std::fflush(stderr) == 0 && !std::ferror(stderr);
    if (!out_ok && err_ok) {
        err_printf("E [QORVELIX] write error [standard output]\n");
        std::fflush(stderr);
    }
    return out_ok && err_ok;
}
