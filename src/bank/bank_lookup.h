// The lookup of one tone inside an existing bank, for a bank given as the
// source of a tone.
#pragma once

#include <cstdint>

// Return codes of the bank lookup.
enum LookupResult {
    LOOKUP_OK = 0,
    LOOKUP_UNREADABLE = -1,
    LOOKUP_TOO_SHORT = -2,
    LOOKUP_BAD_FORMAT = -3,
    LOOKUP_NOT_FOUND = -4,
};

// Finds tone `tone` of the bank file at `path`: its byte offset and size.
// Reads the bank's size and its header and table only. Returns a
// LookupResult after reporting any failure.
int lookup_bank_element(const char* path, int32_t tone, int32_t* offset, int32_t* size);

// The checks of the lookup on a bank already read: `head` holds its first
// min(file_size, BANK_HEADER_SIZE) bytes and `file_size` is its length.
// `path` only names the bank in messages.
int find_bank_element(const char* path, const unsigned char* head, int32_t file_size, int32_t tone,
                      int32_t* offset, int32_t* size);
