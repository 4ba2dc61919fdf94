// Where a tone's bytes come from: one tone of an existing bank when the
// name ends in ".PPC", a recording (a WAV file, whatever its name) encoded
// into the chip's ADPCM, or any other file taken whole as it is.
#pragma once

#include "tone_list.h"

#include <cstdint>

// The rate a recording's tone is made at when the list gives none: the
// rate these banks' tones play at their recorded pitch.
constexpr int32_t DEFAULT_TONE_RATE = 16000;

// The sizer the link operation lays its tones out with: measures the tone's
// source and fills the slot's `size`, `source_offset` and `tone_rate`, from
// a recording's header alone. Returns the bytes the tone takes in the bank
// (a plain file rounded up to whole blocks), or -1 after reporting.
int64_t size_tone(ToneSlot& slot);

// Puts the tone of `slot`, as sized, into `dest`: its bytes copied from a
// plain file or a bank, or its recording encoded. Returns 0, or -1 after
// reporting a source that cannot be read or is no longer what was sized.
int fill_tone(unsigned char* dest, const ToneSlot& slot);

// Copies `size` bytes from offset `source_offset` of the file `name` into
// `dest`, reading nothing outside the file. Returns 0, or -1 after reporting a
// source that cannot be read or has become shorter than its measured tone.
int copy_source(unsigned char* dest, const char* name, int32_t size, int32_t source_offset);
