// A whole link run over a list and a bank made from the input, in a private
// directory. The input is a 16-bit little-endian list length, the list, and
// the rest, which becomes both the bank B.PPC and the plain file B.PCM. Every
// '/' of the list becomes '_', so no name leaves the directory.
//
// A run must end in one of three ways: the layout fails, the operation
// reports a failure and the directory is as it was; the operation ends with a
// fatal fault and the directory is as it was (in this directory only a source
// that cannot be read or an output that cannot be created can cause it); or
// the bank is written, holding exactly the header, table and tone bytes the
// layout promised, and nothing else has changed.
#include "audio/recording.h"
#include "fuzz_support.h"
#include "link/link.h"
#include "link/tone_layout.h"
#include "link/tone_source.h"
#include "os/file_input.h"
#include "os/outcome.h"

#include <cstring>
#include <memory>
#include <string>

namespace {

int read_memory(void* context, int64_t offset, unsigned char* dest, size_t count) {
    const std::string* bytes = static_cast<const std::string*>(context);
    std::memcpy(dest, bytes->data() + offset, count);
    return 0;
}

// The tone a recording must become, encoded here from its bytes in memory.
std::string encoded_tone(const std::string& recording, const ToneSlot& slot) {
    ByteSource source{const_cast<std::string*>(&recording),
                      static_cast<int64_t>(recording.size()), read_memory};
    WavInfo info;
    std::string tone(static_cast<size_t>(slot.size), '\0');
    if (read_wav_info(source, &info) != WAV_OK ||
        encode_recording(source, info, slot.tone_rate, reinterpret_cast<unsigned char*>(&tone[0]),
                         tone.size(), nullptr) != RECORDING_OK) {
        fuzz_fail("a recording the layout took cannot be encoded");
    }
    return tone;
}

// The bank a run must write for the laid-out `table`, from the sources as
// they were before the run.
std::string expected_bank(const ToneTable table, int32_t total, const DirSnapshot& sources) {
    std::string bank(static_cast<size_t>(total), '\0');
    BankEntry entries[TONE_COUNT] = {};
    for (int tone = 0; tone < TONE_COUNT; tone++) {
        if (table[tone].name != nullptr) {
            entries[tone] = BankEntry{table[tone].start, table[tone].end};
        }
    }
    write_bank_head(reinterpret_cast<unsigned char*>(&bank[0]), header_word_for(total), entries);
    for (int tone = 0; tone < TONE_COUNT; tone++) {
        const ToneSlot& slot = table[tone];
        if (slot.name == nullptr) {
            continue;
        }
        auto source = sources.find(slot.name);
        if (source == sources.end()) {
            fuzz_fail("a tone was taken from a file that is not there");
        }
        const std::string& bytes =
            slot.tone_rate != 0 ? encoded_tone(source->second, slot) : source->second;
        int64_t offset = block_offset(slot.start);
        if (slot.source_offset < 0 || slot.size < 0 ||
            int64_t{slot.source_offset} + slot.size > static_cast<int64_t>(bytes.size()) ||
            offset < BANK_HEADER_SIZE || offset + slot.size > total) {
            fuzz_fail("the layout placed a tone outside its source or the bank");
        }
        bank.replace(
            static_cast<size_t>(offset), static_cast<size_t>(slot.size),
            bytes.substr(static_cast<size_t>(slot.source_offset), static_cast<size_t>(slot.size)));
    }
    if (header_word_for(total) * int64_t{BLOCK_SIZE} - ADDRESS_BIAS != total) {
        fuzz_fail("the header word does not describe the bank");
    }
    return bank;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t list_length = size;
    const uint8_t* list = data;
    if (size >= 2) {
        list_length = static_cast<size_t>(data[0] | (data[1] << 8));
        list_length = list_length < size - 2 ? list_length : size - 2;
        list = data + 2;
    }
    std::string list_text(reinterpret_cast<const char*>(list), list_length);
    for (char& c : list_text) {
        c = c == '/' ? '_' : c;
    }
    const uint8_t* rest = list + list_length;
    size_t rest_length = size - static_cast<size_t>(rest - data);

    enter_private_dir();
    write_bytes("LIST.LXI", reinterpret_cast<const uint8_t*>(list_text.data()), list_length);
    write_bytes("B.PPC", rest, rest_length);
    write_bytes("B.PCM", rest, rest_length);
    const DirSnapshot before = snapshot_dir();

    ToneTable table;
    ListText text = read_list_text("LIST.LXI");
    if (!text) {
        fuzz_fail("a readable list could not be read");
    }
    int32_t total = -1;
    const char* output = layout_tones(text.get(), table, size_tone, &total);
    int outcome = link_bank("LIST.LXI");
    const DirSnapshot after = snapshot_dir();
    leave_private_dir();

    if (outcome == OUTCOME_NO_INPUT || (outcome == OUTCOME_FATAL && output == nullptr)) {
        fuzz_fail("the run ended early where it should not");
    }
    if (outcome == OUTCOME_FAILED || outcome == OUTCOME_FATAL) {
        if ((outcome == OUTCOME_FAILED) != (output == nullptr) || after != before) {
            fuzz_fail("a failed run changed the directory");
        }
        return 0;
    }
    if (output == nullptr) {
        fuzz_fail("a run whose layout failed wrote a bank");
    }
    DirSnapshot expected = before;
    expected[output] = expected_bank(table, total, before);
    if (after != expected) {
        fuzz_fail("the bank or the directory is not what the layout promised");
    }
    return 0;
}
