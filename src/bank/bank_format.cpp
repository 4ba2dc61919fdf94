#include "bank_format.h"

#include "os/file_input.h"

#include <cstring>

void write_bank_head(unsigned char* head, uint16_t header_word, const BankEntry entries[TONE_COUNT]) {
    std::memcpy(head, BANK_MAGIC, BANK_MAGIC_SIZE);
    write_u16le(head + HEADER_WORD_OFFSET, header_word);
    for (int tone = 0; tone < TONE_COUNT; tone++) {
        unsigned char* entry = head + TONE_TABLE_OFFSET + tone * TONE_ENTRY_SIZE;
        write_u16le(entry, entries[tone].start);
        write_u16le(entry + 2, entries[tone].end);
    }
}

int read_bank_head(const char* path, unsigned char* head, int32_t* file_size) {
    std::memset(head, 0, BANK_HEADER_SIZE);
    int32_t size = read_file_range(path, 0, BANK_HEADER_SIZE, head);
    if (size < 0) {
        return BANK_UNREADABLE;
    }
    *file_size = size;
    return size < BANK_HEADER_SIZE ? BANK_TOO_SHORT : BANK_HEAD_OK;
}
