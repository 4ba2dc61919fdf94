// The layout over small files, with the sizer the link operation uses.
#include "link/tone_layout.h"
#include "link/tone_source.h"
#include "os/file_input.h"
#include "scratch.h"

#include <gtest/gtest.h>

namespace {

// Runs the layout on a list whose names are files in `dir`.
struct Laid {
    std::string output;
    int32_t total;
    std::string out;
    std::string err;
    ToneTable table;
    ListText text;
};

void lay_out(const ScratchDir& dir, const std::string& list, Laid& r) {
    write_file(dir / "L.LXI", list);
    r.text = read_list_text((dir / "L.LXI").c_str());
    ASSERT_TRUE(r.text);
    r.total = -1;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const char* output = layout_tones(r.text.get(), r.table, size_tone, &r.total);
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
