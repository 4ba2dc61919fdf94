// split, end to end: a bank taken apart into its tones, their previews and a
// list that links it back.
#include "audio/adpcm.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// The preview split must write of `tone`: a 16-bit mono WAV at 16000 Hz
// holding the decoder's samples.
Bytes preview_of(const Bytes& tone) {
    std::vector<int16_t> samples(tone.size() * 2);
    adpcm_decode_tone(reinterpret_cast<const unsigned char*>(tone.data()), tone.size(),
                      samples.data());
    Bytes data;
    for (int16_t s : samples) {
        data += static_cast<char>(s & 0xFF);
        data += static_cast<char>((s >> 8) & 0xFF);
    }
    auto u32 = [](uint32_t v) {
        return Bytes{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                     static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    };
    return "RIFF" + u32(static_cast<uint32_t>(36 + data.size())) + "WAVEfmt " + u32(16) +
           Bytes("\x01\x00\x01\x00\x80\x3E\x00\x00\x00\x7D\x00\x00\x02\x00\x10\x00", 16) + "data" +
           u32(static_cast<uint32_t>(data.size())) + data;
}

TEST(Split, LinkedBankSplitsAndLinksBackByteForByte) {
    ScratchDir dir;
    const Bytes kick = pattern_bytes(256, 3), hat = pattern_bytes(64, 9);
    write_file(dir / "KICK.PCM", kick);
    write_file(dir / "HAT.PCM", hat);
    write_file(dir / "NONE.PCM", "");
    ASSERT_EQ(link_list(dir, "*\tDRUMS.PPC\n0\tKICK.PCM\n5\tNONE.PCM\n7\tHAT.PCM\n").status, 0);
    const Bytes bank = read_file(dir / "DRUMS.PPC");

    RunResult r = run_qorvelix(dir.path, {"split", "DRUMS.PPC"});
    expect_run(r, 0,
               framed("  [SPLIT] Folder [DRUMS]\n"
                      "  [SPLIT] tone:  0 [000.PCM]     256 bytes\n"
                      "  [SPLIT] tone:  5 [005.PCM]       0 bytes\n"
                      "  [SPLIT] tone:  7 [007.PCM]      64 bytes\n"),
               "  [SPLIT] done [DRUMS]\n");
    EXPECT_EQ(dir_entries(dir / "DRUMS"),
              (std::vector<std::string>{"000.PCM", "000.WAV", "005.PCM", "005.WAV", "007.PCM",
                                        "007.WAV", "DRUMS.LXI"}));
    EXPECT_EQ(read_file(dir / "DRUMS/000.PCM"), kick);
    EXPECT_EQ(read_file(dir / "DRUMS/005.PCM"), "");
    EXPECT_EQ(read_file(dir / "DRUMS/000.WAV"), preview_of(kick));
    EXPECT_EQ(read_file(dir / "DRUMS/005.WAV"), preview_of(""));
    EXPECT_EQ(read_file(dir / "DRUMS/007.WAV"), preview_of(hat));
    EXPECT_EQ(read_file(dir / "DRUMS/DRUMS.LXI"),
              ";\tsplit from DRUMS.PPC\n*\tDRUMS.PPC\n0\t000.PCM\n5\t005.PCM\n7\t007.PCM\n");
    r = run_qorvelix(dir / "DRUMS", {"link", "DRUMS.LXI"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir / "DRUMS/DRUMS.PPC"), bank);

    // The folder is there now: split refuses to touch it.
    r = run_qorvelix(dir.path, {"split", "DRUMS.PPC"});
    expect_run(r, 1, framed("  [SPLIT] Folder [DRUMS]\nE [SPLIT] ALREADY EXISTS [DRUMS]\n"), "");
    EXPECT_EQ(dir_entries(dir / "DRUMS").size(), 8u);
}

// A bank laid out otherwise, or with tones outside its data: one warning
// for the layout, one for each tone left out, and every other tone's bytes
// as they are.
TEST(Split, BanksLaidOutOtherwise) {
    ScratchDir dir;
    const Bytes data = pattern_bytes(128, 5);
    struct Case {
        const char* name;
        Bytes bank;
        Bytes warnings;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {"GAP.PPC", make_bank(0x2A, {{0, 0x26, 0x26}, {1, 0x28, 0x29}}, data),
         "W [SPLIT] not laid out as link lays banks out, relinked bank differs [GAP.PPC]\n",
         {"000.PCM", "000.WAV", "001.PCM", "001.WAV", "GAP.LXI"}},
        {"BAD.PPC", make_bank(0x2A, {{0, 0x26, 0x29}, {2, 0x10, 0x27}, {3, 0x28, 0x2F}}, data),
         "W [SPLIT] BAD PPC-Format, tone left out [BAD.PPC/@2]\n"
         "W [SPLIT] BAD PPC-Format, tone left out [BAD.PPC/@3]\n"
         "W [SPLIT] not laid out as link lays banks out, relinked bank differs [BAD.PPC]\n",
         {"000.PCM", "000.WAV", "BAD.LXI"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(dir / c.name, c.bank);
        RunResult r = run_qorvelix(dir.path, {"split", c.name});
        Bytes folder = Bytes(c.name).substr(0, 3);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.substr(0, r.out.find("  [SPLIT] tone:")),
                  START_BANNER + ("  [SPLIT] Folder [" + folder + "]\n") + c.warnings);
        EXPECT_EQ(dir_entries(dir / folder), c.files);
        EXPECT_EQ(read_file(dir / (folder + "/000.PCM")), data.substr(0, c.name[0] == 'G' ? 32 : 128));
    }
    EXPECT_EQ(read_file(dir / "GAP/001.PCM"), data.substr(64, 64));
}

// Banks that cannot be split are refused as view refuses them; the folder
// is named as the bank without its extension, or with ".d" added.
TEST(Split, RefusalsAndFolderNames) {
    ScratchDir dir;
    write_file(dir / "SHORT.PPC", Bytes(1000, 'x'));
    expect_run(run_qorvelix(dir.path, {"split", "SHORT.PPC"}), 1,
               framed("E [SPLIT] ERROR, too short File [SHORT.PPC].\n"), "");
    expect_run(run_qorvelix(dir.path, {"split", "NONE.PPC"}), 1,
               framed("E [SPLIT] ERROR, cannot read File [NONE.PPC].\n"),
               "E [QORVELIX] Error, input file not found. [NONE.PPC]\n");
    ASSERT_EQ(mkdir((dir / "songs").c_str(), 0755), 0);
    const Bytes empty = make_bank(0x26, {}, "");
    write_file(dir / "songs/OLD.ppc", empty);
    write_file(dir / "plain", empty);
    EXPECT_EQ(run_qorvelix(dir.path, {"split", "songs/OLD.ppc"}).status, 0);
    EXPECT_EQ(read_file(dir / "songs/OLD/OLD.LXI"), ";\tsplit from OLD.ppc\n*\tOLD.ppc\n");
    EXPECT_EQ(run_qorvelix(dir.path, {"split", "plain"}).status, 0);
    EXPECT_EQ(dir_entries(dir / "plain.d"), std::vector<std::string>{"plain.d.LXI"});
    EXPECT_EQ(dir_entries(dir.path),
              (std::vector<std::string>{"SHORT.PPC", "plain", "plain.d", "songs"}));
}

} // namespace
