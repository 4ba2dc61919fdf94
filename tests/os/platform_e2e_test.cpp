// What could differ between the builds for different platforms, run as a
// user runs the program: list line ends, console line ends, file sizes past
// 32 bits, the permissions of a new bank and names taken as given.
#include "scratch.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// Sparse files of the given sizes in `dir`, or false where they cannot be made.
bool make_sparse_files(const ScratchDir& dir,
                       const std::vector<std::pair<const char*, int64_t>>& files) {
    for (const auto& f : files) {
        if (!make_sparse_file(dir / f.first, f.second)) {
            return false;
        }
    }
    return true;
}

TEST(Platform, CrLfLinesAndCtrlZReadAsOnEverySystem) {
    ScratchDir dir;
    Bytes a = pattern_bytes(64, 4);
    write_file(dir / "A.PCM", a);
    RunResult r = link_list(dir, ";\tmy bank\r\n*\tOUT.PPC\r\n\r\n0\tA.PCM\r\n\x1A"
                                 "1\tNONE.PCM\r\n");
    expect_run(r, 0,
               framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                      "  [QORVELIX] tone:  0 [A.PCM/  0]\n"
                      "  [QORVELIX] Totalsize : 1120 bytes (0028)\n"),
               DONE_OUT);
    EXPECT_EQ(read_file(dir / "OUT.PPC"), make_bank(0x28, {{0, 0x26, 0x27}}, a));

    // Line numbers count the lines a CR LF ends, empty ones included.
    r = link_list(dir, "*\tOUT.PPC\r\n;\tc\r\n\r\n300\tA.PCM\r\n");
    expect_run(r, 1,
               framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                      "E [QORVELIX] BAD @-Number, line.3\n"),
               "");
}

TEST(Platform, LoneCrStaysInItsField) {
    ScratchDir dir;
    write_file(dir / "A.PCM", Bytes(32, 'a'));
    write_file(dir / "B.PCM", Bytes(32, 'b'));
    // No line ends at the CR: the name runs on into what follows it.
    RunResult r = link_list(dir, "*\tOUT.PPC\n0\tA.PCM\r1\tB.PCM\n");
    expect_run(r, 1,
               framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                      "  [QORVELIX] tone:  0 [A.PCM\r1/  0]\n"
                      "E [QORVELIX] NOT FOUND [A.PCM\r1].\n"),
               "");
    EXPECT_FALSE(file_exists(dir / "OUT.PPC"));
}

TEST(Platform, ZeroByteEndsTheList) {
    ScratchDir dir;
    write_file(dir / "A.PCM", Bytes(32, 'a'));
    RunResult r = link_list(dir, Bytes("*\tOUT.PPC\n0\tA.PCM\n") + '\0' + "1\tNONE.PCM\n");
    expect_run(r, 0,
               framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                      "  [QORVELIX] tone:  0 [A.PCM/  0]\n"
                      "  [QORVELIX] Totalsize : 1088 bytes (0027)\n"),
               DONE_OUT);
}

// Every line on either stream ends in a bare LF, whatever the platform's
// C library would make of "\n" in a text stream.
TEST(Platform, ConsoleLinesEndInLineFeedOnly) {
    ScratchDir dir;
    write_file(dir / "ODD.PCM", Bytes(40, 'o'));
    std::vector<RunResult> runs;
    runs.push_back(link_list(dir, "*\tOUT.PPC\n0\tODD.PCM\n1\tNONE.PPC\n"));
    runs.push_back(link_list(dir, "*\tOUT.PPC\n0\tODD.PCM\n"));
    runs.push_back(run_qorvelix(dir.path, {"view", "OUT.PPC"}));
    runs.push_back(run_qorvelix(dir.path, {"view"}));
    for (const RunResult& r : runs) {
        EXPECT_NE(r.out + r.err, "");
        EXPECT_EQ((r.out + r.err).find('\r'), Bytes::npos) << r.out << r.err;
    }
    EXPECT_EQ(runs[1].err, DONE_OUT);
    EXPECT_EQ(runs[3].err, USAGE_TEXT);
}

// Sizes of 2^31 bytes and more are refused, also those whose low 32 bits
// alone would look small: only a 64-bit size query sees them whole.
TEST(Platform, FilesOfTwoGibibytesAndMoreAreRefused) {
    ScratchDir dir;
    const int64_t two_gib = int64_t{1} << 31;
    const int64_t wraps = (int64_t{1} << 32) + 32;
    if (!make_sparse_files(dir, {{"BIG.PCM", two_gib},
                                 {"WRAPS.PCM", wraps},
                                 {"BIG.PPC", two_gib},
                                 {"WRAPS.PPC", wraps},
                                 {"BIG.LXI", two_gib}})) {
        GTEST_SKIP() << "no sparse files here";
    }
    for (const char* name : {"BIG.PCM", "WRAPS.PCM"}) {
        SCOPED_TRACE(name);
        RunResult r = link_list(dir, Bytes("*\tOUT.PPC\n0\t") + name + "\n");
        expect_run(r, 1,
                   framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                          "  [QORVELIX] tone:  0 [" +
                          Bytes(name) + "/  0]\nE [QORVELIX] NOT FOUND [" + name + "].\n"),
                   "");
    }
    for (const char* name : {"BIG.PPC", "WRAPS.PPC"}) {
        SCOPED_TRACE(name);
        RunResult r = link_list(dir, Bytes("*\tOUT.PPC\n0\t") + name + "\n");
        expect_run(r, 1,
                   framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                          "  [QORVELIX] tone:  0 [" +
                          Bytes(name) + "/  0]\nE [LINK] ERROR, cannot read File [" + name +
                          "].\n"),
                   "E [QORVELIX] cannot get file status.\n");
        r = run_qorvelix(dir.path, {"view", name});
        expect_run(r, 1, framed("E [VIEW] ERROR, cannot read File [" + Bytes(name) + "].\n"),
                   "E [QORVELIX] cannot get file status.\n");
    }
    expect_run(run_qorvelix(dir.path, {"link", "BIG.LXI"}), 1,
               Bytes(START_BANNER) + "E [QORVELIX] LXI NOT FOUND [BIG.LXI]\n", "");
    EXPECT_FALSE(file_exists(dir / "OUT.PPC"));
}

// The largest sources that can be measured add up past 32 bits; the total
// is printed whole.
TEST(Platform, TotalsPastThirtyTwoBitsArePrintedWhole) {
    ScratchDir dir;
    const int64_t largest = (int64_t{1} << 31) - 1;
    if (!make_sparse_files(dir, {{"A.PCM", largest}, {"B.PCM", largest}})) {
        GTEST_SKIP() << "no sparse files here";
    }
    RunResult r = link_list(dir, "*\tOUT.PPC\n0\tA.PCM\n1\tB.PCM\n");
    expect_run(r, 1,
               framed("  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                      "  [QORVELIX] tone:  0 [A.PCM/  0]\n"
                      "  [QORVELIX] tone:  1 [B.PCM/  0]\n"
                      "W [QORVELIX] PCM size is not a multiple of 32, padded [A.PCM]\n"
                      "W [QORVELIX] PCM size is not a multiple of 32, padded [B.PCM]\n"),
               "E [QORVELIX] TOO Large PPC-File, 4294968352 bytes\n");
    EXPECT_FALSE(file_exists(dir / "OUT.PPC"));
}

TEST(Platform, NewBankIsReadableAndWritableByItsUser) {
    ScratchDir dir;
    write_file(dir / "T.PCM", Bytes(32, 't'));
    ASSERT_EQ(link_list(dir, "*\tOUT.PPC\n0\tT.PCM\n").err, DONE_OUT);
    struct stat st;
    ASSERT_EQ(stat((dir / "OUT.PPC").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & (S_IRUSR | S_IWUSR), unsigned{S_IRUSR | S_IWUSR});
    if (!testing_windows_program()) {
        mode_t mask = umask(0);
        umask(mask);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask); // read and write for all, less the umask
    }
    // The program itself can read the bank back and write it again.
    RunResult r = link_list(dir, "*\tOUT.PPC\n0\tOUT.PPC\n1\tOUT.PPC\n");
    EXPECT_EQ(r.err, DONE_OUT);
    EXPECT_EQ(read_file(dir / "OUT.PPC"),
              make_bank(0x28, {{0, 0x26, 0x26}, {1, 0x27, 0x27}}, Bytes(64, 't')));
}

// Names reach the file system as given: a "/" separates directories on
// every system, and nothing expands wildcards.
TEST(Platform, NamesAreTakenAsGiven) {
    ScratchDir dir;
    ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
    write_file(dir / "sub/T.PCM", Bytes(32, 't'));
    write_file(dir / "sub/LIST.LXI", "*\tsub/OUT.PPC\n0\tsub/T.PCM\n");
    RunResult r = run_qorvelix(dir.path, {"link", "sub/LIST.LXI"});
    EXPECT_EQ(r.err, "  [LINK] done [sub/OUT.PPC]\n");
    EXPECT_EQ(read_file(dir / "sub/OUT.PPC"), make_bank(0x27, {{0, 0x26, 0x26}}, Bytes(32, 't')));

    write_file(dir / "ONLY.PPC", make_bank(0x26, {}, ""));
    r = run_qorvelix(dir.path, {"view", "*.PPC"});
    expect_run(r, 1, framed("E [VIEW] ERROR, cannot read File [*.PPC].\n"),
               "E [QORVELIX] Error, input file not found. [*.PPC]\n");
}

} // namespace
