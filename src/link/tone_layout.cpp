#include "tone_layout.h"

#include "bank/bank_format.h"
#include "os/console.h"

#include <cinttypes>

// Tones are placed back to back in ascending tone number from the first data
// block, with no gaps for absent numbers. The first failing tone ends the
// layout; the size limit is tested once every tone has been measured, on a
// 64-bit total that cannot wrap however large the sources are.
const char* layout_tones(char* text, ToneTable table, ToneSizer size_tone, int32_t* total) {
    const char* output = parse_tone_list(text, table);
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
        int64_t bytes = size_tone(slot);
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
        err_printf("E [QORVELIX] TOO Large PPC-File, %" PRId64 " bytes\n", running);
        return nullptr;
    }
    *total = static_cast<int32_t>(running);
    return output;
}
