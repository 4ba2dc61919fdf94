#include "file_input.h"

#include "console.h"
#include "file_status.h"
#include "platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

const char CTRL_Z = 0x1A;

enum OpenResult { OPEN_OK = 0, OPEN_NOT_FOUND = -1, OPEN_NO_STATUS = -2 };

// The size open_measured gives a pipe, FIFO or character device, which has
// none until it has been read to its end.
constexpr int32_t SIZE_UNKNOWN = -1;

bool is_stream(const FileStatus& st) {
    return st.kind == FILE_KIND_FIFO || st.kind == FILE_KIND_CHAR_DEVICE;
}

// Reads the status of `path` by name (following symbolic links) and opens it
// for raw reading only when it is a regular file, or, for a list
// (`stream_ok`), a pipe, FIFO or character device; anything else (a
// directory, socket, block device or, without `stream_ok`, any FIFO or
// device) counts as a status that cannot be read and is never opened, so
// nothing blocks. The open file must be the one measured. A size of 2^31
// bytes or more does not fit the signed 32-bit counts used everywhere, so it
// too counts as a status that cannot be read. A stream's size is
// SIZE_UNKNOWN, and so, for a list, is a regular file's of 0 bytes.
int open_measured(const char* path, bool stream_ok, int* file, int32_t* size) {
    FileStatus named;
    int found = status_by_name(path, &named);
    if (found != STATUS_OK) {
        return found == STATUS_OVERFLOW ? OPEN_NO_STATUS : OPEN_NOT_FOUND;
    }
    bool stream = stream_ok && is_stream(named);
    if (named.kind != FILE_KIND_REGULAR && !stream) {
        return OPEN_NO_STATUS;
    }
    int fd = open_for_reading(path, stream);
    if (fd < 0) {
        return OPEN_NOT_FOUND;
    }
    FileStatus opened;
    bool ok = status_of_open(fd, &opened) && same_file(named, opened);
    if (!ok || (!stream && (opened.size < 0 || opened.size > INT32_MAX))) {
        close_file(fd);
        return OPEN_NO_STATUS;
    }
    // Reads of the measured file wait for their bytes as usual.
    make_blocking(fd);
    *file = fd;
    // A list whose file reports no size may still hold text: read to its end.
    bool sizeless = stream_ok && opened.size == 0;
    *size = stream || sizeless ? SIZE_UNKNOWN : static_cast<int32_t>(opened.size);
    return OPEN_OK;
}

// Reads up to `count` bytes, in as many reads as it takes; returns how many
// arrived. A read error counts as the end: `failed` tells which it was.
size_t read_up_to(int fd, void* buffer, size_t count, bool* failed) {
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    size_t total = 0;
    while (total < count) {
        int64_t n = read_some(fd, bytes + total, count - total);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            *failed = true;
        }
        if (n <= 0) {
            break;
        }
        total += static_cast<size_t>(n);
    }
    return total;
}

// Opens and measures `path` for one of the reporting readers. On failure
// prints the reader's line on standard error and returns -1.
int open_reported(const char* path, int32_t* size) {
    int fd = -1;
    int opened = open_measured(path, false, &fd, size);
    if (opened == OPEN_NOT_FOUND) {
        err_printf("E [QORVELIX] Error, input file not found. [%s]\n", path);
        return -1;
    }
    if (opened == OPEN_NO_STATUS) {
        err_printf("E [QORVELIX] cannot get file status.\n");
        return -1;
    }
    return fd;
}

// Reads `count` bytes from byte `offset` of `file` into `dest` and closes the
// file. The bytes are in memory (or the read has failed) by then, so a failing
// close of an input file changes nothing. Returns false after printing the
// read error line when fewer bytes arrive.
bool read_and_close(int fd, int32_t offset, size_t count, unsigned char* dest) {
    bool failed = false;
    bool ok = offset == 0 || seek_to(fd, offset);
    ok = ok && read_up_to(fd, dest, count, &failed) == count;
    close_file(fd);
    if (!ok) {
        err_printf("E [QORVELIX] File read error.\n");
    }
    return ok;
}

// The list ends at its first zero byte or Ctrl-Z, so it is read in chunks and
// the read stops with the chunk that holds either: a binary file given as a
// list costs one chunk, not its whole size.
constexpr size_t LIST_CHUNK = 64 * 1024;

// Grows `text` to hold `capacity` bytes, in place where the C library can
// (a large block is moved by remapping its pages, not by copying them), so
// the peak stays near what has been read. False when memory is short.
bool grow_text(ListText& text, size_t capacity) {
    void* grown = std::realloc(text.get(), capacity);
    if (grown == nullptr) {
        return false;
    }
    text.release();
    text.reset(static_cast<char*>(grown));
    return true;
}

} // namespace

int32_t read_file_range(const char* path, int32_t offset, int32_t count, unsigned char* dest) {
    int32_t size = 0;
    int fd = open_reported(path, &size);
    if (fd < 0) {
        return -1;
    }
    int64_t available = offset < size ? int64_t{size} - offset : 0;
    int64_t wanted = count < available ? count : available;
    if (offset < 0 || wanted < 0) {
        wanted = 0;
    }
    if (!read_and_close(fd, wanted > 0 ? offset : 0, static_cast<size_t>(wanted), dest)) {
        return -1;
    }
    return size;
}

size_t normalize_list_text(char* text, size_t length) {
    size_t out = 0;
    for (size_t in = 0; in < length; in++) {
        char c = text[in];
        if (c == CTRL_Z) {
            break;
        }
        if (c == '\r' && in + 1 < length && text[in + 1] == '\n') {
            continue;
        }
        text[out++] = c;
    }
    return out;
}

void FreeText::operator()(char* text) const {
    std::free(text);
}

// The list is read as raw bytes and its line ends are handled here, so the
// text is the same whichever platform's C library reads it. The buffer
// starts at one chunk (or the file's size, when smaller) and grows by half
// as needed, up to the file's size. A pipe, FIFO or device, or a file that
// reports no size (as those of /proc and /sys do), is read to its end like a
// file of the largest size that fits, and refused as soon as it delivers
// more.
ListText read_list_text(const char* path) {
    int fd = -1;
    int32_t size = 0;
    if (open_measured(path, true, &fd, &size) != OPEN_OK) {
        return nullptr;
    }
    bool to_the_end = size == SIZE_UNKNOWN;
    size_t length = static_cast<size_t>(to_the_end ? INT32_MAX : size);
    size_t capacity = length < LIST_CHUNK ? length : LIST_CHUNK;
    ListText text;
    bool failed = !grow_text(text, capacity + 2);
    bool stopped = false;
    size_t got = 0;
    while (!failed && !stopped && got < length) {
        if (got == capacity) {
            size_t grown = capacity + capacity / 2;
            capacity = grown < length ? grown : length;
            if (!grow_text(text, capacity + 2)) {
                failed = true;
                break;
            }
        }
        size_t wanted = capacity - got < LIST_CHUNK ? capacity - got : LIST_CHUNK;
        char* chunk = text.get() + got;
        size_t n = read_up_to(fd, chunk, wanted, &failed);
        got += n;
        stopped = n < wanted || std::memchr(chunk, '\0', n) != nullptr ||
                  std::memchr(chunk, CTRL_Z, n) != nullptr;
    }
    char extra = 0;
    failed = failed || (to_the_end && !stopped && read_up_to(fd, &extra, 1, &failed) != 0);
    close_file(fd);
    if (failed) {
        return nullptr;
    }
    size_t kept = normalize_list_text(text.get(), got);
    std::memset(text.get() + kept, 0, got + 2 - kept);
    return text;
}

int32_t get_plain_size(const char* path) {
    int fd = -1;
    int32_t size = 0;
    int opened = open_measured(path, false, &fd, &size);
    if (opened != OPEN_OK) {
        return opened;
    }
    close_file(fd);
    return size;
}
