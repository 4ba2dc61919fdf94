// File status and file primitives on Windows.
#include "file_status.h"
#include "platform.h"

#include <cerrno>
#include <cstdio>
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

const char PATH_SEPARATORS[] = "/\\";

namespace {

// Reads and writes are asked for at most this much at a time: the C
// runtime counts in unsigned int.
constexpr size_t IO_CHUNK = size_t{1} << 30;

FileKind kind_of(unsigned mode) {
    switch (mode & _S_IFMT) {
    case _S_IFREG:
        return FILE_KIND_REGULAR;
    case _S_IFDIR:
        return FILE_KIND_DIRECTORY;
    case _S_IFIFO:
        return FILE_KIND_FIFO;
    case _S_IFCHR:
        return FILE_KIND_CHAR_DEVICE;
    default:
        return FILE_KIND_OTHER;
    }
}

void fill_status(const struct _stat64& st, FileStatus* status) {
    status->kind = kind_of(st.st_mode);
    status->size = static_cast<int64_t>(st.st_size);
    status->mode = static_cast<unsigned>(st.st_mode & 0777);
    status->owner = 0;
    status->group = 0;
    status->device = 0;
    status->inode = 0;
    status->modified = static_cast<int64_t>(st.st_mtime);
}

} // namespace

// Device names such as NUL or CON may have no status by name; opening one
// never waits, and the status of the open device then tells what it is.
int status_by_name(const char* path, FileStatus* status) {
    struct _stat64 st;
    if (_stat64(path, &st) == 0) {
        fill_status(st, status);
        return STATUS_OK;
    }
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        return STATUS_NOT_FOUND;
    }
    bool ok = _fstat64(_fileno(f), &st) == 0;
    std::fclose(f);
    if (!ok) {
        return STATUS_NOT_FOUND;
    }
    fill_status(st, status);
    return STATUS_OK;
}

bool status_of_open(int fd, FileStatus* status) {
    struct _stat64 st;
    if (_fstat64(fd, &st) != 0) {
        return false;
    }
    fill_status(st, status);
    return true;
}

// No inode numbers here: a regular file is taken to be the one measured when
// its size and modification time are the same.
bool same_file(const FileStatus& named, const FileStatus& opened) {
    return named.kind == opened.kind &&
           (named.kind != FILE_KIND_REGULAR ||
            (named.size == opened.size && named.modified == opened.modified));
}

int open_for_reading(const char* path, bool) {
    return _open(path, _O_RDONLY | _O_BINARY);
}

void make_blocking(int) {}

int64_t read_some(int fd, void* buffer, size_t count) {
    return _read(fd, buffer, static_cast<unsigned>(count < IO_CHUNK ? count : IO_CHUNK));
}

bool seek_to(int fd, int64_t offset) {
    return _lseeki64(fd, offset, SEEK_SET) == offset;
}

int close_file(int fd) {
    return _close(fd);
}

int open_for_writing(const char* path) {
    return _open(path, _O_WRONLY | _O_BINARY);
}

int create_exclusive(const char* path) {
    return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}

int64_t write_some(int fd, const void* data, size_t count) {
    return _write(fd, data, static_cast<unsigned>(count < IO_CHUNK ? count : IO_CHUNK));
}

bool sync_file(int fd) {
    return _commit(fd) == 0;
}

// The replace-existing rename, not reported done before it is on the disk.
bool rename_over(const char* from, const char* to) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
        return true;
    }
    errno = EACCES;
    return false;
}

bool remove_file(const char* path) {
    return DeleteFileA(path) != 0;
}

bool make_folder(const char* path) {
    return _mkdir(path) == 0;
}

bool remove_folder(const char* path) {
    return RemoveDirectoryA(path) != 0;
}

// Names reach the file system as given; links are not followed here.
int read_link(const char*, std::string*) {
    return 0;
}

// The rename is written through already, and a folder cannot be opened as
// a file here.
int open_folder(const char*) {
    return -1;
}

// Windows files have no owner or permission bits to carry over.
int set_owner(int, unsigned long, unsigned long) {
    return 0;
}

int set_mode(int, unsigned) {
    return 0;
}
