// qorvelix: links and views ADPCM sample banks.
#include "console.h"
#include "dispatch.h"
#include "platform.h"

int main(int argc, char** argv) {
    use_binary_console_streams();
    return console_end_status(run_command_line(argc, argv));
}
