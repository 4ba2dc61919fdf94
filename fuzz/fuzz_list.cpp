// The tone list reader over any bytes. The list read from a file must parse
// to what the same bytes give when normalized and parsed in memory, and every
// name it keeps must be a non-empty string inside its text.
#include "fuzz_support.h"
#include "link/tone_list.h"
#include "os/file_input.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

bool same_name(const char* a, const char* b) {
    return a == nullptr ? b == nullptr : b != nullptr && std::strcmp(a, b) == 0;
}

void check_name(const char* name, const char* text, size_t room) {
    if (name == nullptr) {
        return;
    }
    if (name < text || name >= text + room) {
        fuzz_fail("a name points outside the list text");
    }
    if (name[0] == '\0') {
        fuzz_fail("an empty name was kept");
    }
}

// The reader reads the list in chunks of 64 KiB. One input in sixteen (first
// byte 1 modulo 16) goes behind a comment line that ends up to 15 bytes
// before the first chunk border, so what the fuzzer writes straddles it.
// Walking that line costs the instrumented reader and parser some fifty times
// a short input, hence so few.
std::string with_border(const uint8_t* data, size_t size) {
    std::string bytes;
    if (size > 0 && (data[0] & 15) == 1) {
        size_t before_border = data[0] >> 4;
        bytes = ";" + std::string(65536 - 2 - before_border, 'x') + "\n";
    }
    return bytes.append(reinterpret_cast<const char*>(data), size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = with_border(data, size);
    enter_private_dir();
    write_bytes("LIST.LXI", reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ToneTable table;
    ListText text = read_list_text("LIST.LXI");
    leave_private_dir();
    if (!text) {
        fuzz_fail("a readable list could not be read");
    }
    const char* output = parse_tone_list(text.get(), table);

    std::vector<char> raw(bytes.begin(), bytes.end());
    raw.resize(bytes.size() + 2, '\0');
    size_t kept = normalize_list_text(raw.data(), bytes.size());
    std::fill(raw.begin() + static_cast<std::ptrdiff_t>(kept), raw.end(), '\0');
    ToneTable in_memory;
    const char* memory_output = parse_tone_list(raw.data(), in_memory);

    if (!same_name(output, memory_output)) {
        fuzz_fail("the output name differs between file and memory");
    }
    // The buffer holds at most the file's bytes and two zeros.
    check_name(output, text.get(), bytes.size() + 2);
    for (int tone = 0; tone < TONE_COUNT; tone++) {
        const ToneSlot& a = table[tone];
        const ToneSlot& b = in_memory[tone];
        if (!same_name(a.name, b.name) || a.source_tone != b.source_tone) {
            fuzz_fail("a tone slot differs between file and memory");
        }
        check_name(a.name, text.get(), bytes.size() + 2);
    }
    return 0;
}
