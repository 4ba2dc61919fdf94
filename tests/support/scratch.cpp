#include "scratch.h"

#include "bank/bank_format.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
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

std::vector<std::string> program_command() {
    const char* custom = std::getenv("QORVELIX_TEST_COMMAND");
    std::vector<std::string> words;
    if (custom != nullptr && *custom != '\0') {
        std::istringstream in(custom);
        std::string w;
        while (in >> w) {
            words.push_back(w);
        }
    } else {
        words.push_back(QORVELIX_BINARY);
    }
    return words;
}

} // namespace

namespace {

// Writes `bytes` to `fd` and ends the process: the body of a writer.
[[noreturn]] void write_all_and_exit(int fd, const Bytes& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            _exit(1);
        }
        done += static_cast<size_t>(n);
    }
    _exit(0);
}

// Starts a process that writes `bytes` to `fd` and ends, killed after
// `seconds` if its reader never takes them.
pid_t start_writing(int fd, const Bytes& bytes, unsigned seconds) {
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGPIPE, SIG_DFL);
        alarm(seconds);
        write_all_and_exit(fd, bytes);
    }
    return pid;
}

// Runs the program with `input` on a pipe as its standard input (or
// /dev/null when `input` is null), killed after `seconds` unless 0.
RunResult run_program(const std::string& dir, const std::vector<std::string>& args,
                      const Bytes* input, unsigned seconds) {
    std::vector<std::string> words = program_command();
    words.insert(words.end(), args.begin(), args.end());
    // The captured streams live beside the scratch directory, not in it, so
    // the directory holds only what the program wrote.
    std::string out_path = dir + ".stdout";
    std::string err_path = dir + ".stderr";
    int pipe_ends[2] = {-1, -1};
    pid_t writer = -1;
    if (input != nullptr) {
        if (pipe(pipe_ends) != 0) {
            ADD_FAILURE() << "no pipe";
            return RunResult{-1, "", ""};
        }
        writer = start_writing(pipe_ends[1], *input, seconds);
        close(pipe_ends[1]);
    }
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = input != nullptr ? pipe_ends[0] : open("/dev/null", O_RDONLY);
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
        // The timer outlives exec: a run that waits forever is killed.
        alarm(seconds);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (input != nullptr) {
        close(pipe_ends[0]);
    }
    int raw = 0;
    waitpid(pid, &raw, 0);
    finish_writer(writer);
    RunResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = read_file(out_path);
    r.err = read_file(err_path);
    std::remove(out_path.c_str());
    std::remove(err_path.c_str());
    return r;
}

} // namespace

RunResult run_qorvelix(const std::string& dir, const std::vector<std::string>& args) {
    return run_program(dir, args, nullptr, 0);
}

RunResult run_qorvelix_piped(const std::string& dir, const std::vector<std::string>& args,
                             const Bytes& input, unsigned seconds) {
    return run_program(dir, args, &input, seconds);
}

int start_fifo_writer(const std::string& path, const Bytes& bytes, unsigned seconds) {
    if (mkfifo(path.c_str(), 0644) != 0) {
        ADD_FAILURE() << "cannot make the FIFO " << path;
        return -1;
    }
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGPIPE, SIG_DFL);
        alarm(seconds);
        int fd = open(path.c_str(), O_WRONLY);
        if (fd < 0) {
            _exit(1);
        }
        write_all_and_exit(fd, bytes);
    }
    return pid;
}

void finish_writer(int pid) {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

bool testing_windows_program() {
    const char* flag = std::getenv("QORVELIX_TEST_WINDOWS");
    return flag != nullptr && std::strcmp(flag, "1") == 0;
}

Bytes make_bank(uint16_t header_word, const std::vector<EntrySpec>& entries, const Bytes& data) {
    Bytes bank(BANK_HEADER_SIZE, '\0');
    auto* p = reinterpret_cast<unsigned char*>(bank.data());
    std::memcpy(p, BANK_MAGIC, BANK_MAGIC_SIZE);
    write_u16le(p + HEADER_WORD_OFFSET, header_word);
    for (const EntrySpec& e : entries) {
        write_u16le(p + TONE_TABLE_OFFSET + e.tone * TONE_ENTRY_SIZE, e.start);
        write_u16le(p + TONE_TABLE_OFFSET + e.tone * TONE_ENTRY_SIZE + 2, e.end);
    }
    return bank + data;
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
                          "                 view\n";

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
