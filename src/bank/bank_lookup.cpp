#include "bank_lookup.h"

#include "bank_format.h"
#include "os/console.h"

int find_bank_element(const char* path, const unsigned char* head, int32_t file_size, int32_t tone,
                      int32_t* offset, int32_t* size) {
    if (file_size < BANK_HEADER_SIZE) {
        out_printf("E [LINK] ERROR, too short File [%s].\n", path);
        return LOOKUP_TOO_SHORT;
    }
    if (!header_word_matches(head, file_size)) {
        out_printf("W [LINK] BAD Filesize(0x1E) [%s]\n", path);
    }
    if (tone < 0 || tone >= TONE_COUNT || bank_entry(head, tone).start == 0) {
        out_printf("E [LINK] NOT FOUND PPC-Element [%s/@%d]\n", path, tone);
        return LOOKUP_NOT_FOUND;
    }
    BankEntry e = bank_entry(head, tone);
    if (!entry_inside_data(e, file_size)) {
        out_printf("E [LINK] BAD PPC-Format [%s]\n", path);
        return LOOKUP_BAD_FORMAT;
    }
    *offset = block_offset(e.start);
    *size = block_span_size(e.start, e.end);
    return LOOKUP_OK;
}

int lookup_bank_element(const char* path, int32_t tone, int32_t* offset, int32_t* size) {
    unsigned char head[BANK_HEADER_SIZE];
    int32_t file_size = 0;
    if (read_bank_head(path, head, &file_size) == BANK_UNREADABLE) {
        out_printf("E [LINK] ERROR, cannot read File [%s].\n", path);
        return LOOKUP_UNREADABLE;
    }
    return find_bank_element(path, head, file_size, tone, offset, size);
}
