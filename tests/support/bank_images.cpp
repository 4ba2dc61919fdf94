// Bank images for the tests, made with the program's own bank writer.
#include "bank/bank_format.h"
#include "scratch.h"

Bytes make_bank(uint16_t header_word, const std::vector<EntrySpec>& entries, const Bytes& data) {
    BankEntry table[TONE_COUNT] = {};
    for (const EntrySpec& e : entries) {
        table[e.tone] = BankEntry{e.start, e.end};
    }
    Bytes bank(BANK_HEADER_SIZE, '\0');
    write_bank_head(reinterpret_cast<unsigned char*>(&bank[0]), header_word, table);
    return bank + data;
}
