// The view operation: prints a bank's size, header word and tone table.
#pragma once

#include <cstdint>

// Entry point of "view". Returns 0, -1 when the bank cannot be read, -2 when
// it is shorter than a header and table.
int view_bank(const char* path);

// Prints the report of a bank of `size` bytes whose first bytes (at least
// BANK_HEADER_SIZE of them) are `bank`.
void print_bank_report(const unsigned char* bank, int32_t size);
