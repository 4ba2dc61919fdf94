// qorvelix: links and views ADPCM sample banks.
#include "command_line.h"
#include "exit_status.h"
#include "os/console.h"
#include "os/process.h"

// The one end of the process: what the command line returns, unless a
// console stream could not be written in full.
int main(int argc, char** argv) {
    use_binary_console_streams();
    int status = run_command_line(argc, argv);
    return flush_console_streams() ? status : EXIT_STATUS_FATAL;
}
