#include "console.h"
#include "exit_status.h"

#include <cstdlib>

// A normal process exit, with the status the console streams leave.
void end_process(int status) {
    std::exit(console_end_status(status));
}
