// The view operation, run as a user runs it.
#include "scratch.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <vector>

namespace {

const char HEADING[] = "  [VIEW]            @ : strt  end  offset    size\n";

RunResult view(const ScratchDir& dir, const Bytes& bank) {
    write_file(dir / "BANK.PPC", bank);
    return run_qorvelix(dir.path, {"view", "BANK.PPC"});
}

TEST(View, EmptyBankWithMatchingHeaderWord) {
    ScratchDir dir;
    RunResult r = view(dir, make_bank(0x26, {}, ""));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, framed("  [VIEW] PPC FileSize : 1056 bytes\n"
                            "  [VIEW] PPC     0x1E : 0026 (38*32-160=1056)\n" +
                            Bytes(HEADING)));
    EXPECT_EQ(r.err, "");
}

TEST(View, WrongHeaderWordWarnsAndGoesOn) {
    ScratchDir dir;
    RunResult r = view(dir, make_bank(0, {{7, 0x26, 0x26}}, Bytes(32, 'x')));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              framed("  [VIEW] PPC FileSize : 1088 bytes\n"
                     "  [VIEW] PPC     0x1E : 0000 (0*32-160=-160)\n"
                     "W [VIEW] BAD Filesize(0x1E)\n" +
                     Bytes(HEADING) + "  [VIEW] PCM Tone   7 : 0026 0026    1056      32\n"));
    EXPECT_EQ(r.err, "");
}

// Entries are printed as they stand, whether or not they make sense and
// whether or not their data lies in the file.
TEST(View, PrintsEveryPresentEntryAsItStands) {
    ScratchDir dir;
    RunResult r = view(dir, make_bank(0x28,
                                      {{0, 0x26, 0x27},
                                       {1, 0x28, 0x27},
                                       {2, 0x0001, 0x0001},
                                       {3, 0xFFFF, 0x0000},
                                       {4, 0x0000, 0x1234},
                                       {5, 0x0100, 0xFFFF},
                                       {255, 0x0005, 0x0004}},
                                      Bytes(64, '\0')));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, framed("  [VIEW] PPC FileSize : 1120 bytes\n"
                            "  [VIEW] PPC     0x1E : 0028 (40*32-160=1120)\n" +
                            Bytes(HEADING) +
                            "  [VIEW] PCM Tone   0 : 0026 0027    1056      64\n"
                            "  [VIEW] PCM Tone   1 : 0028 0027    1120       0\n"
                            "  [VIEW] PCM Tone   2 : 0001 0001    -128      32\n"
                            "  [VIEW] PCM Tone   3 : FFFF 0000 2096960 -2097088\n"
                            "  [VIEW] PCM Tone   5 : 0100 FFFF    8032 2088960\n"
                            "  [VIEW] PCM Tone 255 : 0005 0004       0       0\n"));
}

TEST(View, ShortAndUnreadableFiles) {
    ScratchDir dir;
    RunResult r = view(dir, make_bank(0x26, {}, "").substr(0, 1055));
    EXPECT_EQ(r.out, framed("E [VIEW] ERROR, too short File [BANK.PPC].\n"));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 1);

    r = view(dir, "");
    EXPECT_EQ(r.out, framed("E [VIEW] ERROR, too short File [BANK.PPC].\n"));

    r = run_qorvelix(dir.path, {"view", "nothing here.PPC"});
    EXPECT_EQ(r.out, framed("E [VIEW] ERROR, cannot read File [nothing here.PPC].\n"));
    EXPECT_EQ(r.err, "E [QORVELIX] Error, input file not found. [nothing here.PPC]\n");
    EXPECT_EQ(r.status, 1);
}

TEST(View, FilesTooLargeToMeasure) {
    ScratchDir dir;
    if (!make_sparse_file(dir / "BIG.PPC", int64_t{1} << 31)) {
        GTEST_SKIP() << "no sparse files here";
    }
    RunResult r = run_qorvelix(dir.path, {"view", "BIG.PPC"});
    EXPECT_EQ(r.out, framed("E [VIEW] ERROR, cannot read File [BIG.PPC].\n"));
    EXPECT_EQ(r.err, "E [QORVELIX] cannot get file status.\n");
    EXPECT_EQ(r.status, 1);
}

// Sparse files at and past the size limit: the largest that fits is reported
// from its header (all zeros here), the larger ones cannot be measured.
TEST(View, SparseFilesAroundTheSizeLimit) {
    ScratchDir dir;
    const Bytes unmeasurable = framed("E [VIEW] ERROR, cannot read File [S.PPC].\n");
    struct Case {
        int64_t size;
        Bytes out;
        Bytes err;
    };
    const Case cases[] = {
        {(int64_t{1} << 31) - 1,
         framed("  [VIEW] PPC FileSize : 2147483647 bytes\n"
                "  [VIEW] PPC     0x1E : 0000 (0*32-160=-160)\n"
                "W [VIEW] BAD Filesize(0x1E)\n" +
                Bytes(HEADING)),
         ""},
        {int64_t{1} << 31, unmeasurable, "E [QORVELIX] cannot get file status.\n"},
        {(int64_t{1} << 32) + 64, unmeasurable, "E [QORVELIX] cannot get file status.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        if (!make_sparse_file(dir / "S.PPC", c.size)) {
            GTEST_SKIP() << "no sparse files here";
        }
        RunResult r = run_qorvelix(dir.path, {"view", "S.PPC"});
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.status, c.err.empty() ? 0 : 1); // a warning is no failure
    }
}

// What is not a regular file is refused by its status and never opened, so
// a FIFO cannot hold the run.
TEST(View, OnlyRegularFilesAreRead) {
    ScratchDir dir;
    std::vector<std::string> names = {"D.PPC"};
    ASSERT_EQ(make_directory_as_file(dir / "D.PPC"), "");
    if (!testing_windows_program()) {
        ASSERT_EQ(mkfifo((dir / "F.PPC").c_str(), 0644), 0);
        names.insert(names.end(), {"F.PPC", "/dev/null", "/dev/zero"});
    } else {
        names.push_back("NUL");
    }
    for (const std::string& name : names) {
        RunResult r = run_qorvelix_fed(dir.path, {"view", name}, "");
        expect_run(r, 1, framed("E [VIEW] ERROR, cannot read File [" + name + "].\n"),
                   "E [QORVELIX] cannot get file status.\n");
    }
}

} // namespace
