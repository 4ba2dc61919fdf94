// Helpers shared by the tests: scratch directories, files and program runs.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

using Bytes = std::string;

// A fresh directory under the system's temporary directory.
std::string make_scratch_dir();

// Removes `dir` and everything below it.
void remove_tree(const std::string& dir);

void write_file(const std::string& path, const Bytes& bytes);
Bytes read_file(const std::string& path);
bool file_exists(const std::string& path);

// The names in `dir`, "." and ".." left out, sorted.
std::vector<std::string> dir_entries(const std::string& dir);

// Creates a sparse file of `size` bytes; false where the file system refuses.
bool make_sparse_file(const std::string& path, int64_t size);

// Overwrites the bytes of an existing file from `offset` on with `bytes`.
bool patch_file(const std::string& path, int64_t offset, const Bytes& bytes);

// What one run of the program printed and how it ended.
struct RunResult {
    int status; // exit status as a shell sees it, 0 to 255; -1 if it did not exit
    Bytes out;
    Bytes err;
};

// Runs the program under test with `args` in directory `dir`. The program is
// the built qorvelix, or the command given (as words separated by spaces) in
// the environment variable QORVELIX_TEST_COMMAND. Standard output goes to
// `stdout_path` instead of being captured when one is given.
RunResult run_qorvelix(const std::string& dir, const std::vector<std::string>& args,
                       const char* stdout_path = nullptr);

// Runs as run_qorvelix does, but killed if it has not ended within 30
// seconds (its status is then -1), so a run that would wait forever fails;
// `input` is written by another process to its standard input through a
// pipe or, when `fifo` is named, to a FIFO of that name made in `dir`.
RunResult run_qorvelix_fed(const std::string& dir, const std::vector<std::string>& args,
                           const Bytes& input, const std::string& fifo = "");

// fork(), in a way that works under qemu-user on every architecture.
pid_t fork_child();

// True when the program under test is a Windows build (the environment
// variable QORVELIX_TEST_WINDOWS is 1): tests that need POSIX FIFOs or
// devices skip themselves then.
bool testing_windows_program();

// A bank image built from its parts: the header word, the table entries as
// (tone, start, end) and the bytes that follow the table.
struct EntrySpec {
    int tone;
    uint16_t start;
    uint16_t end;
};
Bytes make_bank(uint16_t header_word, const std::vector<EntrySpec>& entries, const Bytes& data);

// `count` bytes counting up from `seed`, so copied data is recognisable.
Bytes pattern_bytes(size_t count, unsigned seed);

// The banners of every run that gets past the argument check.
extern const char START_BANNER[];
extern const char FINISH_BANNER[];
// The usage text, as standard error shows it.
extern const char USAGE_TEXT[];

// A scratch directory for one test, removed when the test ends.
struct ScratchDir {
    std::string path;
    ScratchDir() : path(make_scratch_dir()) {}
    ~ScratchDir() {
        remove_tree(path);
    }
    std::string operator/(const std::string& name) const {
        return path + "/" + name;
    }
};

// What the standard output of a run that reached the finish banner holds,
// around `body`.
Bytes framed(const Bytes& body);

// The last line of a run that wrote OUT.PPC.
extern const char DONE_OUT[];

// Writes `list` to LIST.LXI in `dir` and runs "link LIST.LXI" there.
RunResult link_list(const ScratchDir& dir, const Bytes& list);

// Checks the exit status and both streams of a run.
void expect_run(const RunResult& r, int status, const Bytes& out, const Bytes& err);

// Makes a directory at `path` for a test that gives one where a file should
// be. Returns why such a test cannot run here, or an empty text when it can.
std::string make_directory_as_file(const std::string& path);
