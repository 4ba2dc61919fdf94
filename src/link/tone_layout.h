// The tone layout: measures every tone of the list and gives it its blocks.
#pragma once

#include "tone_list.h"

#include <cstdint>
#include <memory>

// Return codes of the bank lookup.
enum LookupResult {
    LOOKUP_OK = 0,
    LOOKUP_UNREADABLE = -1,
    LOOKUP_TOO_SHORT = -2,
    LOOKUP_BAD_FORMAT = -3,
    LOOKUP_NOT_FOUND = -4,
};

// Reads the list at `list_path` into `table` and `list_text`, measures each
// named tone in tone-number order and places it in the bank. Returns the
// output name with the bank's size in `total`, or null after reporting.
const char* layout_tones(const char* list_path, ToneTable table, int32_t* total,
                         std::unique_ptr<char[]>& list_text);

// Finds tone `tone` of the bank file at `path`: its byte offset and size.
// Returns a LookupResult after reporting any failure.
int lookup_bank_element(const char* path, int32_t tone, int32_t* offset, int32_t* size);

// The checks of the lookup on a bank already read: `head` holds its first
// min(file_size, BANK_HEADER_SIZE) bytes and `file_size` is its length.
// `path` only names the bank in messages.
int find_bank_element(const char* path, const unsigned char* head, int32_t file_size, int32_t tone,
                      int32_t* offset, int32_t* size);
