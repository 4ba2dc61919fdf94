// Writing a whole folder: it appears whole or not at all, whatever fails and
// whatever signal ends the process while it is written.
#include "faulty_platform.h"
#include "os/folder_output.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Writes the folder OUT with two files; the result of the first step that
// fails, or of the last.
int write_folder(const std::string& name) {
    NewFolder folder;
    int result = begin_folder(name.c_str(), &folder);
    const unsigned char bytes[] = "tone";
    for (const char* file : {"000.PCM", "000.WAV"}) {
        if (result == FOLDER_OK) {
            result = add_folder_file(&folder, file, bytes, sizeof bytes);
        }
    }
    if (result == FOLDER_OK) {
        return finish_folder(&folder);
    }
    if (result == FOLDER_WRITE_ERROR) {
        abandon_folder(&folder);
    }
    return result;
}

TEST(NewFolder, AppearsWholeOrNotAtAll) {
    ScratchDir dir;
    struct Step {
        const char* primitive;
        int nth;
        int result;
    };
    const Step steps[] = {
        {"make_folder", 1, FOLDER_CANNOT_MAKE}, {"create_exclusive", 2, FOLDER_WRITE_ERROR},
        {"write_some", 2, FOLDER_WRITE_ERROR},  {"sync_file", 3, FOLDER_WRITE_ERROR},
        {"rename_over", 1, FOLDER_WRITE_ERROR}, {"", 0, FOLDER_OK},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.primitive);
        fail_primitive(step.primitive, step.nth, EIO);
        EXPECT_EQ(write_folder(dir / "OUT"), step.result);
        bool made = step.result == FOLDER_OK;
        EXPECT_EQ(dir_entries(dir.path), made ? std::vector<std::string>{"OUT"}
                                              : std::vector<std::string>{});
    }
    EXPECT_EQ(dir_entries(dir / "OUT"), (std::vector<std::string>{"000.PCM", "000.WAV"}));
    EXPECT_EQ(read_file(dir / "OUT/000.WAV"), Bytes("tone", 5));
    EXPECT_EQ(write_folder(dir / "OUT"), FOLDER_EXISTS);

    pid_t child = fork_child();
    if (child == 0) {
        signal_in_primitive("write_some", 2, SIGTERM);
        _exit(write_folder(dir / "NEW") == FOLDER_OK ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(dir_entries(dir.path), std::vector<std::string>{"OUT"});
}

} // namespace
