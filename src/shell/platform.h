// The little the program needs from the platform beyond the C library.
#pragma once

// Puts standard output and standard error into binary mode where the C
// library would otherwise turn each "\n" into "\r\n" (Windows), so every
// message has the same bytes on every platform. Does nothing elsewhere.
// Called before anything is printed.
void use_binary_console_streams();
