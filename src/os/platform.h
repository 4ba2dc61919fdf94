// The file primitives the portable readers and writers of os/ are built on,
// one implementation per platform (platform_posix.cpp, platform_win32.cpp).
// Each is a thin call of the system: every decision about what a result
// means is made by the portable code, so a test build can put a primitive
// that fails on purpose in the place of one of these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The characters that separate the folders of a path.
extern const char PATH_SEPARATORS[];

// The longest name of one file in a folder, in bytes.
constexpr size_t NAME_MAX_BYTES = 255;

// Opens `path` for reading raw bytes; a descriptor, or -1 with errno set.
// Unless the caller may wait, the open does not block (a FIFO put in the
// place of a measured file cannot hold the run).
int open_for_reading(const char* path, bool may_wait);

// Reads of `fd` wait for their bytes again after a non-blocking open.
void make_blocking(int fd);

// One read of up to `count` bytes: how many arrived (0 at the end), or -1
// with errno set.
int64_t read_some(int fd, void* buffer, size_t count);

// Moves the file position of `fd` to `offset`; false on failure.
bool seek_to(int fd, int64_t offset);

// Closes `fd`: 0, or -1 with errno set.
int close_file(int fd);

// Opens an existing file for writing without truncating or creating it,
// and without waiting (a FIFO with no reader is refused at once); a
// descriptor, or -1 with errno set.
int open_for_writing(const char* path);

// Creates `path`, which must not exist yet, for writing, readable by its
// owner alone; a descriptor, or -1 with errno set.
int create_exclusive(const char* path);

// One write of up to `count` bytes: how many were written, or -1 with errno
// set.
int64_t write_some(int fd, const void* data, size_t count);

// Puts what was written to `fd` on the disk; false on failure.
bool sync_file(int fd);

// Renames `from` to `to`, replacing `to`; false with errno set on failure.
bool rename_over(const char* from, const char* to);

// Removes the file `path`; false on failure.
bool remove_file(const char* path);

// Makes the folder `path`, readable, writable and searchable by all less
// the umask; false with errno set on failure.
bool make_folder(const char* path);

// Removes the empty folder `path`; false on failure.
bool remove_folder(const char* path);

// Where the symbolic link `path` points: 1 with `to` set when `path` is a
// link, 0 when it is not (or does not exist), -1 with errno set when that
// cannot be told.
int read_link(const char* path, std::string* to);

// Opens the folder `folder` so that it can be synced; a descriptor, or -1
// where that cannot be done.
int open_folder(const char* folder);

// Gives `fd` the owner and group given (-1 keeps one as it is): 0, or -1.
int set_owner(int fd, unsigned long owner, unsigned long group);

// Gives `fd` the permission bits `mode`: 0, or -1.
int set_mode(int fd, unsigned mode);
