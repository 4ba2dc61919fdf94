// The view operation: prints a bank's size, header word and tone table.
#pragma once

// Entry point of "view": an Outcome (done, or failed after reporting a bank
// that cannot be read or is shorter than a header and table).
int view_bank(const char* path);
