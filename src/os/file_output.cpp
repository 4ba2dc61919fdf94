#include "file_output.h"

#include "file_status.h"
#include "platform.h"
#include "process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

namespace {

// The new file while it exists, for the cleanup that removes it when the
// process is ended from outside.
std::string temp_path;
volatile std::sig_atomic_t temp_exists = 0;
volatile int temp_fd = -1;

// The permission bit that lets only the owners of a folder's files, or of
// the folder, rename or remove them.
constexpr unsigned STICKY_BIT = 01000;

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

// Where the last folder of `path` ends: the length of its folder part, the
// separator included (0 for a name alone).
size_t folder_length(const std::string& path) {
    size_t separator = path.find_last_of(PATH_SEPARATORS);
    return separator == std::string::npos ? 0 : separator + 1;
}

// Follows symbolic links from `name` to the name the bytes finally live
// under (which need not exist yet), so the link itself stays a link. False
// when a link on the way cannot be read.
bool final_target(const char* name, std::string* target) {
    std::string path = name;
    for (int hops = 0; hops < 40; hops++) {
        std::string to;
        int link = read_link(path.c_str(), &to);
        if (link < 0) {
            return false;
        }
        if (link == 0 || to.empty()) {
            break;
        }
        path = to[0] == '/' ? to : path.substr(0, folder_length(path)) + to;
    }
    *target = path;
    return true;
}

// The folder that holds `target`.
std::string folder_of(const std::string& target) {
    size_t length = folder_length(target);
    return length == 0 ? "." : length == 1 ? target.substr(0, 1) : target.substr(0, length - 1);
}

// Whether a new file in the folder of `target` could be renamed over it: in
// a folder with the sticky bit, only the owner of the folder or of the file
// replaced (or root) may. `old` is null for a new output.
bool rename_allowed(const std::string& target, const FileStatus* old) {
    long user = effective_user();
    FileStatus folder;
    if (user <= 0 || status_by_name(folder_of(target).c_str(), &folder) != STATUS_OK ||
        (folder.mode & STICKY_BIT) == 0) {
        return true;
    }
    unsigned long me = static_cast<unsigned long>(user);
    return folder.owner == me || old == nullptr || old->owner == me;
}

// Gives the new file the owner, group and permission bits of the one it
// replaces, as far as this process may (the group alone where the owner
// cannot be given away), or, with no file replaced, read and write for all
// less the umask. False when the file did not get them all.
bool set_owner_and_mode(int fd, const FileStatus* replaced) {
    if (replaced == nullptr) {
        return set_mode(fd, 0666 & ~creation_mask()) == 0;
    }
    const FileStatus& old = *replaced;
    bool kept = true;
    FileStatus now;
    if (!status_of_open(fd, &now)) {
        kept = false;
    } else if (now.owner != old.owner || now.group != old.group) {
        if (set_owner(fd, old.owner, old.group) != 0) {
            kept = false;
            if (now.group != old.group) {
                set_owner(fd, static_cast<unsigned long>(-1), old.group);
            }
        }
    }
    return set_mode(fd, old.mode) == 0 && kept;
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

// The name of a new file beside `target`: the target's own name, cut where
// the whole would be too long for the folder, a random part no other process
// can guess, and ".tmp", so a file left by a run that was killed shows
// which bank it was meant for.
std::string temp_name_for(const std::string& target) {
    static const char HEX[] = "0123456789abcdef";
    unsigned char random[6];
    random_bytes(random, sizeof random);
    std::string tail = ".";
    for (unsigned char byte : random) {
        tail += HEX[byte >> 4];
        tail += HEX[byte & 15];
    }
    tail += ".tmp";
    size_t folder = folder_length(target);
    std::string name = target.substr(folder);
    if (name.size() + tail.size() > NAME_MAX_BYTES) {
        name.resize(NAME_MAX_BYTES - tail.size());
    }
    return target.substr(0, folder) + name + tail;
}

// Creates a new file beside `target`. Returns its descriptor, or -1.
int create_temp(const std::string& target) {
    for (int attempt = 0; attempt < 100; attempt++) {
        std::string name = temp_name_for(target);
        begin_guard();
        temp_path = name;
        int fd = create_exclusive(temp_path.c_str());
        int error = errno;
        if (fd >= 0) {
            temp_fd = fd;
            temp_exists = 1;
        }
        end_guard();
        if (fd >= 0 || error != EEXIST) {
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

// Makes the rename durable. Not every file system lets a folder be synced
// (nor every platform: Windows and the browser among them), and a folder
// this user may not read cannot be opened for it; those refusals are
// answers, not faults. Any other failure is one.
bool sync_folder_of(const std::string& target) {
    int fd = open_folder(folder_of(target).c_str());
    if (fd < 0) {
        return true;
    }
    bool synced = sync_file(fd);
    int error = errno;
    close_file(fd);
#if defined(EOPNOTSUPP)
    bool unsupported = error == EOPNOTSUPP;
#else
    bool unsupported = false;
#endif
    return synced || unsupported || error == EINVAL || error == ENOTSUP || error == EROFS;
}

// Writes the bytes to a new file beside `target`, then puts it in place.
int write_and_rename(const std::string& target, const FileStatus* old, int fd,
                     const unsigned char* data, size_t size) {
    bool kept = set_owner_and_mode(fd, old);
    if (!write_all(fd, data, size) || !sync_file(fd)) {
        discard_temp(fd);
        return OUTPUT_WRITE_ERROR;
    }
    if (!close_temp(fd) || !finish_temp(target)) {
        discard_temp(-1);
        return OUTPUT_WRITE_ERROR;
    }
    if (!sync_folder_of(target)) {
        return OUTPUT_WRITE_ERROR;
    }
    return kept ? OUTPUT_OK : OUTPUT_NOT_KEPT;
}

// Writes a device or a FIFO, which cannot be replaced, as it is.
int write_in_place(int fd, const unsigned char* data, size_t size) {
    make_blocking(fd);
    bool ok = write_all(fd, data, size);
    bool closed = close_file(fd) == 0;
    return ok && closed ? OUTPUT_OK : OUTPUT_WRITE_ERROR;
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
            return write_in_place(fd, data, size);
        }
        close_file(fd);
        exists = true;
    } else if (errno != ENOENT) {
        return OUTPUT_CANNOT_OPEN;
    }

    // A name longer than a folder takes cannot be created, wherever the
    // system would only say so at the rename.
    std::string target;
    if (!final_target(name, &target) || target.size() - folder_length(target) > NAME_MAX_BYTES ||
        !rename_allowed(target, exists ? &old : nullptr)) {
        return OUTPUT_CANNOT_OPEN;
    }
    watch_for_ending(remove_temp_now);
    fd = create_temp(target);
    int result = fd >= 0 ? write_and_rename(target, exists ? &old : nullptr, fd, data, size)
                         : OUTPUT_CANNOT_OPEN;
    stop_watching();
    return result;
}
