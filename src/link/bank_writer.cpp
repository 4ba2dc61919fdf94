#include "bank_writer.h"

#include "bank/bank_format.h"
#include "shell/console.h"
#include "shell/exit_status.h"
#include "shell/file_input.h"
#include "shell/file_output.h"
#include "tone_layout.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

// Puts the finished image in place under `name`, only now that every source
// has been read, so a failed run leaves an existing bank alone and a list may
// rebuild a bank from its own tones. The name holds the old bank or the new
// one whole at every moment.
void write_bank_file(const char* name, const unsigned char* image, int32_t total) {
    int written = replace_file(name, image, static_cast<size_t>(total));
    if (written == OUTPUT_CANNOT_OPEN) {
        err_printf(stderr, "E [LINK] cannot open [%s]\n", name);
        end_process(EXIT_STATUS_FATAL);
    }
    if (written != OUTPUT_OK) {
        err_printf(stderr, "E [LINK] write error [%s]\n", name);
        end_process(EXIT_STATUS_FATAL);
    }
}

} // namespace

// Reads the tone's bytes straight into the image; nothing else of the source
// is read, so the cost follows the tone, not the file it sits in.
int copy_source(unsigned char* dest, const char* name, int32_t size, int32_t source_offset) {
    int32_t got = read_file_range(name, source_offset, size, dest);
    if (got >= 0 && int64_t{source_offset} + size > got) {
        // The source has shrunk since it was measured.
        err_printf(stderr, "E [QORVELIX] File read error.\n");
        got = -1;
    }
    if (got < 0) {
        err_printf(stderr, "- [QORVELIX] READ PCM Failed [%s]\n", name);
        return -1;
    }
    return 0;
}

int gather_bank(const ToneTable table, int32_t total, unsigned char* image) {
    std::memset(image, 0, static_cast<size_t>(total));
    std::memcpy(image, BANK_MAGIC, BANK_MAGIC_SIZE);
    write_u16le(image + HEADER_WORD_OFFSET, header_word_for(total));
    for (int tone = 0; tone < TONE_COUNT; tone++) {
        const ToneSlot& slot = table[tone];
        if (slot.name == nullptr) {
            continue;
        }
        unsigned char* entry = image + TONE_TABLE_OFFSET + tone * TONE_ENTRY_SIZE;
        write_u16le(entry, slot.start);
        write_u16le(entry + 2, slot.end);
    }
    for (int tone = 0; tone < TONE_COUNT; tone++) {
        const ToneSlot& slot = table[tone];
        if (slot.name == nullptr) {
            continue;
        }
        unsigned char* dest = image + block_offset(slot.start);
        if (copy_source(dest, slot.name, slot.size, slot.source_offset) != 0) {
            return -1;
        }
    }
    return 0;
}

int link_bank(const char* list_path) {
    ToneTable table;
    std::unique_ptr<char[]> list_text;
    int32_t total = 0;
    const char* output = layout_tones(list_path, table, &total, list_text);
    if (output == nullptr) {
        return -1;
    }
    out_printf("  [QORVELIX] Totalsize : %d bytes (%04X)\n", total,
               unsigned{header_word_for(total)});
    std::unique_ptr<unsigned char[]> image(new (std::nothrow) unsigned char[total]);
    if (!image) {
        err_printf(stderr, "E [QORVELIX] not enough memory. [%s]\n", output);
        end_process(EXIT_STATUS_FATAL);
    }
    if (gather_bank(table, total, image.get()) != 0) {
        end_process(EXIT_STATUS_FATAL);
    }
    write_bank_file(output, image.get(), total);
    err_printf(stderr, "  [LINK] done [%s]\n", output);
    return 0;
}
