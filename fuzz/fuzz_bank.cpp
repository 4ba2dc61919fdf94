// The viewer and the bank lookup over any bytes as a bank. Reading only the
// header and table from the file must give what the lookup gives on the whole
// bytes in memory, every tone it accepts must lie inside the file's tone
// data (never in its header and table), and the copy of that tone must bring
// exactly its bytes.
#include "bank/bank_view.h"
#include "fuzz_support.h"
#include "bank/bank_lookup.h"
#include "link/tone_source.h"
#include "os/outcome.h"

#include <cstring>
#include <vector>

namespace {

const char BANK[] = "B.PPC";

void check_tone(const std::vector<unsigned char>& bank, int32_t tone) {
    const int32_t file_size = static_cast<int32_t>(bank.size());
    int32_t file_offset = -7, file_bytes = -7, memory_offset = -7, memory_bytes = -7;
    int from_file = lookup_bank_element(BANK, tone, &file_offset, &file_bytes);
    int from_memory =
        find_bank_element(BANK, bank.data(), file_size, tone, &memory_offset, &memory_bytes);
    if (from_file != from_memory || file_offset != memory_offset || file_bytes != memory_bytes) {
        fuzz_fail("the lookup on the file differs from the lookup in memory");
    }
    if (from_file != LOOKUP_OK) {
        if (from_file != LOOKUP_TOO_SHORT && from_file != LOOKUP_BAD_FORMAT &&
            from_file != LOOKUP_NOT_FOUND) {
            fuzz_fail("a readable bank gave an unknown lookup result");
        }
        if (file_offset != -7 || file_bytes != -7) {
            fuzz_fail("a failed lookup stored a result");
        }
        return;
    }
    if (file_offset < BANK_HEADER_SIZE || file_bytes < 0 ||
        int64_t{file_offset} + file_bytes > file_size) {
        fuzz_fail("an accepted tone lies outside the bank's tone data");
    }
    std::vector<unsigned char> copied(static_cast<size_t>(file_bytes) + 1, 0xA5);
    if (copy_source(copied.data(), BANK, file_bytes, file_offset) != 0) {
        fuzz_fail("an accepted tone could not be copied");
    }
    if (std::memcmp(copied.data(), bank.data() + file_offset, static_cast<size_t>(file_bytes)) !=
            0 ||
        copied[static_cast<size_t>(file_bytes)] != 0xA5) {
        fuzz_fail("the copy brought other bytes than the tone's");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<unsigned char> bank(data, data + size);
    enter_private_dir();
    write_bytes(BANK, data, size);
    int viewed = view_bank(BANK);
    if (viewed != (size < BANK_HEADER_SIZE ? OUTCOME_FAILED : OUTCOME_DONE)) {
        fuzz_fail("view gave the wrong result");
    }
    // One tone the input picks with its last byte, one it picks out of range
    // or not with its size, and tone 0, the default of a list line.
    check_tone(bank, size > 0 ? data[size - 1] : 0);
    check_tone(bank, static_cast<int32_t>(size % 300) - 22);
    check_tone(bank, 0);
    leave_private_dir();
    return 0;
}
