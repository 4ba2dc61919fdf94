#include "file_output.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

OutputFaultStep output_fault_step = OUTPUT_FAULT_NONE;

namespace {

// The new file while it exists, for the handlers that remove it when the
// process is ended from outside.
std::string temp_path;
volatile std::sig_atomic_t temp_exists = 0;
int temp_fd = -1;

#if defined(_WIN32)

using FileStatus = struct _stat64;
const int OPEN_BINARY = _O_BINARY;

int open_file(const char* name, int flags) {
    return _open(name, flags | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int status_of(int fd, FileStatus* st) {
    return _fstat64(fd, st);
}
int write_some(int fd, const unsigned char* data, size_t count) {
    const size_t chunk = 1 << 30;
    return _write(fd, data, static_cast<unsigned>(count < chunk ? count : chunk));
}
bool sync_file(int fd) {
    return _commit(fd) == 0;
}
int close_file(int fd) {
    return _close(fd);
}
unsigned long process_id() {
    return static_cast<unsigned long>(_getpid());
}
// The replace-existing rename, not reported done before it is on the disk.
bool rename_over(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
// Names reach the file system as given; links are not followed here.
std::string final_target(const char* name) {
    return name;
}
void sync_folder(const std::string&) {}
void set_owner_and_mode(int, const FileStatus*) {}

// The console handler runs on a thread of its own, so the new file is made,
// closed and removed under this lock.
CRITICAL_SECTION guard;

void begin_guard() {
    EnterCriticalSection(&guard);
}
void end_guard() {
    LeaveCriticalSection(&guard);
}

// Ctrl-C, Ctrl-Break and closing the console: the new file goes, then the
// default handler ends the process. The lock stays taken, so the main thread
// can neither rename nor report anything before the end.
BOOL WINAPI on_console_event(DWORD) {
    EnterCriticalSection(&guard);
    if (temp_exists) {
        if (temp_fd >= 0) {
            _close(temp_fd);
        }
        DeleteFileA(temp_path.c_str());
    }
    return FALSE;
}

void watch_for_ending() {
    static bool ready = false;
    if (!ready) {
        InitializeCriticalSection(&guard);
        ready = true;
    }
    SetConsoleCtrlHandler(on_console_event, TRUE);
}
void stop_watching() {
    SetConsoleCtrlHandler(on_console_event, FALSE);
}

#else

using FileStatus = struct stat;
const int OPEN_BINARY = 0;

// A new file starts readable by its owner alone; set_owner_and_mode opens
// it up before anything is written, so no other user can open it early and
// read a bank they may not.
int open_file(const char* name, int flags) {
    return open(name, flags, 0600);
}
int status_of(int fd, FileStatus* st) {
    return fstat(fd, st);
}
int write_some(int fd, const unsigned char* data, size_t count) {
    const size_t chunk = 1 << 30;
    return static_cast<int>(write(fd, data, count < chunk ? count : chunk));
}
bool sync_file(int fd) {
    return fsync(fd) == 0;
}
int close_file(int fd) {
    return close(fd);
}
unsigned long process_id() {
    return static_cast<unsigned long>(getpid());
}
bool rename_over(const char* from, const char* to) {
    return rename(from, to) == 0;
}

// Follows symbolic links from `name` to the name the bytes finally live
// under (which need not exist yet), so the link itself stays a link.
std::string final_target(const char* name) {
    std::string path = name;
    std::vector<char> buffer(4096);
    for (int hops = 0; hops < 40; hops++) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            break;
        }
        if (static_cast<size_t>(st.st_size) >= buffer.size()) {
            buffer.resize(static_cast<size_t>(st.st_size) + 1);
        }
        ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0 || static_cast<size_t>(n) >= buffer.size()) {
            break;
        }
        std::string to(buffer.data(), static_cast<size_t>(n));
        size_t slash = path.rfind('/');
        path = to[0] == '/' || slash == std::string::npos ? to : path.substr(0, slash + 1) + to;
    }
    return path;
}

// Makes the rename itself durable. Not every file system lets a folder be
// synced (nor every platform, WebAssembly among them); the bank is in place
// either way, so a refusal here is not a failure of the run.
void sync_folder(const std::string& target) {
    size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? "."
                         : slash == 0               ? "/"
                                                    : target.substr(0, slash);
    int fd = open(folder.c_str(), O_RDONLY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// Gives the new file the owner, group and permission bits of the one it
// replaces, as far as this process may (the group alone where the owner
// cannot be given away), or, with no file replaced, read and write for all
// less the umask.
void set_owner_and_mode(int fd, const FileStatus* replaced) {
    if (replaced == nullptr) {
#if defined(__EMSCRIPTEN__)
        // The in-memory file system of the browser build has no umask of
        // its own (it reports 0777), and no other users to keep out.
        mode_t mask = 0;
#else
        mode_t mask = umask(0);
        umask(mask);
#endif
        fchmod(fd, 0666 & ~mask);
        return;
    }
    const FileStatus& old = *replaced;
    struct stat now;
    if (fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0 && now.st_gid != old.st_gid) {
            (void)!fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        }
    }
    fchmod(fd, old.st_mode & 07777);
}

const int ENDING_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous_actions[3];

// The new file is made, renamed and removed with the ending signals held
// back, so a handler never sees it half made or already renamed.
void mask_ending_signals(int how) {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : ENDING_SIGNALS) {
        sigaddset(&set, sig);
    }
    sigprocmask(how, &set, nullptr);
}
void begin_guard() {
    mask_ending_signals(SIG_BLOCK);
}
void end_guard() {
    mask_ending_signals(SIG_UNBLOCK);
}

// Removes the new file, then ends the process as the signal would have:
// the signal is raised again with its default action, and arrives as soon
// as this handler returns.
extern "C" void on_ending_signal(int sig) {
    if (temp_exists) {
        unlink(temp_path.c_str());
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

// Signals this process was started ignoring stay ignored.
void watch_for_ending() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = on_ending_signal;
    sigemptyset(&action.sa_mask);
    for (int sig : ENDING_SIGNALS) {
        sigaddset(&action.sa_mask, sig);
    }
    for (int i = 0; i < 3; i++) {
        sigaction(ENDING_SIGNALS[i], nullptr, &previous_actions[i]);
        if (previous_actions[i].sa_handler != SIG_IGN) {
            sigaction(ENDING_SIGNALS[i], &action, nullptr);
        }
    }
}
void stop_watching() {
    for (int i = 0; i < 3; i++) {
        sigaction(ENDING_SIGNALS[i], &previous_actions[i], nullptr);
    }
}

#endif

// Writes all `size` bytes, in as many writes as it takes.
bool write_all(int fd, const unsigned char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        int n = write_some(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes into a file already open, as the output always was written.
int write_in_place(int fd, const unsigned char* data, size_t size, bool sync) {
    bool ok = write_all(fd, data, size) && (!sync || sync_file(fd));
    bool closed = close_file(fd) == 0;
    return ok && closed ? OUTPUT_OK : OUTPUT_WRITE_ERROR;
}

// Creates a new file beside `target` whose name begins with the target's.
// Returns its descriptor, or -1 with errno set.
int create_temp(const std::string& target) {
    for (int attempt = 0; attempt < 100; attempt++) {
        temp_path =
            target + "." + std::to_string(process_id()) + "-" + std::to_string(attempt) + ".tmp";
        begin_guard();
        int fd = open_file(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | OPEN_BINARY);
        int error = errno;
        if (fd >= 0) {
            temp_fd = fd;
            temp_exists = 1;
        }
        end_guard();
        if (fd >= 0 || error != EEXIST) {
            errno = error;
            return fd;
        }
    }
    return -1;
}

// Closes the new file (a no-op when `fd` is -1) and removes it, if it still
// exists.
void discard_temp(int fd) {
    begin_guard();
    if (fd >= 0) {
        close_file(fd);
    }
    if (temp_exists) {
        std::remove(temp_path.c_str());
        temp_exists = 0;
    }
    temp_fd = -1;
    end_guard();
}

// Closes the new file, ready for the rename; false if the close failed.
bool close_temp(int fd) {
    begin_guard();
    bool closed = close_file(fd) == 0;
    temp_fd = -1;
    end_guard();
    return closed;
}

// The new file has been written and synced; renames it over `target`.
bool finish_temp(const std::string& target) {
    begin_guard();
    bool renamed =
        output_fault_step != OUTPUT_FAULT_RENAME && rename_over(temp_path.c_str(), target.c_str());
    if (renamed) {
        temp_exists = 0;
    }
    end_guard();
    return renamed;
}

// Writes the bytes to a new file beside `target`, then puts it in place.
int write_and_rename(const std::string& target, const FileStatus* old, int fd,
                     const unsigned char* data, size_t size) {
    set_owner_and_mode(fd, old);
    size_t half = output_fault_step == OUTPUT_FAULT_WRITE ? size / 2 : size;
    bool ok = write_all(fd, data, half) && output_fault_step != OUTPUT_FAULT_WRITE &&
              output_fault_step != OUTPUT_FAULT_SYNC && sync_file(fd);
    if (!ok) {
        discard_temp(fd);
        return OUTPUT_WRITE_ERROR;
    }
    if (!close_temp(fd) || !finish_temp(target)) {
        discard_temp(-1);
        return OUTPUT_WRITE_ERROR;
    }
    sync_folder(target);
    return OUTPUT_OK;
}

} // namespace

int replace_file(const char* name, const unsigned char* data, size_t size) {
    // Opening the existing file for writing, without truncating it, is the
    // permission check a rename would otherwise bypass, and tells a regular
    // file from a device or a FIFO.
    FileStatus old;
    bool exists = false;
    int fd = open_file(name, O_WRONLY | OPEN_BINARY);
    if (fd >= 0) {
        if (status_of(fd, &old) != 0) {
            close_file(fd);
            return OUTPUT_CANNOT_OPEN;
        }
        if ((old.st_mode & S_IFMT) != S_IFREG) {
            return write_in_place(fd, data, size, false);
        }
        close_file(fd);
        exists = true;
    } else if (errno != ENOENT) {
        return OUTPUT_CANNOT_OPEN;
    }

    std::string target = final_target(name);
    watch_for_ending();
    fd = create_temp(target);
    int result;
    if (fd >= 0) {
        result = write_and_rename(target, exists ? &old : nullptr, fd, data, size);
    } else if (errno == EACCES || errno == EPERM || errno == EROFS || errno == ENAMETOOLONG) {
        // No new file can be made there (or none with a longer name), but
        // the output itself may be: written in place, a new one removed
        // again if that fails.
        fd = open_file(name, O_WRONLY | O_CREAT | O_TRUNC | OPEN_BINARY);
        if (fd < 0) {
            result = OUTPUT_CANNOT_OPEN;
        } else {
            if (!exists) {
                set_owner_and_mode(fd, nullptr);
            }
            result = write_in_place(fd, data, size, true);
            if (result != OUTPUT_OK && !exists) {
                std::remove(name);
            }
        }
    } else {
        result = OUTPUT_CANNOT_OPEN;
    }
    stop_watching();
    return result;
}
