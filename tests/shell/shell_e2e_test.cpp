// The command line as a user meets it: arguments, banners, usage, statuses.
#include "scratch.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, TooFewArgumentsPrintUsageOnly) {
    ScratchDir dir;
    expect_run(run_qorvelix(dir.path, {}), 0, "", USAGE_TEXT);
    expect_run(run_qorvelix(dir.path, {"view"}), 0, "", USAGE_TEXT);
    expect_run(run_qorvelix(dir.path, {"link"}), 0, "", USAGE_TEXT);
}

TEST(CommandLine, UnknownOperationPrintsStartBannerAndUsage) {
    ScratchDir dir;
    for (const char* word : {"View", "LINK", "vie", "views", "linkx", "", "-h"}) {
        SCOPED_TRACE(word);
        expect_run(run_qorvelix(dir.path, {word, "x.PPC"}), 0, START_BANNER, USAGE_TEXT);
    }
}

TEST(CommandLine, ArgumentsAfterTheFileNameAreIgnored) {
    ScratchDir dir;
    Bytes out =
        Bytes(START_BANNER) + "E [VIEW] ERROR, cannot read File [none.PPC].\n" + FINISH_BANNER;
    Bytes err = "E [QORVELIX] Error, input file not found. [none.PPC]\n";
    expect_run(run_qorvelix(dir.path, {"view", "none.PPC"}), 0, out, err);
    expect_run(run_qorvelix(dir.path, {"view", "none.PPC", "extra", "more"}), 0, out, err);
}

TEST(CommandLine, UnreadableListEndsWithStatusOne) {
    ScratchDir dir;
    expect_run(run_qorvelix(dir.path, {"link", "none.lxi"}), 1,
               Bytes(START_BANNER) + "E [QORVELIX] LXI NOT FOUND [none.lxi]\n", "");
}

} // namespace
