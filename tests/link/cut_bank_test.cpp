// A bank cut at every length from nothing to its full size, viewed and taken
// as the source of two tones: each length gives exactly the lines of its
// kind. Every length runs in-process (so the sanitizers see every read), and
// the lengths at the borders of each kind run end to end as well.
#include "bank/bank_view.h"
#include "link/link.h"
#include "os/outcome.h"
#include "scratch.h"

#include <gtest/gtest.h>

namespace {

// Tone 0 is the block at 1056, tone 1 the two blocks at 1088: 1152 bytes.
const Bytes FULL = make_bank(0x29, {{0, 0x26, 0x26}, {1, 0x27, 0x28}}, pattern_bytes(96, 11));
const size_t TONE_0_END = 1088;

Bytes view_lines(size_t length, const std::string& name) {
    if (length < 1056) {
        return "E [VIEW] ERROR, too short File [" + name + "].\n";
    }
    return "  [VIEW] PPC FileSize : " + std::to_string(length) +
           " bytes\n"
           "  [VIEW] PPC     0x1E : 0029 (41*32-160=1152)\n" +
           (length != FULL.size() ? "W [VIEW] BAD Filesize(0x1E)\n" : "") +
           "  [VIEW]            @ : strt  end  offset    size\n"
           "  [VIEW] PCM Tone   0 : 0026 0026    1056      32\n"
           "  [VIEW] PCM Tone   1 : 0027 0028    1088      64\n";
}

Bytes link_list(const std::string& out, const std::string& cut) {
    return "*\t" + out + "\n0\t" + cut + "\t0\n1\t" + cut + "\t1\n";
}

// Standard output of the link run after its tone lines, for a cut bank of
// `length` bytes; the run writes the bank only at the full length.
Bytes link_lines(size_t length, const std::string& cut) {
    const Bytes warning = "W [LINK] BAD Filesize(0x1E) [" + cut + "]\n";
    const Bytes bad = "E [LINK] BAD PPC-Format [" + cut + "]\n";
    if (length < 1056) {
        return "E [LINK] ERROR, too short File [" + cut + "].\n";
    }
    if (length < TONE_0_END) {
        return warning + bad;
    }
    if (length < FULL.size()) {
        return warning + warning + bad;
    }
    return "  [QORVELIX] Totalsize : 1152 bytes (0029)\n";
}

Bytes link_head(const std::string& out, const std::string& cut) {
    return "  [QORVELIX] PPC-Filename [" + out + "]\n  [QORVELIX] tone:  0 [" + cut +
           "/  0]\n  [QORVELIX] tone:  1 [" + cut + "/  1]\n";
}

TEST(CutBank, EveryLengthInProcess) {
    ScratchDir dir;
    const std::string cut = dir / "CUT.PPC", out = dir / "OUT.PPC", list = dir / "L.LXI";
    write_file(list, link_list(out, cut));
    for (size_t length = 0; length <= FULL.size(); length++) {
        SCOPED_TRACE(length);
        write_file(cut, FULL.substr(0, length));
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int viewed = view_bank(cut.c_str());
        Bytes view_out = testing::internal::GetCapturedStdout();
        Bytes view_err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(viewed, length < 1056 ? OUTCOME_FAILED : OUTCOME_DONE);
        EXPECT_EQ(view_out, view_lines(length, cut));
        EXPECT_EQ(view_err, "");

        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int linked = link_bank(list.c_str());
        Bytes link_out = testing::internal::GetCapturedStdout();
        Bytes link_err = testing::internal::GetCapturedStderr();
        bool whole = length == FULL.size();
        EXPECT_EQ(linked, whole ? OUTCOME_DONE : OUTCOME_FAILED);
        EXPECT_EQ(link_out, link_head(out, cut) + link_lines(length, cut));
        EXPECT_EQ(link_err, whole ? "  [LINK] done [" + out + "]\n" : "");
        // The two tones land where they were: the new bank is the old one.
        EXPECT_EQ(file_exists(out), whole);
        if (whole) {
            EXPECT_EQ(read_file(out), FULL);
        }
    }
}

TEST(CutBank, BordersOfEachKindEndToEnd) {
    ScratchDir dir;
    write_file(dir / "L.LXI", link_list("OUT.PPC", "CUT.PPC"));
    for (size_t length : {size_t{0}, size_t{1}, size_t{30}, size_t{1055}, size_t{1056},
                          size_t{1057}, TONE_0_END - 1, TONE_0_END, FULL.size() - 1, FULL.size()}) {
        SCOPED_TRACE(length);
        write_file(dir / "CUT.PPC", FULL.substr(0, length));
        RunResult r = run_qorvelix(dir.path, {"view", "CUT.PPC"});
        EXPECT_EQ(r.status, length < 1056 ? 1 : 0);
        EXPECT_EQ(r.out, START_BANNER + view_lines(length, "CUT.PPC") + FINISH_BANNER);
        EXPECT_EQ(r.err, "");

        r = run_qorvelix(dir.path, {"link", "L.LXI"});
        bool whole = length == FULL.size();
        EXPECT_EQ(r.status, whole ? 0 : 1);
        EXPECT_EQ(r.out, START_BANNER + link_head("OUT.PPC", "CUT.PPC") +
                             link_lines(length, "CUT.PPC") + FINISH_BANNER);
        EXPECT_EQ(r.err, whole ? "  [LINK] done [OUT.PPC]\n" : "");
        EXPECT_EQ(file_exists(dir / "OUT.PPC"), whole);
    }
    EXPECT_EQ(read_file(dir / "OUT.PPC"), FULL);
}

} // namespace
