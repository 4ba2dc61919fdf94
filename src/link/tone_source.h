// Where a tone's bytes come from: a plain file taken whole, or one tone of
// an existing bank when the name ends in ".PPC".
#pragma once

#include "tone_list.h"

#include <cstdint>

// The sizer the link operation lays its tones out with: measures the tone's
// source and fills the slot's `size` and `source_offset`. Returns the bytes
// the tone takes in the bank (a plain file rounded up to whole blocks), or
// -1 after reporting.
int64_t size_tone(ToneSlot& slot);

// Copies `size` bytes from offset `source_offset` of the file `name` into
// `dest`, reading nothing outside the file. Returns 0, or -1 after reporting a
// source that cannot be read or has become shorter than its measured tone.
int copy_source(unsigned char* dest, const char* name, int32_t size, int32_t source_offset);
