// The command line: banners, the table of operations and the usage text.
#pragma once

// Runs one operation as the command line asks and returns the exit status
// of a run that reached the finish banner (always 0).
int run_command_line(int argc, char** argv);

// Prints the usage text on standard error and ends the process with `status`.
[[noreturn]] void print_usage(int status);
