// The command line as a user meets it: arguments, banners, usage, statuses.
// The status is 0 only when the operation did its job, 1 when nothing was
// done, 255 for a fault while writing.
#include "scratch.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, TooFewArgumentsPrintUsageOnly) {
    ScratchDir dir;
    expect_run(run_qorvelix(dir.path, {}), 1, "", USAGE_TEXT);
    expect_run(run_qorvelix(dir.path, {"view"}), 1, "", USAGE_TEXT);
    expect_run(run_qorvelix(dir.path, {"link"}), 1, "", USAGE_TEXT);
}

TEST(CommandLine, UnknownOperationPrintsStartBannerAndUsage) {
    ScratchDir dir;
    for (const char* word : {"View", "LINK", "vie", "views", "linkx", "", "-h"}) {
        SCOPED_TRACE(word);
        expect_run(run_qorvelix(dir.path, {word, "x.PPC"}), 1, START_BANNER, USAGE_TEXT);
    }
}

TEST(CommandLine, ArgumentsAfterTheFileNameAreIgnored) {
    ScratchDir dir;
    Bytes out =
        Bytes(START_BANNER) + "E [VIEW] ERROR, cannot read File [none.PPC].\n" + FINISH_BANNER;
    Bytes err = "E [QORVELIX] Error, input file not found. [none.PPC]\n";
    expect_run(run_qorvelix(dir.path, {"view", "none.PPC"}), 1, out, err);
    expect_run(run_qorvelix(dir.path, {"view", "none.PPC", "extra", "more"}), 1, out, err);
}

TEST(CommandLine, UnreadableListEndsWithStatusOne) {
    ScratchDir dir;
    expect_run(run_qorvelix(dir.path, {"link", "none.lxi"}), 1,
               Bytes(START_BANNER) + "E [QORVELIX] LXI NOT FOUND [none.lxi]\n", "");
}

// A console that cannot be written makes the run fail, whatever the
// operation did; the bank of a link run stays written.
TEST(CommandLine, StandardOutputThatCannotBeWritten) {
    if (testing_windows_program() || !file_exists("/dev/full")) {
        GTEST_SKIP() << "needs the POSIX device /dev/full";
    }
    ScratchDir dir;
    const Bytes failed = "E [QORVELIX] write error [standard output]\n";
    write_file(dir / "T.PCM", Bytes(32, 't'));
    write_file(dir / "LIST.LXI", "*\tOUT.PPC\n0\tT.PCM\n");
    expect_run(run_qorvelix(dir.path, {"link", "LIST.LXI"}, "/dev/full"), 255, "",
               DONE_OUT + failed);
    EXPECT_EQ(read_file(dir / "OUT.PPC"), make_bank(0x27, {{0, 0x26, 0x26}}, Bytes(32, 't')));
    expect_run(run_qorvelix(dir.path, {"view", "OUT.PPC"}, "/dev/full"), 255, "", failed);
    expect_run(run_qorvelix(dir.path, {"link", "NONE.LXI"}, "/dev/full"), 255, "", failed);
    // Nothing was meant for standard output.
    expect_run(run_qorvelix(dir.path, {"view"}, "/dev/full"), 1, "", USAGE_TEXT);
}

} // namespace
