#include "tone_source.h"

#include "bank/bank_format.h"
#include "bank/bank_lookup.h"
#include "os/console.h"
#include "os/file_input.h"

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

int64_t size_tone(ToneSlot& slot) {
    return names_a_bank(slot.name) ? measure_bank_tone(slot) : measure_plain(slot);
}

// Reads the tone's bytes straight into the image; nothing else of the source
// is read, so the cost follows the tone, not the file it sits in.
int copy_source(unsigned char* dest, const char* name, int32_t size, int32_t source_offset) {
    int32_t got = read_file_range(name, source_offset, size, dest);
    if (got >= 0 && int64_t{source_offset} + size > got) {
        // The source has shrunk since it was measured.
        err_printf("E [QORVELIX] File read error.\n");
        got = -1;
    }
    if (got < 0) {
        err_printf("- [QORVELIX] READ PCM Failed [%s]\n", name);
        return -1;
    }
    return 0;
}
