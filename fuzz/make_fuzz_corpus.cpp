// Writes the seed corpora of the list, bank and link fuzz targets into
// DIR/fuzz_list, DIR/fuzz_bank and DIR/fuzz_link (the folders must exist):
// small lists, banks and recordings that reach each kind of line, each
// lookup result and each end of a link run.
//
// usage: make_fuzz_corpus DIR
#include "bank/bank_format.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Entry {
    int tone;
    uint16_t start;
    uint16_t end;
};

std::string bank(uint16_t word, const std::vector<Entry>& entries, const std::string& data) {
    BankEntry table[TONE_COUNT] = {};
    for (const Entry& e : entries) {
        table[e.tone] = BankEntry{e.start, e.end};
    }
    std::string b(BANK_HEADER_SIZE, '\0');
    write_bank_head(reinterpret_cast<unsigned char*>(&b[0]), word, table);
    return b + data;
}

std::string pattern(size_t count, unsigned seed) {
    std::string s(count, '\0');
    for (size_t i = 0; i < count; i++) {
        s[i] = static_cast<char>((seed + i * 7) & 0xFF);
    }
    return s;
}

// A small recording: 16-bit mono at 8000 Hz, a rising ramp of `frames`.
std::string recording(int frames) {
    auto u32 = [](uint32_t v) {
        return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    };
    std::string data;
    for (int i = 0; i < frames; i++) {
        int sample = i * 300 - 9000;
        data += static_cast<char>(sample & 0xFF);
        data += static_cast<char>((sample >> 8) & 0xFF);
    }
    return "RIFF" + u32(static_cast<uint32_t>(36 + data.size())) + "WAVEfmt " + u32(16) +
           std::string("\x01\x00\x01\x00\x40\x1F\x00\x00\x80\x3E\x00\x00\x02\x00\x10\x00", 16) +
           "data" + u32(static_cast<uint32_t>(data.size())) + data;
}

// A link input: the list's length in 16 bits, little-endian, the list, then
// the bytes of B.PPC and B.PCM.
std::string link_input(const std::string& list, const std::string& rest) {
    std::string in;
    in += static_cast<char>(list.size() & 0xFF);
    in += static_cast<char>(list.size() >> 8);
    return in + list + rest;
}

// A list taking every tone number from `source`.
std::string every_tone_from(const char* source) {
    std::string list = "*\tO.PPC\n";
    for (int tone = 0; tone < TONE_COUNT; tone++) {
        list += std::to_string(tone) + "\t" + source + "\n";
    }
    return list;
}

bool write(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return f != nullptr && std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_corpus DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const std::string two_tones = bank(0x29, {{0, 0x26, 0x26}, {1, 0x27, 0x28}}, pattern(96, 1));
    const struct {
        const char* name;
        std::string bytes;
    } seeds[] = {
        {"fuzz_list/example", ";\tmy bank\n*\tOUT.PPC\n0\tBASS.PCM\n5\tOLD.PPC\t12\n"},
        {"fuzz_list/crlf", ";\tmy bank\r\n*\tOUT.PPC\r\n0\tBASS.PCM\r\n5\tOLD.PPC\t12\r\n"},
        {"fuzz_list/kinds", "\t*\tIGNORED.PPC\n;*\tX\n*\tFIRST.PPC\textra\nword\tW.PCM\n"
                            "1\tA.PPC\t7\tignored\t9\n2\tB.PPC\t\n1\tC.PPC\n 3\t D.PCM \n*\tLAST"},
        {"fuzz_list/numbers", "*\tO.PPC\n0\tA.PPC\t99999999999\n1\tB.PPC\t-5\n+2\tC\t+7\n"
                              "255\tD\t2147483648\n"},
        {"fuzz_list/bad_number", "*\tO.PPC\n256\tA.PCM\n"},
        {"fuzz_list/no_name", ";c\n\n\t9\tx\n3\t\n"},
        {"fuzz_list/no_output", "*\n0\tA.PCM\n"},
        {"fuzz_list/ends", std::string("*\tO.PPC\n0\tA\r\x1A") + "1\tB\n" + '\0' + "2\tC\n"},
        {"fuzz_bank/empty", bank(0x26, {}, "")},
        {"fuzz_bank/two_tones", two_tones},
        {"fuzz_bank/wrong_word", bank(0, {{7, 0x26, 0x26}}, pattern(32, 2))},
        {"fuzz_bank/odd_entries", bank(0x28,
                                       {{0, 0x26, 0x27},
                                        {1, 0x28, 0x27},
                                        {2, 0x0001, 0x0001},
                                        {3, 0xFFFF, 0x0000},
                                        {5, 0x0100, 0xFFFF},
                                        {255, 0x0005, 0x0004}},
                                       pattern(64, 3))},
        {"fuzz_bank/cut", two_tones.substr(0, 1100)},
        {"fuzz_bank/short", two_tones.substr(0, 100)},
        {"fuzz_link/plain_and_bank",
         link_input("*\tOUT.PPC\n0\tB.PCM\n5\tB.PPC\t1\n6\tB.PPC\t0\n", two_tones)},
        {"fuzz_link/rebuild",
         link_input("*\tB.PPC\n0\tB.PPC\t1\n1\tB.PPC\t0\n2\tB.PPC\t1\n", two_tones)},
        {"fuzz_link/list_is_output", link_input("*\tLIST.LXI\n0\tLIST.LXI\n", "")},
        {"fuzz_link/padded", link_input("*\tOUT.PPC\n1\tB.PCM\n2\tB.PCM\n", pattern(40, 4))},
        {"fuzz_link/lookup_fails",
         link_input("*\tOUT.PPC\n0\tB.PPC\t2\n", two_tones.substr(0, 1120))},
        {"fuzz_link/unreadable", link_input("*\tOUT.PPC\n0\t.\n", "")},
        {"fuzz_link/no_output_dir", link_input("*\t.\n0\tB.PCM\n", pattern(32, 5))},
        {"fuzz_link/too_large", link_input(every_tone_from("B.PCM"), pattern(1024, 6))},
        {"fuzz_link/recording", link_input("*\tOUT.PPC\n0\tB.PCM\t11025\n1\tB.PCM\n", recording(60))},
    };
    for (const auto& seed : seeds) {
        if (!write(dir + "/" + seed.name, seed.bytes)) {
            std::perror(seed.name);
            return 1;
        }
    }
    return 0;
}
