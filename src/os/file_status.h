// What the program asks of a file's status, the same on every platform.
#pragma once

#include <cstdint>

enum FileKind {
    FILE_KIND_REGULAR,
    FILE_KIND_DIRECTORY,
    FILE_KIND_FIFO,
    FILE_KIND_CHAR_DEVICE,
    FILE_KIND_OTHER, // socket, block device, anything else
};

struct FileStatus {
    FileKind kind;
    int64_t size;
    unsigned mode;         // permission bits
    unsigned long owner;   // user and group ids, where the platform has them
    unsigned long group;
    uint64_t device;       // identity, where the platform has one
    uint64_t inode;
    int64_t modified;      // seconds
};

// Results of status_by_name.
constexpr int STATUS_OK = 0;
// No file of that name, or it cannot be reached.
constexpr int STATUS_NOT_FOUND = -1;
// The file is there but its status does not fit (a size past 64 bits).
constexpr int STATUS_OVERFLOW = -2;

// The status of the file `path` names, following symbolic links.
int status_by_name(const char* path, FileStatus* status);

// The status of the open file `fd`; false when it cannot be read.
bool status_of_open(int fd, FileStatus* status);

// Whether the file opened is the one measured by name: the same file,
// not one put in its place since.
bool same_file(const FileStatus& named, const FileStatus& opened);
