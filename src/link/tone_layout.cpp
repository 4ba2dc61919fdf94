#include "tone_layout.h"

#include "bank/bank_format.h"
#include "shell/console.h"
#include "shell/file_input.h"

#include <cinttypes>
#include <cstring>

namespace {

const char BANK_SUFFIX[] = ".PPC";

// A source is a bank when its name ends in ".PPC", upper case exactly.
bool names_a_bank(const char* name) {
    size_t length = std::strlen(name);
    size_t suffix = sizeof(BANK_SUFFIX) - 1;
    return length >= suffix && std::memcmp(name + length - suffix, BANK_SUFFIX, suffix) == 0;
}

// An empty tone keeps its place, (start, start - 1), but the chip would play
// on past it through the data that follows, so the user is told.
void warn_empty_tone(const ToneSlot& slot) {
    out_printf("W [QORVELIX] PCM size is 0, empty tone [%s]\n", slot.name);
}

// Measures a plain source: the whole file, rounded up to whole blocks in the
// bank. Returns the bytes the tone takes in the bank, or -1 after reporting.
int64_t measure_plain(ToneSlot& slot) {
    int32_t size = get_plain_size(slot.name);
    if (size < 0) {
        out_printf("E [QORVELIX] NOT FOUND [%s].\n", slot.name);
        return -1;
    }
    slot.source_offset = 0;
    slot.size = size;
    if (size == 0) {
        warn_empty_tone(slot);
    } else if (size % BLOCK_SIZE != 0) {
        out_printf("W [QORVELIX] PCM size is not a multiple of 32, padded [%s]\n", slot.name);
    }
    return (int64_t{size} + BLOCK_SIZE - 1) / BLOCK_SIZE * BLOCK_SIZE;
}

// Measures a tone taken from a bank. Returns its bytes or -1.
int64_t measure_bank_tone(ToneSlot& slot) {
    if (lookup_bank_element(slot.name, slot.source_tone, &slot.source_offset, &slot.size) != 0) {
        return -1;
    }
    if (slot.size == 0) {
        warn_empty_tone(slot);
    }
    return slot.size;
}

} // namespace

int find_bank_element(const char* path, const unsigned char* head, int32_t file_size, int32_t tone,
                      int32_t* offset, int32_t* size) {
    if (file_size < BANK_HEADER_SIZE) {
        out_printf("E [LINK] ERROR, too short File [%s].\n", path);
        return LOOKUP_TOO_SHORT;
    }
    if (block_offset(bank_header_word(head)) != file_size) {
        out_printf("W [LINK] BAD Filesize(0x1E) [%s]\n", path);
    }
    if (tone < 0 || tone >= TONE_COUNT || bank_entry(head, tone).start == 0) {
        out_printf("E [LINK] NOT FOUND PPC-Element [%s/@%d]\n", path, tone);
        return LOOKUP_NOT_FOUND;
    }
    BankEntry e = bank_entry(head, tone);
    int32_t data_offset = block_offset(e.start);
    int32_t data_size = block_span_size(e.start, e.end);
    // Data that starts inside the header and table or has a negative length
    // lies outside any bank's tone data, as does data past the end of the
    // file.
    if (e.start < FIRST_TONE_ADDRESS || data_size < 0 ||
        int64_t{data_offset} + data_size > file_size) {
        out_printf("E [LINK] BAD PPC-Format [%s]\n", path);
        return LOOKUP_BAD_FORMAT;
    }
    *offset = data_offset;
    *size = data_size;
    return LOOKUP_OK;
}

// The lookup reads the bank's size and its header and table only; the copy
// reads the tone's own bytes later.
int lookup_bank_element(const char* path, int32_t tone, int32_t* offset, int32_t* size) {
    unsigned char head[BANK_HEADER_SIZE] = {};
    int32_t file_size = read_file_range(path, 0, BANK_HEADER_SIZE, head);
    if (file_size < 0) {
        out_printf("E [LINK] ERROR, cannot read File [%s].\n", path);
        return LOOKUP_UNREADABLE;
    }
    return find_bank_element(path, head, file_size, tone, offset, size);
}

// Tones are placed back to back in ascending tone number from the first data
// block, with no gaps for absent numbers. The first failing tone ends the
// layout; the size limit is tested once every tone has been measured, on a
// 64-bit total that cannot wrap however large the sources are.
const char* layout_tones(const char* list_path, ToneTable table, int32_t* total,
                         std::unique_ptr<char[]>& list_text) {
    const char* output = read_tone_list(list_path, table, list_text);
    if (output == nullptr) {
        return nullptr;
    }
    uint16_t address = FIRST_TONE_ADDRESS;
    int64_t running = 0;
    for (int tone = 0; tone < TONE_COUNT; tone++) {
        ToneSlot& slot = table[tone];
        if (slot.name == nullptr) {
            continue;
        }
        int64_t bytes = names_a_bank(slot.name) ? measure_bank_tone(slot) : measure_plain(slot);
        if (bytes < 0) {
            return nullptr;
        }
        running += bytes;
        slot.blocks = static_cast<uint16_t>(bytes / BLOCK_SIZE);
        slot.start = address;
        slot.end = static_cast<uint16_t>(address + slot.blocks - 1);
        address = static_cast<uint16_t>(address + slot.blocks);
    }
    running += BANK_HEADER_SIZE;
    if (running > BANK_SIZE_LIMIT) {
        err_printf(stderr, "E [QORVELIX] TOO Large PPC-File, %" PRId64 " bytes\n", running);
        return nullptr;
    }
    *total = static_cast<int32_t>(running);
    return output;
}
