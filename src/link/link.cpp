#include "link.h"

#include "bank/bank_format.h"
#include "os/console.h"
#include "os/file_input.h"
#include "os/file_output.h"
#include "os/outcome.h"
#include "tone_layout.h"
#include "tone_source.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

// Puts the finished image in place under `name`, only now that every source
// has been read, so a failed run leaves an existing bank alone and a list may
// rebuild a bank from its own tones. The name holds the old bank or the new
// one whole at every moment. Returns an Outcome.
int write_bank_file(const char* name, const unsigned char* image, int32_t total) {
    int written = replace_file(name, image, static_cast<size_t>(total));
    if (written == OUTPUT_CANNOT_OPEN) {
        err_printf("E [LINK] cannot open [%s]\n", name);
        return OUTCOME_FATAL;
    }
    if (written == OUTPUT_WRITE_ERROR) {
        err_printf("E [LINK] write error [%s]\n", name);
        return OUTCOME_FATAL;
    }
    if (written == OUTPUT_NOT_KEPT) {
        err_printf("W [LINK] owner or permissions not kept [%s]\n", name);
    }
    return OUTCOME_DONE;
}

} // namespace

int gather_bank(const ToneTable table, int32_t total, unsigned char* image) {
    std::memset(image, 0, static_cast<size_t>(total));
    BankEntry entries[TONE_COUNT] = {};
    for (int tone = 0; tone < TONE_COUNT; tone++) {
        if (table[tone].name != nullptr) {
            entries[tone] = BankEntry{table[tone].start, table[tone].end};
        }
    }
    write_bank_head(image, header_word_for(total), entries);
    for (int tone = 0; tone < TONE_COUNT; tone++) {
        const ToneSlot& slot = table[tone];
        if (slot.name == nullptr) {
            continue;
        }
        unsigned char* dest = image + block_offset(slot.start);
        if (fill_tone(dest, slot) != 0) {
            return -1;
        }
    }
    return 0;
}

// Reads the list, sizes and lays out its tones, gathers their bytes into the
// bank's image and puts the image in place of the output.
int link_bank(const char* list_path) {
    ListText text = read_list_text(list_path);
    if (!text) {
        out_printf("E [QORVELIX] LXI NOT FOUND [%s]\n", list_path);
        return OUTCOME_NO_INPUT;
    }
    ToneTable table;
    int32_t total = 0;
    const char* output = layout_tones(text.get(), table, size_tone, &total);
    if (output == nullptr) {
        return OUTCOME_FAILED;
    }
    out_printf("  [QORVELIX] Totalsize : %d bytes (%04X)\n", total,
               unsigned{header_word_for(total)});
    std::unique_ptr<unsigned char[]> image(new (std::nothrow) unsigned char[total]);
    if (!image) {
        err_printf("E [QORVELIX] not enough memory. [%s]\n", output);
        return OUTCOME_FATAL;
    }
    if (gather_bank(table, total, image.get()) != 0) {
        return OUTCOME_FATAL;
    }
    int written = write_bank_file(output, image.get(), total);
    if (written != OUTCOME_DONE) {
        return written;
    }
    err_printf("  [LINK] done [%s]\n", output);
    return OUTCOME_DONE;
}
