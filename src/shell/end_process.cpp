#include "exit_status.h"

#include <cstdlib>

// A normal process exit: std::exit flushes and closes the C streams.
void end_process(int status) {
    std::exit(status);
}
