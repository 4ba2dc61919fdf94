// Replacing a file: a failure at any step leaves the old file whole and
// nothing beside it.
#include "scratch.h"
#include "shell/file_output.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

int replace(const std::string& name, const Bytes& bytes) {
    return replace_file(name.c_str(), reinterpret_cast<const unsigned char*>(bytes.data()),
                        bytes.size());
}

mode_t mode_of(const std::string& name) {
    struct stat st;
    return stat(name.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(ReplaceFile, FailureAtAnyStepKeepsTheOldFile) {
    ScratchDir dir;
    std::string out = dir / "OUT.PPC";
    const Bytes old = pattern_bytes(3000, 1), next = pattern_bytes(5000, 2);
    write_file(out, old);
    ASSERT_EQ(chmod(out.c_str(), 0640), 0);
    for (OutputFaultStep step : {OUTPUT_FAULT_WRITE, OUTPUT_FAULT_SYNC, OUTPUT_FAULT_RENAME}) {
        SCOPED_TRACE(step);
        output_fault_step = step;
        EXPECT_EQ(replace(out, next), OUTPUT_WRITE_ERROR);
        output_fault_step = OUTPUT_FAULT_NONE;
        EXPECT_EQ(read_file(out), old);
        EXPECT_EQ(dir_entries(dir.path), std::vector<std::string>{"OUT.PPC"});
    }
    EXPECT_EQ(replace(out, next), OUTPUT_OK);
    EXPECT_EQ(read_file(out), next);
    EXPECT_EQ(mode_of(out), 0640u);
    EXPECT_EQ(dir_entries(dir.path), std::vector<std::string>{"OUT.PPC"});
}

// A name so long that no longer name beside it is possible is written in
// place, new or not, as it always was.
TEST(ReplaceFile, LongestNameIsWrittenInPlace) {
    ScratchDir dir;
    std::string out = dir / std::string(250, 'n');
    EXPECT_EQ(replace(out, "new"), OUTPUT_OK);
    EXPECT_EQ(replace(out, "newer"), OUTPUT_OK);
    EXPECT_EQ(read_file(out), "newer");
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(mode_of(out), 0666 & ~mask);
}

} // namespace
