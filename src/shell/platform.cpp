#include "platform.h"

#if defined(_WIN32)
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#endif

void use_binary_console_streams() {
#if defined(_WIN32)
    // A stream that is not open (no console at all) simply stays as it is.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}
