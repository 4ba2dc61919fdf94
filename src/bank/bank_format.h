// The PPC bank layout and its block address arithmetic, for every part of
// the program that reads or writes a bank.
//
//   offset 0      30 bytes  magic text
//   offset 0x1E    2 bytes  header word: next free block address
//   offset 0x20 1024 bytes  256 entries of start and end block address
//   offset 0x420    ...     tone data in 32-byte blocks
//
// Every multi-byte field is little-endian. Block address A is the block at
// byte offset A * 32 - 160; a start address of 0 marks an empty entry.
#pragma once

#include <cstdint>

constexpr char BANK_MAGIC[] = "ADPCM DATA for  PMD ver.4.4-  ";
constexpr int BANK_MAGIC_SIZE = 30;
constexpr int HEADER_WORD_OFFSET = 0x1E;
constexpr int TONE_TABLE_OFFSET = 0x20;
constexpr int TONE_COUNT = 256;
constexpr int TONE_ENTRY_SIZE = 4;
constexpr int BANK_HEADER_SIZE = 1056;
constexpr int BLOCK_SIZE = 32;
constexpr int ADDRESS_BIAS = 160;
constexpr uint16_t FIRST_TONE_ADDRESS = 0x26;
// Largest bank file, header and table included.
constexpr int32_t BANK_SIZE_LIMIT = 260928;

static_assert(sizeof(BANK_MAGIC) - 1 == BANK_MAGIC_SIZE, "magic is 30 bytes");
static_assert(TONE_TABLE_OFFSET + TONE_COUNT * TONE_ENTRY_SIZE == BANK_HEADER_SIZE,
              "header and table fill 1056 bytes");

// One entry of a bank's tone table.
struct BankEntry {
    uint16_t start;
    uint16_t end;
};

// Byte offset of block address `address`; negative below address 5.
inline int32_t block_offset(uint16_t address) {
    return int32_t{address} * BLOCK_SIZE - ADDRESS_BIAS;
}

// Byte length of the blocks `start` to `end`; negative when `end` lies more
// than one below `start`.
inline int32_t block_span_size(uint16_t start, uint16_t end) {
    return (int32_t{end} - int32_t{start} + 1) * BLOCK_SIZE;
}

// The header word a bank of `file_size` bytes carries.
inline uint16_t header_word_for(int32_t file_size) {
    return static_cast<uint16_t>((file_size + ADDRESS_BIAS) / BLOCK_SIZE);
}

inline uint16_t read_u16le(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline void write_u16le(unsigned char* p, uint16_t value) {
    p[0] = static_cast<unsigned char>(value & 0xFF);
    p[1] = static_cast<unsigned char>(value >> 8);
}

// The header word of a bank whose first BANK_HEADER_SIZE bytes are `bank`.
inline uint16_t bank_header_word(const unsigned char* bank) {
    return read_u16le(bank + HEADER_WORD_OFFSET);
}

// Table entry `tone` of a bank whose first BANK_HEADER_SIZE bytes are `bank`.
inline BankEntry bank_entry(const unsigned char* bank, int tone) {
    const unsigned char* p = bank + TONE_TABLE_OFFSET + tone * TONE_ENTRY_SIZE;
    return BankEntry{read_u16le(p), read_u16le(p + 2)};
}

// Writes the header and table of a bank into the BANK_HEADER_SIZE bytes at
// `head`: the magic, `header_word`, and `entries[tone]` for every tone (an
// entry of {0, 0} is an empty one).
void write_bank_head(unsigned char* head, uint16_t header_word, const BankEntry entries[TONE_COUNT]);

// Whether entry `e` of a bank of `file_size` bytes lies within its tone
// data: starting at or after the first data block (not in the header and
// table), of no negative length, and not past the end of the file.
inline bool entry_inside_data(BankEntry e, int32_t file_size) {
    int32_t size = block_span_size(e.start, e.end);
    return e.start >= FIRST_TONE_ADDRESS && size >= 0 &&
           int64_t{block_offset(e.start)} + size <= file_size;
}

// Results of read_bank_head.
constexpr int BANK_HEAD_OK = 0;
// The file cannot be read; the reader's line is printed.
constexpr int BANK_UNREADABLE = -1;
// The file is shorter than a header and table.
constexpr int BANK_TOO_SHORT = -2;

// Reads the header and table of the bank at `path` into the
// BANK_HEADER_SIZE bytes at `head` (zeros past the end of a short file) and
// its size into `file_size`, whatever the file's size: nothing else is read.
// Returns BANK_HEAD_OK, BANK_UNREADABLE after the reader's line on standard
// error, or BANK_TOO_SHORT.
int read_bank_head(const char* path, unsigned char* head, int32_t* file_size);

// Whether the header word of the bank whose head is `head` describes a file
// of `file_size` bytes.
inline bool header_word_matches(const unsigned char* head, int32_t file_size) {
    return block_offset(bank_header_word(head)) == file_size;
}
