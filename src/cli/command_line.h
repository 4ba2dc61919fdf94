// The command line: banners, the table of operations and the usage text.
#pragma once

// Runs one operation as the command line asks, prints the lines that frame
// it, and returns the exit status of the run.
int run_command_line(int argc, char** argv);
