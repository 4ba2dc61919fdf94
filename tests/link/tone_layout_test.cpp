// The bank lookup over byte buffers, and the layout over small files.
#include "link/tone_layout.h"
#include "scratch.h"

#include <gtest/gtest.h>

namespace {

struct Found {
    int result;
    int32_t offset;
    int32_t size;
    std::string printed;
};

Found find(const Bytes& bank, int32_t tone) {
    Found f{0, -99, -99, ""};
    testing::internal::CaptureStdout();
    f.result = find_bank_element("S.PPC", reinterpret_cast<const unsigned char*>(bank.data()),
                                 static_cast<int32_t>(bank.size()), tone, &f.offset, &f.size);
    f.printed = testing::internal::GetCapturedStdout();
    return f;
}

TEST(FindBankElement, TakesPresentTonesInsideTheFile) {
    Bytes bank =
        make_bank(0x29, {{0, 0x26, 0x27}, {12, 0x28, 0x28}, {13, 0x29, 0x28}}, Bytes(96, 'd'));
    Found f = find(bank, 12);
    EXPECT_EQ(f.result, LOOKUP_OK);
    EXPECT_EQ(f.offset, 1120);
    EXPECT_EQ(f.size, 32);
    EXPECT_EQ(f.printed, "");

    f = find(bank, 0);
    EXPECT_EQ(f.offset, 1056);
    EXPECT_EQ(f.size, 64);

    f = find(bank, 13); // zero length, at the very end
    EXPECT_EQ(f.result, LOOKUP_OK);
    EXPECT_EQ(f.offset, 1152);
    EXPECT_EQ(f.size, 0);
}

// Every refusal with its code and line; the header-word warning comes first
// and does not stop the lookup.
TEST(FindBankElement, Refusals) {
    const Bytes data(64, 'd');
    struct Case {
        Bytes bank;
        int32_t tone;
        int result;
        const char* printed;
    };
    const Case cases[] = {
        {make_bank(0x26, {}, "").substr(0, 1055), 0, LOOKUP_TOO_SHORT,
         "E [LINK] ERROR, too short File [S.PPC].\n"},
        {"", 0, LOOKUP_TOO_SHORT, "E [LINK] ERROR, too short File [S.PPC].\n"},
        {make_bank(0x28, {{0, 0x26, 0x27}}, data), 1, LOOKUP_NOT_FOUND,
         "E [LINK] NOT FOUND PPC-Element [S.PPC/@1]\n"},
        {make_bank(0x28, {{0, 0x26, 0x27}}, data), 256, LOOKUP_NOT_FOUND,
         "E [LINK] NOT FOUND PPC-Element [S.PPC/@256]\n"},
        {make_bank(0x28, {{0, 0x26, 0x27}}, data), -1, LOOKUP_NOT_FOUND,
         "E [LINK] NOT FOUND PPC-Element [S.PPC/@-1]\n"},
        {make_bank(0x28, {{0, 0x26, 0x27}}, data), INT32_MAX, LOOKUP_NOT_FOUND,
         "E [LINK] NOT FOUND PPC-Element [S.PPC/@2147483647]\n"},
        {make_bank(0, {{0, 0x26, 0x27}}, data), 3, LOOKUP_NOT_FOUND,
         "W [LINK] BAD Filesize(0x1E) [S.PPC]\n"
         "E [LINK] NOT FOUND PPC-Element [S.PPC/@3]\n"},
        {make_bank(0x28, {{0, 0x26, 0x28}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
        {make_bank(0x28, {{0, 0x04, 0x27}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
        // Starts inside the header and table, with their ends inside the file.
        {make_bank(0x28, {{0, 0x05, 0x27}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
        {make_bank(0x28, {{0, 0x25, 0x26}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
        {make_bank(0, {{0, 0x25, 0x24}}, data), 0, LOOKUP_BAD_FORMAT,
         "W [LINK] BAD Filesize(0x1E) [S.PPC]\nE [LINK] BAD PPC-Format [S.PPC]\n"},
        {make_bank(0x28, {{0, 0x01, 0x01}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
        {make_bank(0x28, {{0, 0x27, 0x25}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
        {make_bank(0x28, {{0, 0xFFFF, 0x0000}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
        {make_bank(0x28, {{0, 0x26, 0xFFFF}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
    };
    for (const Case& c : cases) {
        Found f = find(c.bank, c.tone);
        EXPECT_EQ(f.result, c.result) << c.printed;
        EXPECT_EQ(f.printed, c.printed);
        EXPECT_EQ(f.offset, -99) << "nothing stored on failure";
    }
}

TEST(FindBankElement, WrongHeaderWordStillTakesTheTone) {
    Found f = find(make_bank(0x99, {{4, 0x26, 0x26}}, Bytes(32, 'd')), 4);
    EXPECT_EQ(f.result, LOOKUP_OK);
    EXPECT_EQ(f.printed, "W [LINK] BAD Filesize(0x1E) [S.PPC]\n");
    EXPECT_EQ(f.size, 32);
}

// Runs the layout on a list whose names are files in `dir`.
struct Laid {
    std::string output;
    int32_t total;
    std::string out;
    std::string err;
    ToneTable table;
};

void lay_out(const ScratchDir& dir, const std::string& list, Laid& r) {
    write_file(dir / "L.LXI", list);
    std::unique_ptr<char[]> text;
    r.total = -1;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const char* output = layout_tones((dir / "L.LXI").c_str(), r.table, &r.total, text);
    r.out = testing::internal::GetCapturedStdout();
    r.err = testing::internal::GetCapturedStderr();
    r.output = output != nullptr ? output : "<none>";
}

TEST(LayoutTones, PlacesTonesBackToBackInToneOrder) {
    ScratchDir dir;
    write_file(dir / "A.PCM", Bytes(32, 'a'));
    write_file(dir / "B.PCM", Bytes(96, 'b'));
    write_file(dir / "E.PCM", "");
    Laid r;
    lay_out(dir,
            "*\tO.PPC\n10\t" + (dir / "A.PCM") + "\n7\t" + (dir / "E.PCM") + "\n2\t" +
                (dir / "B.PCM") + "\n",
            r);
    EXPECT_EQ(r.output, "O.PPC");
    EXPECT_EQ(r.total, 1184);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.table[2].start, 0x26);
    EXPECT_EQ(r.table[2].end, 0x28);
    EXPECT_EQ(r.table[7].start, 0x29); // empty: end one below start
    EXPECT_EQ(r.table[7].end, 0x28);
    EXPECT_EQ(r.table[7].blocks, 0);
    EXPECT_EQ(r.table[10].start, 0x29);
    EXPECT_EQ(r.table[10].end, 0x29);
    EXPECT_EQ(r.table[10].size, 32);
}

TEST(LayoutTones, PadsPlainSourcesToWholeBlocks) {
    ScratchDir dir;
    write_file(dir / "odd.PCM", Bytes(33, 'o'));
    write_file(dir / "next.PCM", Bytes(32, 'n'));
    Laid r;
    std::string odd = dir / "odd.PCM";
    lay_out(dir, "*\tO.PPC\n1\t" + odd + "\n2\t" + (dir / "next.PCM") + "\n", r);
    EXPECT_EQ(r.total, 1056 + 64 + 32);
    EXPECT_EQ(r.table[1].size, 33);
    EXPECT_EQ(r.table[1].blocks, 2);
    EXPECT_EQ(r.table[2].start, 0x28);
    EXPECT_EQ(r.out, "  [QORVELIX] PPC-Filename [O.PPC]\n"
                     "  [QORVELIX] tone:  1 [" +
                         odd +
                         "/  0]\n"
                         "  [QORVELIX] tone:  2 [" +
                         (dir / "next.PCM") +
                         "/  0]\n"
                         "W [QORVELIX] PCM size is not a multiple of 32, padded [" +
                         odd + "]\n");
}

TEST(LayoutTones, SizeLimitIsTestedOnTheWholeUnwrappedTotal) {
    ScratchDir dir;
    std::string fits = dir / "fits", over = dir / "over", big = dir / "big";
    ASSERT_TRUE(make_sparse_file(fits, 260928 - 1056));
    ASSERT_TRUE(make_sparse_file(over, 260928 - 1056 + 32));
    Laid r;
    lay_out(dir, "*\tO.PPC\n0\t" + fits + "\n", r);
    EXPECT_EQ(r.total, 260928);
    EXPECT_EQ(r.err, "");

    lay_out(dir, "*\tO.PPC\n0\t" + over + "\n", r);
    EXPECT_EQ(r.output, "<none>");
    EXPECT_EQ(r.err, "E [QORVELIX] TOO Large PPC-File, 260960 bytes\n");

    if (!make_sparse_file(big, (int64_t{1} << 31) - 32)) {
        GTEST_SKIP() << "no sparse files here";
    }
    std::string list = "*\tO.PPC\n";
    for (int tone = 0; tone < 256; tone++) {
        list += std::to_string(tone) + "\t" + big + "\n";
    }
    lay_out(dir, list, r);
    EXPECT_EQ(r.output, "<none>");
    // 256 * (2^31 - 32) + 1056: a 32-bit total would have wrapped.
    EXPECT_EQ(r.err, "E [QORVELIX] TOO Large PPC-File, 549755806752 bytes\n");
}

TEST(LayoutTones, FirstFailingToneEndsTheLayout) {
    ScratchDir dir;
    write_file(dir / "lower.ppc", Bytes(32, 'l')); // not a bank: suffix is lower case
    std::string missing = dir / "missing.PCM";
    Laid r;
    lay_out(dir, "*\tO.PPC\n9\t" + missing + "\n1\t" + (dir / "lower.ppc") + "\n", r);
    EXPECT_EQ(r.output, "<none>");
    EXPECT_EQ(r.table[1].size, 32);
    EXPECT_EQ(r.out.substr(r.out.rfind("E [")), "E [QORVELIX] NOT FOUND [" + missing + "].\n");
}

} // namespace
