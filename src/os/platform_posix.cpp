// File status and file primitives on POSIX systems (Linux, and the
// browser's in-memory file system).
#include "file_status.h"
#include "platform.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

// Files of 2 GiB and more must be measured, and refused, as on a 64-bit
// system: a 32-bit build needs 64-bit file sizes.
static_assert(sizeof(off_t) >= 8, "64-bit file offsets (_FILE_OFFSET_BITS=64)");

const char PATH_SEPARATORS[] = "/";

namespace {

// Reads are asked for at most this much at a time.
constexpr size_t IO_CHUNK = size_t{1} << 30;

FileKind kind_of(mode_t mode) {
    if (S_ISREG(mode)) {
        return FILE_KIND_REGULAR;
    }
    if (S_ISDIR(mode)) {
        return FILE_KIND_DIRECTORY;
    }
    if (S_ISFIFO(mode)) {
        return FILE_KIND_FIFO;
    }
    if (S_ISCHR(mode)) {
        return FILE_KIND_CHAR_DEVICE;
    }
    return FILE_KIND_OTHER;
}

void fill_status(const struct stat& st, FileStatus* status) {
    status->kind = kind_of(st.st_mode);
    status->size = static_cast<int64_t>(st.st_size);
    status->mode = static_cast<unsigned>(st.st_mode & 07777);
    status->owner = static_cast<unsigned long>(st.st_uid);
    status->group = static_cast<unsigned long>(st.st_gid);
    status->device = static_cast<uint64_t>(st.st_dev);
    status->inode = static_cast<uint64_t>(st.st_ino);
    status->modified = static_cast<int64_t>(st.st_mtime);
}

} // namespace

int status_by_name(const char* path, FileStatus* status) {
    struct stat st;
    if (stat(path, &st) != 0) {
        return errno == EOVERFLOW ? STATUS_OVERFLOW : STATUS_NOT_FOUND;
    }
    fill_status(st, status);
    return STATUS_OK;
}

bool status_of_open(int fd, FileStatus* status) {
    struct stat st;
    if (fstat(fd, &st) != 0) {
        return false;
    }
    fill_status(st, status);
    return true;
}

bool same_file(const FileStatus& named, const FileStatus& opened) {
    return named.device == opened.device && named.inode == opened.inode &&
           named.kind == opened.kind;
}

int open_for_reading(const char* path, bool may_wait) {
    return open(path, O_RDONLY | O_NOCTTY | (may_wait ? 0 : O_NONBLOCK));
}

void make_blocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
}

int64_t read_some(int fd, void* buffer, size_t count) {
    return read(fd, buffer, count < IO_CHUNK ? count : IO_CHUNK);
}

bool seek_to(int fd, int64_t offset) {
    return lseek(fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

int close_file(int fd) {
    return close(fd);
}

int open_for_writing(const char* path) {
    return open(path, O_WRONLY | O_NOCTTY | O_NONBLOCK);
}

// A new file starts readable by its owner alone; the writer opens it up
// before anything is written, so no other user can open it early and read a
// bank they may not.
int create_exclusive(const char* path) {
    return open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY, 0600);
}

int64_t write_some(int fd, const void* data, size_t count) {
    return write(fd, data, count < IO_CHUNK ? count : IO_CHUNK);
}

bool sync_file(int fd) {
    return fsync(fd) == 0;
}

bool rename_over(const char* from, const char* to) {
    return rename(from, to) == 0;
}

bool remove_file(const char* path) {
    return unlink(path) == 0;
}

bool make_folder(const char* path) {
    return mkdir(path, 0777) == 0;
}

bool remove_folder(const char* path) {
    return rmdir(path) == 0;
}

int read_link(const char* path, std::string* to) {
    struct stat st;
    if (lstat(path, &st) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? 0 : -1;
    }
    if (!S_ISLNK(st.st_mode)) {
        return 0;
    }
    // A link's size is the length of its text, but some file systems report
    // 0: the buffer grows until the text fits.
    std::vector<char> buffer(st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 256);
    for (;;) {
        ssize_t n = readlink(path, buffer.data(), buffer.size());
        if (n < 0) {
            return -1;
        }
        if (static_cast<size_t>(n) < buffer.size()) {
            to->assign(buffer.data(), static_cast<size_t>(n));
            return 1;
        }
        buffer.resize(buffer.size() * 2);
    }
}

int open_folder(const char* folder) {
    return open(folder, O_RDONLY | O_DIRECTORY);
}

int set_owner(int fd, unsigned long owner, unsigned long group) {
    return fchown(fd, static_cast<uid_t>(owner), static_cast<gid_t>(group));
}

int set_mode(int fd, unsigned mode) {
    return fchmod(fd, static_cast<mode_t>(mode));
}
