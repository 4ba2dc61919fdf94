// The link operation: lays out the tone list and writes the bank.
#pragma once

#include "tone_list.h"

#include <cstdint>

// Entry point of "link". Returns 0 when the bank is written and -1 when the
// layout failed. An unreadable list, a source that cannot be read for
// copying and an output that cannot be created or written end the process.
int link_bank(const char* list_path);

// Copies `size` bytes from offset `source_offset` of the file `name` into
// `dest`, reading nothing outside the file. Returns 0, or -1 after reporting a
// source that cannot be read or has become shorter than its measured tone.
int copy_source(unsigned char* dest, const char* name, int32_t size, int32_t source_offset);

// Builds the whole bank image of `total` bytes in `image`: header, table and
// every tone's bytes at its block address, short tones padded with zeros.
// Returns 0, or -1 when a source could not be copied.
int gather_bank(const ToneTable table, int32_t total, unsigned char* image);
