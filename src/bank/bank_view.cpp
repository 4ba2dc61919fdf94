#include "bank_view.h"

#include "bank_format.h"
#include "os/console.h"
#include "os/outcome.h"

namespace {

// Prints every present tone with its addresses, offset and size. Entries are
// printed as they stand, negative offsets and sizes included: the viewer
// shows a bank, it does not judge whether the data lies inside the file.
void print_bank_report(const unsigned char* bank, int32_t size) {
    out_printf("  [VIEW] PPC FileSize : %d bytes\n", size);
    uint16_t word = bank_header_word(bank);
    int32_t word_size = block_offset(word);
    out_printf("  [VIEW] PPC     0x1E : %04X (%d*32-160=%d)\n", unsigned{word}, int{word},
               word_size);
    if (!header_word_matches(bank, size)) {
        out_printf("W [VIEW] BAD Filesize(0x1E)\n");
    }
    out_printf("  [VIEW]            @ : strt  end  offset    size\n");
    for (int tone = 0; tone < TONE_COUNT; tone++) {
        BankEntry e = bank_entry(bank, tone);
        if (e.start == 0) {
            continue;
        }
        out_printf("  [VIEW] PCM Tone %3d : %04X %04X %7d %7d\n", tone, unsigned{e.start},
                   unsigned{e.end}, block_offset(e.start), block_span_size(e.start, e.end));
    }
}

} // namespace

// Only the header and table are read, whatever the file's size: the report
// needs nothing else.
int view_bank(const char* path) {
    unsigned char head[BANK_HEADER_SIZE];
    int32_t size = 0;
    int read = read_bank_head(path, head, &size);
    if (read == BANK_UNREADABLE) {
        out_printf("E [VIEW] ERROR, cannot read File [%s].\n", path);
        return OUTCOME_FAILED;
    }
    if (read == BANK_TOO_SHORT) {
        out_printf("E [VIEW] ERROR, too short File [%s].\n", path);
        return OUTCOME_FAILED;
    }
    print_bank_report(head, size);
    return OUTCOME_DONE;
}
