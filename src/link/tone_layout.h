// The tone layout: reads the list, has every named tone sized and gives it
// its blocks in the bank.
#pragma once

#include "tone_list.h"

#include <cstdint>

// Measures the source of one named tone: fills the slot's `size` and
// `source_offset` and returns the bytes the tone takes in the bank (whole
// blocks), or -1 after reporting why it cannot be taken.
using ToneSizer = int64_t (*)(ToneSlot& slot);

// Fills `table` from the list `text` (modified in place; the table and the
// returned name point into it), asks `size_tone` for each named tone in
// tone-number order and places the tones in the bank. Returns the output
// name with the bank's size in `total`, or null after reporting.
const char* layout_tones(char* text, ToneTable table, ToneSizer size_tone, int32_t* total);
