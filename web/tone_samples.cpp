// What the page plays and draws for a tone of a bank: the facts of its table
// entry and the samples the chip makes of its bytes, read with the program's
// own bank reader and decoded with its own decoder. Built into the browser's
// module only, for the page to call.
#include "audio/adpcm.h"
#include "bank/bank_format.h"
#include "os/file_input.h"

#include <emscripten.h>

#include <cstdlib>

namespace {

// The places of qorvelix_tone_samples' facts.
enum Fact { FACT_START, FACT_END, FACT_OFFSET, FACT_SIZE, FACT_PRESENT, FACT_COUNT };

} // namespace

// Reads entry `tone` of the bank at `path` into the FACT_COUNT numbers at
// `facts`: its start and end block addresses, its byte offset and size as the
// table gives them, and how many of those bytes lie inside the file (fewer
// for a tone cut off by the end of the file, none for one outside it).
// Decodes those bytes into a buffer of 2 samples a byte, which `*samples`
// points to afterwards (free it with free()), and returns the number of
// samples. Returns 0 with `*samples` null when no byte of the tone is in the
// file, an empty entry (start address 0) included; -1 when the bank cannot be
// read or is shorter than its header and table, after the reader's line on
// standard error for an unreadable one.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t qorvelix_tone_samples(const char* path, int tone,
                                                              int32_t* facts, int16_t** samples) {
    *samples = nullptr;
    unsigned char head[BANK_HEADER_SIZE];
    int32_t file_size = 0;
    if (tone < 0 || tone >= TONE_COUNT || read_bank_head(path, head, &file_size) != BANK_HEAD_OK) {
        return -1;
    }
    BankEntry entry = bank_entry(head, tone);
    int32_t offset = block_offset(entry.start);
    int32_t size = block_span_size(entry.start, entry.end);
    int32_t present = 0;
    if (entry.start != 0 && offset >= 0 && size > 0 && offset < file_size) {
        present = size < file_size - offset ? size : file_size - offset;
    }
    facts[FACT_START] = entry.start;
    facts[FACT_END] = entry.end;
    facts[FACT_OFFSET] = offset;
    facts[FACT_SIZE] = size;
    facts[FACT_PRESENT] = present;
    if (present == 0) {
        return 0;
    }
    unsigned char* bytes = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(present)));
    int16_t* decoded = static_cast<int16_t*>(std::malloc(static_cast<size_t>(present) * 2 * sizeof(int16_t)));
    if (bytes == nullptr || decoded == nullptr || read_file_range(path, offset, present, bytes) < 0) {
        std::free(bytes);
        std::free(decoded);
        return -1;
    }
    adpcm_decode_tone(bytes, static_cast<size_t>(present), decoded);
    std::free(bytes);
    *samples = decoded;
    return present * 2;
}
