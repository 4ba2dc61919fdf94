// The link operation run as a user runs it: every line, the status and the
// bytes of the bank it leaves.
#include "scratch.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(Link, ExampleListFromAPlainFileAndABank) {
    ScratchDir dir;
    Bytes bass = pattern_bytes(96, 1);
    Bytes tone12 = pattern_bytes(64, 50);
    // OLD.PPC: tone 3 at 0x26 (32 bytes), tone 12 at 0x27..0x28.
    write_file(dir / "OLD.PPC",
               make_bank(0x29, {{3, 0x26, 0x26}, {12, 0x27, 0x28}}, Bytes(32, 'z') + tone12));
    write_file(dir / "BASS.PCM", bass);
    RunResult r = link_list(dir, ";\tmy bank\r\n*\tOUT.PPC\r\n0\tBASS.PCM\r\n5\tOLD.PPC\t12\r\n");
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
    RunResult r = link_list(dir, "*\tOUT.PPC\n");
    expect_run(r, 0,
               framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                      "  [QORVELIX] Totalsize : 1056 bytes (0026)\n"),
               DONE_OUT);
    EXPECT_EQ(read_file(dir / "OUT.PPC"), make_bank(0x26, {}, ""));
}

TEST(Link, ExistingOutputIsTruncatedAndRewritten) {
    ScratchDir dir;
    write_file(dir / "OUT.PPC", Bytes(5000, 'q'));
    ASSERT_EQ(chmod((dir / "OUT.PPC").c_str(), 0640), 0);
    Bytes tone = pattern_bytes(64, 9);
    write_file(dir / "T.PCM", tone);
    RunResult r = link_list(dir, "*\tOUT.PPC\n3\tT.PCM\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file(dir / "OUT.PPC"), make_bank(0x28, {{3, 0x26, 0x27}}, tone));
    struct stat st;
    ASSERT_EQ(stat((dir / "OUT.PPC").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IRUSR, S_IRUSR);
    EXPECT_EQ(st.st_mode & S_IWUSR, S_IWUSR);
    if (!testing_windows_program()) {
        EXPECT_EQ(st.st_mode & 0777, 0640u); // the bits of the bank it replaced
    }
    EXPECT_EQ(dir_entries(dir.path), (std::vector<std::string>{"LIST.LXI", "OUT.PPC", "T.PCM"}));
}

// A hard link named as the output gets the new bank under that name only,
// so its source keeps its bytes; a symbolic link stays a link, and its
// target gets the bank.
TEST(Link, OutputThatIsALink) {
    ScratchDir dir;
    Bytes tone = pattern_bytes(64, 19);
    write_file(dir / "T.PCM", tone);
    ASSERT_EQ(link((dir / "T.PCM").c_str(), (dir / "OUT.PPC").c_str()), 0);
    expect_run(link_list(dir, "*\tOUT.PPC\n0\tT.PCM\n"), 0,
               framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                      "  [QORVELIX] tone:  0 [T.PCM/  0]\n"
                      "  [QORVELIX] Totalsize : 1120 bytes (0028)\n"),
               DONE_OUT);
    const Bytes bank = make_bank(0x28, {{0, 0x26, 0x27}}, tone);
    EXPECT_EQ(read_file(dir / "OUT.PPC"), bank);
    EXPECT_EQ(read_file(dir / "T.PCM"), tone);
    if (testing_windows_program()) {
        return; // Windows programs meet no POSIX symbolic links
    }
    ASSERT_EQ(mkdir((dir / "banks").c_str(), 0755), 0);
    ASSERT_EQ(symlink("banks/REAL.PPC", (dir / "LINK.PPC").c_str()), 0);
    EXPECT_EQ(link_list(dir, "*\tLINK.PPC\n0\tT.PCM\n").err, "  [LINK] done [LINK.PPC]\n");
    EXPECT_EQ(read_file(dir / "banks/REAL.PPC"), bank);
    struct stat st;
    ASSERT_EQ(lstat((dir / "LINK.PPC").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(dir_entries(dir / "banks"), std::vector<std::string>{"REAL.PPC"});
}

TEST(Link, ShortPlainSourceIsPaddedAndLaterTonesStayInPlace) {
    ScratchDir dir;
    Bytes odd = pattern_bytes(40, 3), next = pattern_bytes(32, 77);
    write_file(dir / "ODD.PCM", odd);
    write_file(dir / "NEXT.PCM", next);
    RunResult r = link_list(dir, "*\tOUT.PPC\n1\tODD.PCM\n2\tNEXT.PCM\n");
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
    RunResult r = link_list(dir, "*\tOUT.PPC\n0\tOUT.PPC\t1\n1\tOUT.PPC\t0\n2\tOUT.PPC\t1\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, DONE_OUT);
    EXPECT_EQ(read_file(dir / "OUT.PPC"),
              make_bank(0x2B, {{0, 0x26, 0x27}, {1, 0x28, 0x28}, {2, 0x29, 0x2A}}, b + a + b));
}

TEST(Link, OutputMayBeTheListItself) {
    ScratchDir dir;
    write_file(dir / "T.PCM", Bytes(32, 't'));
    RunResult r = link_list(dir, "*\tLIST.LXI\n0\tT.PCM\n");
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
        expect_run(link_list(dir, c.list), 1, framed(c.out), c.err);
        EXPECT_EQ(read_file(dir / "OUT.PPC"), kept);
    }
}

TEST(Link, OutputThatCannotBeCreated) {
    ScratchDir dir;
    write_file(dir / "T.PCM", Bytes(32, 't'));
    RunResult r = link_list(dir, "*\tno/such/dir/OUT.PPC\n0\tT.PCM\n");
    expect_run(r, 255,
               Bytes(START_BANNER) + "  [QORVELIX] PPC-Filename [no/such/dir/OUT.PPC]\n"
                                     "  [QORVELIX] tone:  0 [T.PCM/  0]\n"
                                     "  [QORVELIX] Totalsize : 1088 bytes (0027)\n",
               "E [LINK] cannot open [no/such/dir/OUT.PPC]\n");
    EXPECT_FALSE(file_exists(dir / "no"));

    // A directory where the output should be is left as it was.
    ASSERT_EQ(mkdir((dir / "SUB.PPC").c_str(), 0755), 0);
    write_file(dir / "SUB.PPC" + "/inside", "kept");
    r = link_list(dir, "*\tSUB.PPC\n0\tT.PCM\n");
    expect_run(r, 255,
               Bytes(START_BANNER) + "  [QORVELIX] PPC-Filename [SUB.PPC]\n"
                                     "  [QORVELIX] tone:  0 [T.PCM/  0]\n"
                                     "  [QORVELIX] Totalsize : 1088 bytes (0027)\n",
               "E [LINK] cannot open [SUB.PPC]\n");
    EXPECT_EQ(read_file(dir / "SUB.PPC" + "/inside"), "kept");

    // A bank the user may not write is refused, though a rename could
    // replace it.
    if (geteuid() == 0) {
        GTEST_SKIP() << "root may write any file";
    }
    write_file(dir / "RO.PPC", "read-only bank");
    ASSERT_EQ(chmod((dir / "RO.PPC").c_str(), 0444), 0);
    r = link_list(dir, "*\tRO.PPC\n0\tT.PCM\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "E [LINK] cannot open [RO.PPC]\n");
    EXPECT_EQ(read_file(dir / "RO.PPC"), "read-only bank");
}

TEST(Link, WriteErrorIsReportedInsteadOfDone) {
    if (testing_windows_program()) {
        GTEST_SKIP() << "needs the POSIX device /dev/full, which Windows lacks";
    }
    ScratchDir dir;
    if (!file_exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    RunResult r = link_list(dir, "*\t/dev/full\n");
    expect_run(r, 255,
               Bytes(START_BANNER) + "  [QORVELIX] PPC-Filename [/dev/full]\n"
                                     "  [QORVELIX] Totalsize : 1056 bytes (0026)\n",
               "E [LINK] write error [/dev/full]\n");

    // With tones: every source is read, then the write fails; the sources
    // stay as they were.
    Bytes plain = pattern_bytes(32, 4);
    Bytes bank = make_bank(0x28, {{2, 0x26, 0x27}}, pattern_bytes(64, 8));
    write_file(dir / "T.PCM", plain);
    write_file(dir / "B.PPC", bank);
    r = link_list(dir, "*\t/dev/full\n0\tT.PCM\n1\tB.PPC\t2\n");
    expect_run(r, 255,
               Bytes(START_BANNER) + "  [QORVELIX] PPC-Filename [/dev/full]\n"
                                     "  [QORVELIX] tone:  0 [T.PCM/  0]\n"
                                     "  [QORVELIX] tone:  1 [B.PPC/  2]\n"
                                     "  [QORVELIX] Totalsize : 1152 bytes (0029)\n",
               "E [LINK] write error [/dev/full]\n");
    EXPECT_EQ(read_file(dir / "T.PCM"), plain);
    EXPECT_EQ(read_file(dir / "B.PPC"), bank);

    // A device is written in place: /dev/null stays what it is.
    r = link_list(dir, "*\t/dev/null\n0\tT.PCM\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "  [LINK] done [/dev/null]\n");
    struct stat st;
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    // A FIFO that no program reads is refused at once, not waited on (the
    // fed run is killed after 30 seconds).
    ASSERT_EQ(mkfifo((dir / "FIFO.PPC").c_str(), 0644), 0);
    write_file(dir / "LIST.LXI", "*\tFIFO.PPC\n0\tT.PCM\n");
    r = run_qorvelix_fed(dir.path, {"link", "LIST.LXI"}, "");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "E [LINK] cannot open [FIFO.PPC]\n");
}

// Sources that are not regular files are refused by their status, never
// opened, so none can hold the run: a directory (on every system), a FIFO and
// devices, reached through symbolic links or, on Windows, by their names. The
// output is left alone.
TEST(Link, SourcesThatAreNotRegularFiles) {
    ScratchDir dir;
    std::vector<std::string> names = {"DIR.PCM", "DIR.PPC"};
    ASSERT_EQ(make_directory_as_file(dir / "DIR.PCM"), "");
    ASSERT_EQ(make_directory_as_file(dir / "DIR.PPC"), "");
    if (!testing_windows_program()) {
        ASSERT_EQ(mkfifo((dir / "F.PCM").c_str(), 0644), 0);
        ASSERT_EQ(mkfifo((dir / "F.PPC").c_str(), 0644), 0);
        ASSERT_EQ(symlink("/dev/zero", (dir / "ZERO.PCM").c_str()), 0);
        ASSERT_EQ(symlink("/dev/null", (dir / "NULL.PPC").c_str()), 0);
        names.insert(names.end(), {"F.PCM", "F.PPC", "ZERO.PCM", "NULL.PPC"});
    } else {
        names.insert(names.end(), {"NUL", "NUL.PPC"}); // device names, whatever the suffix
    }
    write_file(dir / "OUT.PPC", "keep me");
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        bool bank = name.find(".PPC") != std::string::npos;
        write_file(dir / "LIST.LXI", "*\tOUT.PPC\n0\t" + name + "\n");
        RunResult r = run_qorvelix_fed(dir.path, {"link", "LIST.LXI"}, "");
        Bytes out =
            "  [QORVELIX] PPC-Filename [OUT.PPC]\n  [QORVELIX] tone:  0 [" + name + "/  0]\n";
        out += bank ? "E [LINK] ERROR, cannot read File [" + name + "].\n"
                    : "E [QORVELIX] NOT FOUND [" + name + "].\n";
        expect_run(r, 1, framed(out), bank ? "E [QORVELIX] cannot get file status.\n" : "");
        EXPECT_EQ(read_file(dir / "OUT.PPC"), "keep me");
    }
}

// The list may come through a pipe, a FIFO or a character device, read to its
// end with the line-end, Ctrl-Z and byte-order mark handling of a file.
TEST(Link, ListThroughAPipeOrAFifo) {
    if (testing_windows_program()) {
        GTEST_SKIP() << "needs /dev/stdin and POSIX FIFOs, which Windows lacks";
    }
    ScratchDir dir;
    Bytes a = pattern_bytes(32, 71);
    write_file(dir / "A.PCM", a);
    // Longer than one 64 KiB read.
    const Bytes list = "\xEF\xBB\xBF;" + Bytes(70000, 'c') +
                       "\r\n*\tOUT.PPC\r\n0\tA.PCM\r\n\x1A"
                       "1\tNONE.PCM\r\n";
    const Bytes taken = framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                               "  [QORVELIX] tone:  0 [A.PCM/  0]\n"
                               "  [QORVELIX] Totalsize : 1088 bytes (0027)\n");
    expect_run(run_qorvelix_fed(dir.path, {"link", "/dev/stdin"}, list), 0, taken, DONE_OUT);
    EXPECT_EQ(read_file(dir / "OUT.PPC"), make_bank(0x27, {{0, 0x26, 0x26}}, a));
    std::remove((dir / "OUT.PPC").c_str());

    expect_run(run_qorvelix_fed(dir.path, {"link", "F.LXI"}, list, "F.LXI"), 0, taken, DONE_OUT);
    EXPECT_EQ(read_file(dir / "OUT.PPC"), make_bank(0x27, {{0, 0x26, 0x26}}, a));

    expect_run(run_qorvelix_fed(dir.path, {"link", "/dev/null"}, ""), 1,
               framed("E [QORVELIX] ERROR, PPC-Filename not found.\n"), "");
}

// An empty plain file and a zero-length bank tone keep their places, each
// with a warning right after it is measured.
TEST(Link, EmptyTonesAreTakenWithAWarning) {
    ScratchDir dir;
    Bytes t = pattern_bytes(32, 81);
    write_file(dir / "E.PCM", "");
    write_file(dir / "T.PCM", t);
    write_file(dir / "B.PPC", make_bank(0, {{4, 0x27, 0x26}}, Bytes(32, 'b')));
    RunResult r = link_list(dir, "*\tOUT.PPC\n0\tE.PCM\n1\tB.PPC\t4\n2\tT.PCM\n");
    expect_run(r, 0,
               framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                      "  [QORVELIX] tone:  0 [E.PCM/  0]\n"
                      "  [QORVELIX] tone:  1 [B.PPC/  4]\n"
                      "  [QORVELIX] tone:  2 [T.PCM/  0]\n"
                      "W [QORVELIX] PCM size is 0, empty tone [E.PCM]\n"
                      "W [LINK] BAD Filesize(0x1E) [B.PPC]\n"
                      "W [QORVELIX] PCM size is 0, empty tone [B.PPC]\n"
                      "  [QORVELIX] Totalsize : 1088 bytes (0027)\n"),
               DONE_OUT);
    EXPECT_EQ(read_file(dir / "OUT.PPC"),
              make_bank(0x27, {{0, 0x26, 0x25}, {1, 0x26, 0x25}, {2, 0x26, 0x26}}, t));
}

// Sparse files at and past the size limit as plain sources, as bank sources
// and as the list: each stops the run with its own line, and no output is
// written.
TEST(Link, SparseFilesAroundTheSizeLimit) {
    ScratchDir dir;
    const Bytes head = "  [QORVELIX] PPC-Filename [OUT.PPC]\n";
    const Bytes no_status = "E [QORVELIX] cannot get file status.\n";
    const Bytes plain_line = head + "  [QORVELIX] tone:  0 [S.PCM/  0]\n";
    const Bytes bank_line = head + "  [QORVELIX] tone:  0 [S.PPC/  0]\n";
    struct Case {
        int64_t size;
        const char* file;
        Bytes list;
        int status;
        Bytes out;
        Bytes err;
    };
    const int64_t fits = (int64_t{1} << 31) - 1, big = int64_t{1} << 31,
                  huge = (int64_t{1} << 32) + 64;
    const Case cases[] = {
        {fits, "S.PCM", "*\tOUT.PPC\n0\tS.PCM\n", 1,
         framed(plain_line + "W [QORVELIX] PCM size is not a multiple of 32, padded [S.PCM]\n"),
         "E [QORVELIX] TOO Large PPC-File, 2147484704 bytes\n"},
        {big, "S.PCM", "*\tOUT.PPC\n0\tS.PCM\n", 1,
         framed(plain_line + "E [QORVELIX] NOT FOUND [S.PCM].\n"), ""},
        {huge, "S.PCM", "*\tOUT.PPC\n0\tS.PCM\n", 1,
         framed(plain_line + "E [QORVELIX] NOT FOUND [S.PCM].\n"), ""},
        {fits, "S.PPC", "*\tOUT.PPC\n0\tS.PPC\t0\n", 1,
         framed(bank_line + "W [LINK] BAD Filesize(0x1E) [S.PPC]\n"
                            "E [LINK] NOT FOUND PPC-Element [S.PPC/@0]\n"),
         ""},
        {big, "S.PPC", "*\tOUT.PPC\n0\tS.PPC\t0\n", 1,
         framed(bank_line + "E [LINK] ERROR, cannot read File [S.PPC].\n"), no_status},
        {huge, "S.PPC", "*\tOUT.PPC\n0\tS.PPC\t0\n", 1,
         framed(bank_line + "E [LINK] ERROR, cannot read File [S.PPC].\n"), no_status},
        // A list of zeros ends at its first byte; one too large to measure
        // cannot be read.
        {fits, "LIST.LXI", "", 1, framed("E [QORVELIX] ERROR, PPC-Filename not found.\n"), ""},
        {big, "LIST.LXI", "", 1, Bytes(START_BANNER) + "E [QORVELIX] LXI NOT FOUND [LIST.LXI]\n",
         ""},
        {huge, "LIST.LXI", "", 1, Bytes(START_BANNER) + "E [QORVELIX] LXI NOT FOUND [LIST.LXI]\n",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " of " << c.size << " bytes");
        if (!c.list.empty()) {
            write_file(dir / "LIST.LXI", c.list);
        }
        if (!make_sparse_file(dir / c.file, c.size)) {
            GTEST_SKIP() << "no sparse files here";
        }
        expect_run(run_qorvelix(dir.path, {"link", "LIST.LXI"}), c.status, c.out, c.err);
        EXPECT_FALSE(file_exists(dir / "OUT.PPC"));
        std::remove((dir / c.file).c_str());
    }
}

// Tones at both ends of the addressable range of a 2 GiB bank: the lookup
// reads the table, the copy seeks to each tone.
TEST(Link, TonesOutOfAHugeSparseBank) {
    ScratchDir dir;
    if (!make_sparse_file(dir / "S.PPC", (int64_t{1} << 31) - 1)) {
        GTEST_SKIP() << "no sparse files here";
    }
    Bytes low = pattern_bytes(32, 21), high = pattern_bytes(512, 22);
    ASSERT_TRUE(
        patch_file(dir / "S.PPC", 0, make_bank(0x27, {{0, 0x26, 0x26}, {9, 0xFFF0, 0xFFFF}}, low)));
    ASSERT_TRUE(patch_file(dir / "S.PPC", 0xFFF0 * 32 - 160, high));
    RunResult r = link_list(dir, "*\tOUT.PPC\n0\tS.PPC\t9\n1\tS.PPC\n");
    expect_run(r, 0,
               framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                      "  [QORVELIX] tone:  0 [S.PPC/  9]\n"
                      "  [QORVELIX] tone:  1 [S.PPC/  0]\n"
                      "W [LINK] BAD Filesize(0x1E) [S.PPC]\n"
                      "W [LINK] BAD Filesize(0x1E) [S.PPC]\n"
                      "  [QORVELIX] Totalsize : 1600 bytes (0037)\n"),
               DONE_OUT);
    EXPECT_EQ(read_file(dir / "OUT.PPC"),
              make_bank(0x37, {{0, 0x26, 0x35}, {1, 0x36, 0x36}}, high + low));
}

// A directory where the list should be cannot be read as one.
TEST(Link, DirectoryAsList) {
    ScratchDir dir;
    ASSERT_EQ(make_directory_as_file(dir / "D.LXI"), "");
    expect_run(run_qorvelix(dir.path, {"link", "D.LXI"}), 1,
               Bytes(START_BANNER) + "E [QORVELIX] LXI NOT FOUND [D.LXI]\n", "");
}

TEST(Link, TwoTonesFromOneSource) {
    ScratchDir dir;
    Bytes a = pattern_bytes(32, 31), b = pattern_bytes(64, 32), p = pattern_bytes(32, 33);
    write_file(dir / "SRC.PPC", make_bank(0x29, {{3, 0x26, 0x26}, {7, 0x27, 0x28}}, a + b));
    write_file(dir / "P.PCM", p);
    RunResult r = link_list(
        dir, "*\tOUT.PPC\n0\tSRC.PPC\t7\n1\tSRC.PPC\t3\n2\tSRC.PPC\t7\n3\tP.PCM\n4\tP.PCM\n");
    expect_run(r, 0,
               framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                      "  [QORVELIX] tone:  0 [SRC.PPC/  7]\n"
                      "  [QORVELIX] tone:  1 [SRC.PPC/  3]\n"
                      "  [QORVELIX] tone:  2 [SRC.PPC/  7]\n"
                      "  [QORVELIX] tone:  3 [P.PCM/  0]\n"
                      "  [QORVELIX] tone:  4 [P.PCM/  0]\n"
                      "  [QORVELIX] Totalsize : 1280 bytes (002D)\n"),
               DONE_OUT);
    EXPECT_EQ(
        read_file(dir / "OUT.PPC"),
        make_bank(
            0x2D,
            {{0, 0x26, 0x27}, {1, 0x28, 0x28}, {2, 0x29, 0x2A}, {3, 0x2B, 0x2B}, {4, 0x2C, 0x2C}},
            b + a + b + p + p));
}

// 100 000 lines: line i (from 1) names tone i % 256, from A.PCM in even
// rounds of 256 lines and B.PCM in odd ones, so the last line for each tone
// decides its source; then the same length with an error on its last line.
TEST(Link, ListOfAHundredThousandLines) {
    ScratchDir dir;
    const int lines = 100000;
    Bytes a = pattern_bytes(32, 41), b = pattern_bytes(64, 42);
    write_file(dir / "A.PCM", a);
    write_file(dir / "B.PCM", b);
    Bytes list = "*\tOUT.PPC\n";
    Bytes out = "  [QORVELIX] PPC-Filename [OUT.PPC]\n";
    char line[80];
    for (int i = 1; i < lines; i++) {
        const char* name = (i / 256) % 2 == 0 ? "A.PCM" : "B.PCM";
        list += std::to_string(i % 256) + "\t" + name + "\n";
        std::snprintf(line, sizeof line, "  [QORVELIX] tone:%3d [%s/  0]\n", i % 256, name);
        out += line;
    }
    // Line 99999 is tone 159 of round 390: tones up to 159 end on A, the rest on B.
    std::vector<EntrySpec> entries;
    Bytes data;
    uint16_t address = 0x26;
    for (int tone = 0; tone < 256; tone++) {
        uint16_t blocks = tone <= 159 ? 1 : 2;
        entries.push_back({tone, address, static_cast<uint16_t>(address + blocks - 1)});
        address = static_cast<uint16_t>(address + blocks);
        data += tone <= 159 ? a : b;
    }
    expect_run(link_list(dir, list), 0,
               framed(out + "  [QORVELIX] Totalsize : 12320 bytes (0186)\n"), DONE_OUT);
    EXPECT_EQ(read_file(dir / "OUT.PPC"), make_bank(0x186, entries, data));

    Bytes bad;
    for (int i = 0; i < lines - 1; i++) {
        bad += i % 2 == 0 ? ";\tcomment\r\n" : "\r\n";
    }
    bad += "256\tA.PCM\r\n";
    std::remove((dir / "OUT.PPC").c_str());
    expect_run(link_list(dir, bad), 1, framed("E [QORVELIX] BAD @-Number, line.99999\n"), "");
    EXPECT_FALSE(file_exists(dir / "OUT.PPC"));
}

// A zero byte or a Ctrl-Z ends the list wherever it stands, inside a name,
// right after a CR, as the first byte or beyond the first 64 KiB.
TEST(Link, ListEndsAtAZeroByteOrCtrlZ) {
    ScratchDir dir;
    Bytes a = pattern_bytes(32, 51);
    write_file(dir / "A.PCM", a);
    const Bytes nul(1, '\0');
    const Bytes taken = framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                               "  [QORVELIX] tone:  0 [A.PCM/  0]\n"
                               "  [QORVELIX] Totalsize : 1088 bytes (0027)\n");
    struct Case {
        Bytes list;
        Bytes out;
        bool written;
    };
    const Case cases[] = {
        {"*\tOUT.PPC\n0\tA.PCM\n" + nul + "1\tB.PCM\n*\tOTHER.PPC\n", taken, true},
        {"*\tOUT.PPC\n0\tA.PCM\n\x1A"
         "1\tB.PCM\n*\tOTHER.PPC\n",
         taken, true},
        {"*\tOUT.PPC\n0\tA.PCM" + nul + "junk\n1\tB.PCM\n", taken, true},
        {"*\tOUT.PPC\r\n0\tA.PCM\x1A"
         "junk\r\n1\tB.PCM\r\n",
         taken, true},
        {"*\tOUT.PPC\r\n0\tA.PCM\r\x1A\n1\tB.PCM\r\n",
         framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                "  [QORVELIX] tone:  0 [A.PCM\r/  0]\n"
                "E [QORVELIX] NOT FOUND [A.PCM\r].\n"),
         false},
        {nul + "*\tOUT.PPC\n0\tA.PCM\n", framed("E [QORVELIX] ERROR, PPC-Filename not found.\n"),
         false},
        {"\x1A*\tOUT.PPC\n", framed("E [QORVELIX] ERROR, PPC-Filename not found.\n"), false},
        {"*\tOUT.PPC\n0\tA.PCM\n;" + Bytes(70000, 'c') + "\n" + nul + "300\tX\n", taken, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.list.substr(0, 40)));
        expect_run(link_list(dir, c.list), c.written ? 0 : 1, c.out, c.written ? DONE_OUT : "");
        EXPECT_EQ(file_exists(dir / "OUT.PPC"), c.written);
        if (c.written) {
            EXPECT_EQ(read_file(dir / "OUT.PPC"), make_bank(0x27, {{0, 0x26, 0x26}}, a));
        }
        EXPECT_FALSE(file_exists(dir / "OTHER.PPC"));
        std::remove((dir / "OUT.PPC").c_str());
    }
}

// Lines of 1 MiB in every field: comments, names no file system takes, and
// numbers of a million digits, which saturate or keep their value.
TEST(Link, LinesOfOneMebibyte) {
    ScratchDir dir;
    const size_t mib = 1 << 20;
    Bytes a = pattern_bytes(32, 61);
    write_file(dir / "A.PCM", a);
    write_file(dir / "B.PPC", make_bank(0x28, {{1, 0x26, 0x27}}, pattern_bytes(64, 62)));
    const Bytes head = "  [QORVELIX] PPC-Filename [OUT.PPC]\n";
    const Bytes long_name(mib, 'n'), long_out(mib, 'o');
    struct Case {
        Bytes list;
        int status;
        Bytes out;
        Bytes err;
    };
    const Case cases[] = {
        {";" + Bytes(mib, 'c') + "\n*\tOUT.PPC\n0\tA.PCM\n", 0,
         framed(head + "  [QORVELIX] tone:  0 [A.PCM/  0]\n"
                       "  [QORVELIX] Totalsize : 1088 bytes (0027)\n"),
         DONE_OUT},
        {"*\tOUT.PPC\n0\t" + long_name + "\n", 1,
         framed(head + "  [QORVELIX] tone:  0 [" + long_name + "/  0]\nE [QORVELIX] NOT FOUND [" +
                long_name + "].\n"),
         ""},
        {"*\tOUT.PPC\n0\t" + long_name + ".PPC\n", 1,
         framed(head + "  [QORVELIX] tone:  0 [" + long_name +
                ".PPC/  0]\nE [LINK] ERROR, cannot read File [" + long_name + ".PPC].\n"),
         "E [QORVELIX] Error, input file not found. [" + long_name + ".PPC]\n"},
        {"*\t" + long_out + "\n0\tA.PCM\n", 255,
         Bytes(START_BANNER) + "  [QORVELIX] PPC-Filename [" + long_out +
             "]\n  [QORVELIX] tone:  0 [A.PCM/  0]\n"
             "  [QORVELIX] Totalsize : 1088 bytes (0027)\n",
         "E [LINK] cannot open [" + long_out + "]\n"},
        {"*\tOUT.PPC\n" + Bytes(mib, '9') + "\tA.PCM\n", 1,
         framed(head + "E [QORVELIX] BAD @-Number, line.1\n"), ""},
        {"*\tOUT.PPC\n0\tB.PPC\t" + Bytes(mib, '7') + "\n", 1,
         framed(head + "  [QORVELIX] tone:  0 [B.PPC/2147483647]\n"
                       "E [LINK] NOT FOUND PPC-Element [B.PPC/@2147483647]\n"),
         ""},
        {"*\tOUT.PPC\n" + Bytes(mib, '0') + "\tB.PPC\t" + Bytes(mib, '0') + "1\n", 0,
         framed(head + "  [QORVELIX] tone:  0 [B.PPC/  1]\n"
                       "  [QORVELIX] Totalsize : 1120 bytes (0028)\n"),
         DONE_OUT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.list.substr(0, 20)));
        expect_run(link_list(dir, c.list), c.status, c.out, c.err);
        EXPECT_EQ(file_exists(dir / "OUT.PPC"), c.err == DONE_OUT);
        std::remove((dir / "OUT.PPC").c_str());
    }
}

} // namespace
