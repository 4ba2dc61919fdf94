// Replacing a file, with its file primitives failing on purpose: a failure
// at any step leaves the old file whole and nothing beside it.
#include "faulty_platform.h"
#include "os/file_output.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
    struct Step {
        const char* primitive;
        int nth;
        int result;
    };
    const Step steps[] = {
        {"open_for_writing", 1, OUTPUT_CANNOT_OPEN},
        {"create_exclusive", 1, OUTPUT_CANNOT_OPEN},
        {"write_some", 1, OUTPUT_WRITE_ERROR},
        {"sync_file", 1, OUTPUT_WRITE_ERROR},
        {"close_file", 2, OUTPUT_WRITE_ERROR}, // the new file's close
        {"rename_over", 1, OUTPUT_WRITE_ERROR},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.primitive);
        fail_primitive(step.primitive, step.nth, EIO);
        EXPECT_EQ(replace(out, next), step.result);
        EXPECT_EQ(primitive_calls(step.primitive), step.nth);
        EXPECT_EQ(read_file(out), old);
        EXPECT_EQ(dir_entries(dir.path), std::vector<std::string>{"OUT.PPC"});
    }
    fail_primitive("", 0, 0);
    EXPECT_EQ(replace(out, next), OUTPUT_OK);
    EXPECT_EQ(read_file(out), next);
    EXPECT_EQ(mode_of(out), 0640u);
    EXPECT_EQ(dir_entries(dir.path), std::vector<std::string>{"OUT.PPC"});
}

// A name so long that no longer name beside it is possible is written in
// place, new or not, as it always was.
TEST(ReplaceFile, LongestNameIsWrittenInPlace) {
    ScratchDir dir;
    fail_primitive("", 0, 0);
    std::string out = dir / std::string(250, 'n');
    EXPECT_EQ(replace(out, "new"), OUTPUT_OK);
    EXPECT_EQ(replace(out, "newer"), OUTPUT_OK);
    EXPECT_EQ(read_file(out), "newer");
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(mode_of(out), 0666 & ~mask);
}

// A signal that ends the process while the new file exists removes it
// first, then ends the process as the signal would have; the old file stays.
TEST(ReplaceFile, EndingSignalRemovesTheNewFile) {
    ScratchDir dir;
    std::string out = dir / "OUT.PPC";
    const Bytes old = pattern_bytes(300, 1);
    write_file(out, old);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        pid_t child = fork_child();
        if (child == 0) {
            signal_in_primitive("sync_file", 1, sig);
            replace(out, pattern_bytes(500, 2));
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        EXPECT_EQ(read_file(out), old);
        EXPECT_EQ(dir_entries(dir.path), std::vector<std::string>{"OUT.PPC"});
    }
}

// The new bank gets the owner, group and permission bits of the one it
// replaces; only a process that may give files away can check the owner.
TEST(ReplaceFile, KeepsOwnerGroupAndMode) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to give the old bank another owner and group";
    }
    ScratchDir dir;
    fail_primitive("", 0, 0);
    std::string out = dir / "OUT.PPC";
    write_file(out, "old");
    ASSERT_EQ(chown(out.c_str(), 4321, 8765), 0);
    ASSERT_EQ(chmod(out.c_str(), 0604), 0);
    EXPECT_EQ(replace(out, "new"), OUTPUT_OK);
    struct stat st;
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(read_file(out), "new");
}

} // namespace
