// The link operation: builds a bank from a tone list.
#pragma once

#include "tone_list.h"

#include <cstdint>

// Entry point of "link": an Outcome. Done when the bank is written; failed
// after reporting a list, source, lookup or size error; no input when the
// list cannot be read; fatal when a source cannot be read for copying or the
// output cannot be created or written.
int link_bank(const char* list_path);

// Builds the whole bank image of `total` bytes in `image`: header, table and
// every tone's bytes at its block address, short tones padded with zeros.
// Returns 0, or -1 when a source could not be copied.
int gather_bank(const ToneTable table, int32_t total, unsigned char* image);
