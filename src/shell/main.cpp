// qorvelix: links and views ADPCM sample banks.
#include "dispatch.h"
#include "platform.h"

int main(int argc, char** argv) {
    use_binary_console_streams();
    return run_command_line(argc, argv);
}
