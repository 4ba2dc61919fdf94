// Readers for every file the program takes in: whole binary files or a part
// of one, the tone list as text, and the size of a plain tone file.
#pragma once

#include <cstdint>
#include <memory>

// Every reader reads the status of `path` by name first and opens only a
// regular file (the list may also be a pipe, FIFO or character device); a
// directory, socket, FIFO or device in the place of a file is refused as a
// file whose status cannot be read, without being opened. The file opened
// must be the one measured.

// A file kept open to be read at any offset.
struct InputFile {
    int fd;
    int32_t size;
};

// Opens and measures the file at `path` into `file`: 0, or -1 after printing
// one line on standard error, "E [QORVELIX] Error, input file not found.
// [path]" when it cannot be found or opened, "E [QORVELIX] cannot get file
// status." when its status cannot be read or it is not a regular file.
int open_input(const char* path, InputFile* file);

// Reads exactly `count` bytes from byte `offset` of `file` into `dest`;
// false after printing "E [QORVELIX] File read error." when fewer arrive.
bool read_input(const InputFile& file, int64_t offset, unsigned char* dest, size_t count);

void close_input(InputFile* file);

// Opens and measures the file at `path` and reads the part from byte
// `offset` on, up to `count` bytes or the end of the file, whichever comes
// first, into `dest`. Returns the size of the whole file, which the caller
// compares against the part it needed; or -1 after printing one line on
// standard error: "E [QORVELIX] Error, input file not found. [path]" when it
// cannot be found or opened, "E [QORVELIX] cannot get file status." when its
// status cannot be read or it is not a regular file, "E [QORVELIX] File read
// error." when fewer bytes than that part arrive.
int32_t read_file_range(const char* path, int32_t offset, int32_t count, unsigned char* dest);

// The text of a list, in a buffer of the C library's (freed with free()).
struct FreeText {
    void operator()(char* text) const;
};
using ListText = std::unique_ptr<char[], FreeText>;

// Reads the list file at `path` as text: CR LF arrives as LF, a Ctrl-Z ends
// the text, and the text is followed by at least two zero bytes. Reading stops
// soon after the first zero byte or Ctrl-Z, where the list ends; up to there
// the buffer holds the file's text and zeros only, two bytes past what was
// read. A pipe, FIFO or character device, or a file that reports a size of
// 0, is read to its end, up to 2^31 - 1 bytes; a read interrupted by a
// signal goes on. Returns null on any failure; prints nothing.
ListText read_list_text(const char* path);

// Returns the size of the file at `path` without reading it: -1 when it
// cannot be found or opened, -2 when its status cannot be read or it is not a
// regular file. Prints nothing.
int32_t get_plain_size(const char* path);

// Turns raw list bytes into the text `read_list_text` delivers, in place:
// drops the CR of every CR LF pair and stops at a Ctrl-Z. Returns the length
// of the text.
size_t normalize_list_text(char* text, size_t length);
