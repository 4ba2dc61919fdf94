// The tone list (LXI) reader: fills the tone table and finds the output name.
//
// One line per entry, fields separated by TABs:
//   ;comment
//   *<TAB>OUT.PPC              the bank to write
//   0<TAB>BASS.PCM             tone 0 is the whole plain file
//   5<TAB>OLD.PPC<TAB>12       tone 5 is tone 12 of an existing bank
//   7<TAB>KICK.WAV<TAB>22050   tone 7 is a recording, encoded at 22050 Hz
#pragma once

#include "bank/bank_format.h"

#include <cstdint>

// One tone of the bank being built. `name` points into the list text.
struct ToneSlot {
    const char* name;      // source file; null when the slot is empty
    int32_t size;          // bytes of tone data taken from the source
    int32_t source_tone;   // field 3: tone number inside a source bank, or
                           // the rate of a recording
    int32_t source_offset; // where the data starts inside the source
    uint16_t blocks;       // 32-byte blocks the tone takes in the bank
    uint16_t start;        // first block address in the bank
    uint16_t end;          // last block address in the bank
    int32_t line;          // the list line that named the source last
    int32_t tone_rate;     // a recording's rate in Hz; 0 for other sources
};

using ToneTable = ToneSlot[TONE_COUNT];

// Splits the line at `line` in place into up to `count` fields: every TAB
// becomes a zero byte, fields past `count` are not started, and the line end
// is cut off. Fields the line does not reach are null. Returns where the next
// line begins (at the terminating zero byte after the last line).
char* split_fields(char* line, char* fields[], int count);

// Reads a decimal number the way the list format does: leading white space,
// an optional sign, digits up to the first non-digit, 0 when there are none,
// and values beyond the signed 32-bit range held at the nearest limit.
int32_t parse_list_number(const char* text);

// Fills `table` from zero-terminated list `text`, modified in place (a
// byte-order mark at its head is skipped), and prints each output and tone
// line. Returns the output name, which points into `text`, or null after
// printing the first error.
const char* parse_tone_list(char* text, ToneTable table);
