#include "file_output.h"

#include "file_status.h"
#include "platform.h"
#include "process.h"

#include <cerrno>
#include <csignal>
#include <string>

namespace {

// The new file while it exists, for the cleanup that removes it when the
// process is ended from outside.
std::string temp_path;
volatile std::sig_atomic_t temp_exists = 0;
volatile int temp_fd = -1;

// Runs in a signal handler (or the console handler's thread, under the
// guard): closes and removes the new file if there is one.
void remove_temp_now() {
    if (temp_exists) {
        if (temp_fd >= 0) {
            close_file(temp_fd);
        }
        remove_file(temp_path.c_str());
    }
}

// Follows symbolic links from `name` to the name the bytes finally live
// under (which need not exist yet), so the link itself stays a link.
std::string final_target(const char* name) {
    std::string path = name;
    for (int hops = 0; hops < 40; hops++) {
        std::string to;
        if (read_link(path.c_str(), &to) != 1 || to.empty()) {
            break;
        }
        size_t slash = path.rfind('/');
        path = to[0] == '/' || slash == std::string::npos ? to : path.substr(0, slash + 1) + to;
    }
    return path;
}

// The folder that holds `target`.
std::string folder_of(const std::string& target) {
    size_t slash = target.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
}

// Gives the new file the owner, group and permission bits of the one it
// replaces, as far as this process may (the group alone where the owner
// cannot be given away), or, with no file replaced, read and write for all
// less the umask.
void set_owner_and_mode(int fd, const FileStatus* replaced) {
    if (replaced == nullptr) {
        set_mode(fd, 0666 & ~creation_mask());
        return;
    }
    const FileStatus& old = *replaced;
    FileStatus now;
    if (status_of_open(fd, &now) && (now.owner != old.owner || now.group != old.group)) {
        if (set_owner(fd, old.owner, old.group) != 0 && now.group != old.group) {
            set_owner(fd, static_cast<unsigned long>(-1), old.group);
        }
    }
    set_mode(fd, old.mode);
}

// Writes all `size` bytes, in as many writes as it takes.
bool write_all(int fd, const unsigned char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        int64_t n = write_some(fd, data + done, size - done);
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
        begin_guard();
        temp_path =
            target + "." + std::to_string(process_id()) + "-" + std::to_string(attempt) + ".tmp";
        int fd = create_exclusive(temp_path.c_str());
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
        remove_file(temp_path.c_str());
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
    bool renamed = rename_over(temp_path.c_str(), target.c_str());
    if (renamed) {
        temp_exists = 0;
    }
    end_guard();
    return renamed;
}

// Writes the bytes to a new file beside `target`, then puts it in place.
// Not every file system lets a folder be synced (nor every platform,
// WebAssembly among them); the bank is in place either way, so a refused
// folder sync is not a failure of the run.
int write_and_rename(const std::string& target, const FileStatus* old, int fd,
                     const unsigned char* data, size_t size) {
    set_owner_and_mode(fd, old);
    if (!write_all(fd, data, size) || !sync_file(fd)) {
        discard_temp(fd);
        return OUTPUT_WRITE_ERROR;
    }
    if (!close_temp(fd) || !finish_temp(target)) {
        discard_temp(-1);
        return OUTPUT_WRITE_ERROR;
    }
    sync_folder(folder_of(target).c_str());
    return OUTPUT_OK;
}

// Writes the output itself, where no new file can be made beside it: a new
// output is removed again if that fails.
int write_output_in_place(const char* name, bool exists, const unsigned char* data, size_t size) {
    int fd = create_or_truncate(name);
    if (fd < 0) {
        return OUTPUT_CANNOT_OPEN;
    }
    if (!exists) {
        set_owner_and_mode(fd, nullptr);
    }
    int result = write_in_place(fd, data, size, true);
    if (result != OUTPUT_OK && !exists) {
        remove_file(name);
    }
    return result;
}

} // namespace

int replace_file(const char* name, const unsigned char* data, size_t size) {
    // Opening the existing file for writing, without truncating it, is the
    // permission check a rename would otherwise bypass, and tells a regular
    // file from a device or a FIFO.
    FileStatus old;
    bool exists = false;
    int fd = open_for_writing(name);
    if (fd >= 0) {
        if (!status_of_open(fd, &old)) {
            close_file(fd);
            return OUTPUT_CANNOT_OPEN;
        }
        if (old.kind != FILE_KIND_REGULAR) {
            return write_in_place(fd, data, size, false);
        }
        close_file(fd);
        exists = true;
    } else if (errno != ENOENT) {
        return OUTPUT_CANNOT_OPEN;
    }

    std::string target = final_target(name);
    watch_for_ending(remove_temp_now);
    fd = create_temp(target);
    int result;
    if (fd >= 0) {
        result = write_and_rename(target, exists ? &old : nullptr, fd, data, size);
    } else if (errno == EACCES || errno == EPERM || errno == EROFS || errno == ENAMETOOLONG) {
        // No new file can be made there (or none with a longer name), but
        // the output itself may be.
        result = write_output_in_place(name, exists, data, size);
    } else {
        result = OUTPUT_CANNOT_OPEN;
    }
    stop_watching();
    return result;
}
