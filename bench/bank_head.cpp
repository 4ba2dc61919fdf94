// Writes the header and table of a bank to standard output, for the
// benchmark's banks: the header word is the argument, the entries are
// "TONE START END" lines on standard input (decimal numbers).
//
// usage: bank_head WORD < ENTRIES > HEAD
#include "bank/bank_format.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bank_head WORD < ENTRIES > HEAD\n");
        return 2;
    }
    BankEntry table[TONE_COUNT] = {};
    int tone = 0;
    unsigned start = 0, end = 0;
    while (std::scanf("%d %u %u", &tone, &start, &end) == 3) {
        if (tone < 0 || tone >= TONE_COUNT || start > 0xFFFF || end > 0xFFFF) {
            std::fprintf(stderr, "bank_head: bad entry %d %u %u\n", tone, start, end);
            return 2;
        }
        table[tone] = BankEntry{static_cast<uint16_t>(start), static_cast<uint16_t>(end)};
    }
    unsigned char head[BANK_HEADER_SIZE];
    write_bank_head(head, static_cast<uint16_t>(std::strtoul(argv[1], nullptr, 0)), table);
    bool ok = std::fwrite(head, 1, sizeof head, stdout) == sizeof head;
    return std::fclose(stdout) == 0 && ok ? 0 : 1;
}
