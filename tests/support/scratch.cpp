#include "scratch.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

std::string make_scratch_dir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/qorvelix-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    return std::string(buf.data());
}

void remove_tree(const std::string& dir) {
    nftw(
        dir.c_str(),
        [](const char* path, const struct stat*, int, struct FTW*) { return std::remove(path); },
        16, FTW_DEPTH | FTW_PHYS);
}

void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

Bytes read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool file_exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

std::vector<std::string> dir_entries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
                names.push_back(e->d_name);
            }
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool make_sparse_file(const std::string& path, int64_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
    return close(fd) == 0 && ok;
}

bool patch_file(const std::string& path, int64_t offset, const Bytes& bytes) {
    int fd = open(path.c_str(), O_WRONLY);
    if (fd < 0) {
        return false;
    }
    bool ok = pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) ==
              static_cast<ssize_t>(bytes.size());
    return close(fd) == 0 && ok;
}

namespace {

// Appends the words of `text`, separated by spaces, to `words`.
void add_words(std::vector<std::string>& words, const char* text) {
    std::istringstream in(text);
    std::string w;
    while (in >> w) {
        words.push_back(w);
    }
}

std::vector<std::string> program_command() {
    const char* custom = std::getenv("QORVELIX_TEST_COMMAND");
    std::vector<std::string> words;
    if (custom != nullptr && *custom != '\0') {
        add_words(words, custom);
    } else {
        // A cross build runs its program through the emulator.
        add_words(words, QORVELIX_EMULATOR);
        words.push_back(QORVELIX_BINARY);
    }
    return words;
}

} // namespace

// On 32-bit x86 the plain system call: there the child of the C library's
// fork hangs under qemu-user before it runs a line of ours. The children
// are single-threaded and need none of the library's bookkeeping after a
// fork.
pid_t fork_child() {
#if defined(__i386__)
    return static_cast<pid_t>(syscall(SYS_fork));
#else
    return fork();
#endif
}

namespace {

// How long a fed run and its writer may take before they are killed.
constexpr unsigned FED_RUN_SECONDS = 30;

// Starts a process that writes `bytes` to `fd`, or when `fd` is negative to
// the FIFO `fifo` opened for writing (which waits for its reader), and ends.
pid_t start_writer(int fd, const std::string& fifo, const Bytes& bytes) {
    pid_t pid = fork_child();
    if (pid != 0) {
        return pid;
    }
    signal(SIGPIPE, SIG_DFL);
    alarm(FED_RUN_SECONDS);
    fd = fd < 0 ? open(fifo.c_str(), O_WRONLY) : fd;
    for (size_t done = 0; fd >= 0 && done < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            _exit(1);
        }
        done += static_cast<size_t>(n);
    }
    _exit(fd < 0 ? 1 : 0);
}

// Runs the program with /dev/null as its standard input, or, when `input` is
// given, feeds it through a pipe on its standard input or the FIFO `fifo`
// made in `dir`, and kills it if it runs longer than FED_RUN_SECONDS. Standard
// output goes to `stdout_path` instead of being captured when one is given.
RunResult run_program(const std::string& dir, const std::vector<std::string>& args,
                      const Bytes* input, const std::string& fifo, const char* stdout_path) {
    std::vector<std::string> words = program_command();
    words.insert(words.end(), args.begin(), args.end());
    // The captured streams live beside the scratch directory, not in it, so
    // the directory holds only what the program wrote.
    std::string out_path = dir + ".stdout";
    std::string err_path = dir + ".stderr";
    int pipe_ends[2] = {-1, -1};
    pid_t writer = -1;
    if (input != nullptr && fifo.empty()) {
        EXPECT_EQ(pipe(pipe_ends), 0);
        writer = start_writer(pipe_ends[1], "", *input);
        close(pipe_ends[1]);
    } else if (input != nullptr) {
        EXPECT_EQ(mkfifo((dir + "/" + fifo).c_str(), 0644), 0);
        writer = start_writer(-1, dir + "/" + fifo, *input);
    }
    pid_t pid = fork_child();
    if (pid == 0) {
        int out = open(stdout_path != nullptr ? stdout_path : out_path.c_str(),
                       O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = pipe_ends[0] >= 0 ? pipe_ends[0] : open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || chdir(dir.c_str()) != 0) {
            _exit(127);
        }
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv;
        for (std::string& w : words) {
            argv.push_back(w.data());
        }
        argv.push_back(nullptr);
        // The timer outlives exec: a fed run that waits forever is killed.
        alarm(input != nullptr ? FED_RUN_SECONDS : 0);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipe_ends[0]);
    int raw = 0;
    waitpid(pid, &raw, 0);
    if (writer > 0) {
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
    }
    RunResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = read_file(out_path);
    r.err = read_file(err_path);
    std::remove(out_path.c_str());
    std::remove(err_path.c_str());
    return r;
}

} // namespace

RunResult run_qorvelix(const std::string& dir, const std::vector<std::string>& args,
                       const char* stdout_path) {
    return run_program(dir, args, nullptr, "", stdout_path);
}

RunResult run_qorvelix_fed(const std::string& dir, const std::vector<std::string>& args,
                           const Bytes& input, const std::string& fifo) {
    return run_program(dir, args, &input, fifo, nullptr);
}

bool testing_windows_program() {
    const char* flag = std::getenv("QORVELIX_TEST_WINDOWS");
    return flag != nullptr && std::strcmp(flag, "1") == 0;
}

Bytes pattern_bytes(size_t count, unsigned seed) {
    Bytes b(count, '\0');
    for (size_t i = 0; i < count; i++) {
        b[i] = static_cast<char>((seed + i * 7) & 0xFF);
    }
    return b;
}

const char START_BANNER[] = "- [QORVELIX] Start QORVELIX. =================================\n";
const char FINISH_BANNER[] = "- [QORVELIX] finish QORVELIX. ================================\n";
const char USAGE_TEXT[] = "\nQORVELIX PPC-Utility for QZ Ver.2.10a\n"
                          " usage : QORVELIX.exe operation filename.ext\n"
                          "     operation : link\n"
                          "                 view\n"
                          "                 split\n";

const char DONE_OUT[] = "  [LINK] done [OUT.PPC]\n";

Bytes framed(const Bytes& body) {
    return START_BANNER + body + FINISH_BANNER;
}

RunResult link_list(const ScratchDir& dir, const Bytes& list) {
    write_file(dir / "LIST.LXI", list);
    return run_qorvelix(dir.path, {"link", "LIST.LXI"});
}

void expect_run(const RunResult& r, int status, const Bytes& out, const Bytes& err) {
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, err);
}

std::string make_directory_as_file(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0) {
        ADD_FAILURE() << "cannot make the directory " << path;
        return "no directory";
    }
    return "";
}
