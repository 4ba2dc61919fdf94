// The link operation run as a user runs it: every line, the status and the
// bytes of the bank it leaves.
#include "scratch.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const char DONE_OUT[] = "  [LINK] done [OUT.PPC]\n";

Bytes framed(const Bytes& body) {
    return START_BANNER + body + FINISH_BANNER;
}

RunResult link(const ScratchDir& dir, const Bytes& list) {
    write_file(dir / "LIST.LXI", list);
    return run_qorvelix(dir.path, {"link", "LIST.LXI"});
}

void expect_run(const RunResult& r, int status, const Bytes& out, const Bytes& err) {
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, err);
}

TEST(Link, ExampleListFromAPlainFileAndABank) {
    ScratchDir dir;
    Bytes bass = pattern_bytes(96, 1);
    Bytes tone12 = pattern_bytes(64, 50);
    // OLD.PPC: tone 3 at 0x26 (32 bytes), tone 12 at 0x27..0x28.
    write_file(dir / "OLD.PPC",
               make_bank(0x29, {{3, 0x26, 0x26}, {12, 0x27, 0x28}}, Bytes(32, 'z') + tone12));
    write_file(dir / "BASS.PCM", bass);
    RunResult r = link(dir, ";\tmy bank\r\n*\tOUT.PPC\r\n0\tBASS.PCM\r\n5\tOLD.PPC\t12\r\n");
    expect_run(r, 0,
               framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                      "  [QORVELIX] tone:  0 [BASS.PCM/  0]\n"
                      "  [QORVELIX] tone:  5 [OLD.PPC/ 12]\n"
                      "  [QORVELIX] Totalsize : 1216 bytes (002B)\n"),
               DONE_OUT);
    EXPECT_EQ(read_file(dir / "OUT.PPC"),
              make_bank(0x2B, {{0, 0x26, 0x28}, {5, 0x29, 0x2A}}, bass + tone12));

    // The new bank reads back without a warning, tone 5 where it was placed.
    r = run_qorvelix(dir.path, {"view", "OUT.PPC"});
    expect_run(r, 0,
               framed("  [VIEW] PPC FileSize : 1216 bytes\n"
                      "  [VIEW] PPC     0x1E : 002B (43*32-160=1216)\n"
                      "  [VIEW]            @ : strt  end  offset    size\n"
                      "  [VIEW] PCM Tone   0 : 0026 0028    1056      96\n"
                      "  [VIEW] PCM Tone   5 : 0029 002A    1152      64\n"),
               "");
}

TEST(Link, OutputLineOnlyGivesAnEmptyBank) {
    ScratchDir dir;
    RunResult r = link(dir, "*\tOUT.PPC\n");
    expect_run(r, 0,
               framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                      "  [QORVELIX] Totalsize : 1056 bytes (0026)\n"),
               DONE_OUT);
    EXPECT_EQ(read_file(dir / "OUT.PPC"), make_bank(0x26, {}, ""));
}

TEST(Link, ExistingOutputIsTruncatedAndRewritten) {
    ScratchDir dir;
    write_file(dir / "OUT.PPC", Bytes(5000, 'q'));
    Bytes tone = pattern_bytes(64, 9);
    write_file(dir / "T.PCM", tone);
    RunResult r = link(dir, "*\tOUT.PPC\n3\tT.PCM\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir / "OUT.PPC"), make_bank(0x28, {{3, 0x26, 0x27}}, tone));
    struct stat st;
    ASSERT_EQ(stat((dir / "OUT.PPC").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IRUSR, S_IRUSR);
    EXPECT_EQ(st.st_mode & S_IWUSR, S_IWUSR);
}

TEST(Link, ShortPlainSourceIsPaddedAndLaterTonesStayInPlace) {
    ScratchDir dir;
    Bytes odd = pattern_bytes(40, 3), next = pattern_bytes(32, 77);
    write_file(dir / "ODD.PCM", odd);
    write_file(dir / "NEXT.PCM", next);
    RunResult r = link(dir, "*\tOUT.PPC\n1\tODD.PCM\n2\tNEXT.PCM\n");
    expect_run(r, 0,
               framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                      "  [QORVELIX] tone:  1 [ODD.PCM/  0]\n"
                      "  [QORVELIX] tone:  2 [NEXT.PCM/  0]\n"
                      "W [QORVELIX] PCM size is not a multiple of 32, padded [ODD.PCM]\n"
                      "  [QORVELIX] Totalsize : 1152 bytes (0029)\n"),
               DONE_OUT);
    EXPECT_EQ(read_file(dir / "OUT.PPC"),
              make_bank(0x29, {{1, 0x26, 0x27}, {2, 0x28, 0x28}}, odd + Bytes(24, '\0') + next));
    r = run_qorvelix(dir.path, {"view", "OUT.PPC"});
    EXPECT_EQ(r.out.find("W [VIEW]"), Bytes::npos) << r.out;
}

// A list may name its own output among its sources: every source is read
// before the output is truncated.
TEST(Link, RebuildsABankFromItsOwnTones) {
    ScratchDir dir;
    Bytes a = pattern_bytes(32, 1), b = pattern_bytes(64, 2);
    Bytes old = make_bank(0x29, {{0, 0x26, 0x26}, {1, 0x27, 0x28}}, a + b);
    write_file(dir / "OUT.PPC", old);
    RunResult r = link(dir, "*\tOUT.PPC\n0\tOUT.PPC\t1\n1\tOUT.PPC\t0\n2\tOUT.PPC\t1\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, DONE_OUT);
    EXPECT_EQ(read_file(dir / "OUT.PPC"),
              make_bank(0x2B, {{0, 0x26, 0x27}, {1, 0x28, 0x28}, {2, 0x29, 0x2A}}, b + a + b));
}

TEST(Link, OutputMayBeTheListItself) {
    ScratchDir dir;
    write_file(dir / "T.PCM", Bytes(32, 't'));
    RunResult r = link(dir, "*\tLIST.LXI\n0\tT.PCM\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "  [LINK] done [LIST.LXI]\n");
    EXPECT_EQ(read_file(dir / "LIST.LXI"), make_bank(0x27, {{0, 0x26, 0x26}}, Bytes(32, 't')));
}

// A failed layout reports, finishes with status 0 and leaves any existing
// output as it was.
TEST(Link, LayoutFailuresLeaveTheOutputAlone) {
    ScratchDir dir;
    const Bytes kept = "an existing bank";
    write_file(dir / "OUT.PPC", kept);
    write_file(dir / "SHORT.PPC", Bytes(100, 's'));
    write_file(dir / "BANK.PPC", make_bank(0x27, {{0, 0x26, 0x26}}, Bytes(32, 'b')));
    struct Case {
        Bytes list;
        Bytes out;
        Bytes err;
    };
    const Bytes head = "  [QORVELIX] PPC-Filename [OUT.PPC]\n";
    const Case cases[] = {
        {"*\tOUT.PPC\n0\tNONE.PCM\n",
         head + "  [QORVELIX] tone:  0 [NONE.PCM/  0]\nE [QORVELIX] NOT FOUND [NONE.PCM].\n", ""},
        {"*\tOUT.PPC\n0\tNONE.PPC\n",
         head + "  [QORVELIX] tone:  0 [NONE.PPC/  0]\n"
                "E [LINK] ERROR, cannot read File [NONE.PPC].\n",
         "E [QORVELIX] Error, input file not found. [NONE.PPC]\n"},
        {"*\tOUT.PPC\n0\tSHORT.PPC\n",
         head + "  [QORVELIX] tone:  0 [SHORT.PPC/  0]\n"
                "E [LINK] ERROR, too short File [SHORT.PPC].\n",
         ""},
        {"*\tOUT.PPC\n0\tBANK.PPC\t1\n",
         head + "  [QORVELIX] tone:  0 [BANK.PPC/  1]\n"
                "E [LINK] NOT FOUND PPC-Element [BANK.PPC/@1]\n",
         ""},
        {"*\tOUT.PPC\n0\tBANK.PPC\t300\n",
         head + "  [QORVELIX] tone:  0 [BANK.PPC/300]\n"
                "E [LINK] NOT FOUND PPC-Element [BANK.PPC/@300]\n",
         ""},
        {"*\tOUT.PPC\n0\tSHORT.PPC\n1\tNONE.PCM\n",
         head + "  [QORVELIX] tone:  0 [SHORT.PPC/  0]\n  [QORVELIX] tone:  1 [NONE.PCM/  0]\n"
                "E [LINK] ERROR, too short File [SHORT.PPC].\n",
         ""},
        {"*\tOUT.PPC\n300\tX.PCM\n", head + "E [QORVELIX] BAD @-Number, line.1\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        expect_run(link(dir, c.list), 0, framed(c.out), c.err);
        EXPECT_EQ(read_file(dir / "OUT.PPC"), kept);
    }
}

TEST(Link, OutputThatCannotBeCreated) {
    ScratchDir dir;
    write_file(dir / "T.PCM", Bytes(32, 't'));
    RunResult r = link(dir, "*\tno/such/dir/OUT.PPC\n0\tT.PCM\n");
    expect_run(r, 255,
               Bytes(START_BANNER) + "  [QORVELIX] PPC-Filename [no/such/dir/OUT.PPC]\n"
                                     "  [QORVELIX] tone:  0 [T.PCM/  0]\n"
                                     "  [QORVELIX] Totalsize : 1088 bytes (0027)\n",
               "E [LINK] cannot open [no/such/dir/OUT.PPC]\n");
}

TEST(Link, WriteErrorIsReportedInsteadOfDone) {
    if (testing_windows_program()) {
        GTEST_SKIP() << "needs the POSIX device /dev/full, which Windows lacks";
    }
    ScratchDir dir;
    if (!file_exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    RunResult r = link(dir, "*\t/dev/full\n");
    expect_run(r, 255,
               Bytes(START_BANNER) + "  [QORVELIX] PPC-Filename [/dev/full]\n"
                                     "  [QORVELIX] Totalsize : 1056 bytes (0026)\n",
               "E [LINK] write error [/dev/full]\n");
}

// A source that measures but cannot be read: the run ends before the output
// is touched.
TEST(Link, SourceUnreadableAtCopyLeavesTheOutputAlone) {
    if (testing_windows_program()) {
        GTEST_SKIP() << "needs a directory that opens as a file, which Windows refuses";
    }
    ScratchDir dir;
    ASSERT_EQ(mkdir((dir / "DIR.PCM").c_str(), 0755), 0);
    struct stat st;
    ASSERT_EQ(stat((dir / "DIR.PCM").c_str(), &st), 0);
    write_file(dir / "OUT.PPC", "keep me");
    int64_t padded = (st.st_size + 31) / 32 * 32;
    Bytes out = Bytes(START_BANNER) + "  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                                      "  [QORVELIX] tone:  0 [DIR.PCM/  0]\n";
    if (st.st_size % 32 != 0) {
        out += "W [QORVELIX] PCM size is not a multiple of 32, padded [DIR.PCM]\n";
    }
    if (padded + 1056 > 260928) {
        GTEST_SKIP() << "directories are too large to measure here";
    }
    char total[80];
    std::snprintf(total, sizeof total, "  [QORVELIX] Totalsize : %d bytes (%04X)\n",
                  int(padded + 1056), unsigned((padded + 1056 + 160) / 32));
    RunResult r = link(dir, "*\tOUT.PPC\n0\tDIR.PCM\n");
    expect_run(r, 255, out + total,
               "E [QORVELIX] File read error.\n- [QORVELIX] READ PCM Failed [DIR.PCM]\n");
    EXPECT_EQ(read_file(dir / "OUT.PPC"), "keep me");
}

} // namespace
