// Replacing a file, with its file primitives failing on purpose: a failure
// at any step leaves the old file whole and nothing beside it.
#include "faulty_platform.h"
#include "os/file_output.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <regex>
#include <sys/resource.h>
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
    struct Step {
        const char* primitive;
        int nth;
        int error;
        int result;
        bool replaced;
    };
    const Step steps[] = {
        {"open_for_writing", 1, EIO, OUTPUT_CANNOT_OPEN, false},
        {"read_link", 1, EIO, OUTPUT_CANNOT_OPEN, false}, // a link that cannot be followed
        {"create_exclusive", 1, EACCES, OUTPUT_CANNOT_OPEN, false}, // never in place
        {"create_exclusive", 1, EEXIST, OUTPUT_OK, true},           // another name
        {"write_some", 1, EIO, OUTPUT_WRITE_ERROR, false},
        {"write_some", 1, EINTR, OUTPUT_OK, true},
        {"sync_file", 1, EIO, OUTPUT_WRITE_ERROR, false},
        {"close_file", 2, EIO, OUTPUT_WRITE_ERROR, false}, // the new file's close
        {"rename_over", 1, EIO, OUTPUT_WRITE_ERROR, false},
        {"set_mode", 1, EPERM, OUTPUT_NOT_KEPT, true},
        // The folder's sync, after the rename: only "not supported" answers
        // and a folder that cannot be opened are no failure.
        {"sync_file", 2, EIO, OUTPUT_WRITE_ERROR, true},
        {"sync_file", 2, EINVAL, OUTPUT_OK, true},
        {"sync_file", 2, EROFS, OUTPUT_OK, true},
        {"open_folder", 1, EACCES, OUTPUT_OK, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << step.primitive << " " << step.error);
        write_file(out, old);
        ASSERT_EQ(chmod(out.c_str(), 0640), 0);
        fail_primitive(step.primitive, step.nth, step.error);
        EXPECT_EQ(replace(out, next), step.result);
        EXPECT_GE(primitive_calls(step.primitive), step.nth);
        EXPECT_EQ(read_file(out), step.replaced ? next : old);
        EXPECT_EQ(mode_of(out), step.result == OUTPUT_NOT_KEPT ? 0600u : 0640u);
        EXPECT_EQ(dir_entries(dir.path), std::vector<std::string>{"OUT.PPC"});
    }
}

// The new file's name begins with the output's, cut where the whole would
// pass 255 bytes, and always fits beside it: a long name is never written
// in place.
TEST(ReplaceFile, NewFileNameFitsBesideTheLongestName) {
    ScratchDir dir;
    fail_primitive("", 0, 0);
    for (size_t length : {size_t{240}, size_t{244}, size_t{255}}) {
        std::string out = dir / std::string(length, 'n');
        write_file(out, "old");
        EXPECT_EQ(replace(out, "new"), OUTPUT_OK) << length;
        EXPECT_EQ(read_file(out), "new");
        std::remove(out.c_str());
    }
    std::string out = dir / "NEW.PPC";
    EXPECT_EQ(replace(out, "new"), OUTPUT_OK);
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(mode_of(out), 0666 & ~mask);
}

// Runs replace_file in a child process whose sync of the new file first
// raises `sig`, and returns how the child ended.
int replace_with_signal(const std::string& out, int sig) {
    pid_t child = fork_child();
    if (child == 0) {
        signal_in_primitive("sync_file", 1, sig);
        _exit(replace(out, pattern_bytes(500, 2)) == OUTPUT_OK ? 0 : 1);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child ? status : -1;
}

// Every signal that ends the process while the new file exists removes it
// first, then ends the process as the signal would have; the old file
// stays. Only SIGKILL leaves the new file, under a name that shows which
// bank it was for.
TEST(ReplaceFile, EndingSignalRemovesTheNewFile) {
    ScratchDir dir;
    std::string out = dir / "OUT.PPC";
    const Bytes old = pattern_bytes(300, 1);
    write_file(out, old);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE, SIGVTALRM,
                    SIGPROF, SIGRTMIN}) {
        SCOPED_TRACE(sig);
        int status = replace_with_signal(out, sig);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        EXPECT_EQ(read_file(out), old);
        EXPECT_EQ(dir_entries(dir.path), std::vector<std::string>{"OUT.PPC"});
    }
    int status = replace_with_signal(out, SIGKILL);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    EXPECT_EQ(read_file(out), old);
    std::vector<std::string> names = dir_entries(dir.path);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_TRUE(std::regex_match(names[1], std::regex(R"(OUT\.PPC\.[0-9a-f]{12}\.tmp)")))
        << names[1];
}

// A write past the file size limit fails as a write error; the signal it
// raises does not end the run, and no new file is left.
TEST(ReplaceFile, FileSizeLimitIsAWriteError) {
    ScratchDir dir;
    std::string out = dir / "OUT.PPC";
    write_file(out, "old");
    pid_t child = fork_child();
    if (child == 0) {
        fail_primitive("", 0, 0);
        struct rlimit limit = {1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(replace(out, pattern_bytes(5000, 3)) == OUTPUT_WRITE_ERROR ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(read_file(out), "old");
    EXPECT_EQ(dir_entries(dir.path), std::vector<std::string>{"OUT.PPC"});
}

// The new bank gets the owner, group and permission bits of the one it
// replaces, or a warning when it could not. A bank in a sticky folder that
// a user owns neither the folder nor the bank of is refused before anything
// is written, since the rename would be. Only a process that may give files
// away can set this up.
TEST(ReplaceFile, OwnersAndStickyFolders) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to give files and folders other owners";
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

    fail_primitive("set_owner", 1, EPERM);
    EXPECT_EQ(replace(out, "newer"), OUTPUT_NOT_KEPT);
    EXPECT_EQ(read_file(out), "newer");

    // A sticky folder of user 1111, a bank of user 2222 that all may write,
    // and a run as user 3333.
    ASSERT_EQ(chmod(dir.path.c_str(), 01777), 0);
    ASSERT_EQ(chown(dir.path.c_str(), 1111, 1111), 0);
    ASSERT_EQ(chown(out.c_str(), 2222, 2222), 0);
    ASSERT_EQ(chmod(out.c_str(), 0666), 0);
    pid_t child = fork_child();
    if (child == 0) {
        fail_primitive("", 0, 0);
        if (setgid(3333) != 0 || setuid(3333) != 0) {
            _exit(2);
        }
        _exit(replace(out, "newest") == OUTPUT_CANNOT_OPEN ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(read_file(out), "newer");
    EXPECT_EQ(dir_entries(dir.path), std::vector<std::string>{"OUT.PPC"});
}

} // namespace
