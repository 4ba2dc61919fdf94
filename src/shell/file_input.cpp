#include "file_input.h"

#include "console.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <sys/stat.h>
#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

// Files of 2 GiB and more must be measured, and refused, as on a 64-bit
// system: a 32-bit build needs 64-bit file sizes.
static_assert(sizeof(off_t) >= 8, "64-bit file offsets (_FILE_OFFSET_BITS=64)");
#endif

namespace {

const char CTRL_Z = 0x1A;

enum OpenResult { OPEN_OK = 0, OPEN_NOT_FOUND = -1, OPEN_NO_STATUS = -2 };

// The size open_measured gives a pipe, FIFO or character device, which has
// none until it has been read to its end.
constexpr int32_t SIZE_UNKNOWN = -1;

#if defined(_WIN32)
using FileStatus = struct _stat64;

// Device names such as NUL or CON may have no status by name; opening one
// never waits, and the status of the open device then tells what it is.
bool status_by_name(const char* path, FileStatus* st) {
    if (_stat64(path, st) == 0) {
        return true;
    }
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        return false;
    }
    bool ok = _fstat64(_fileno(f), st) == 0;
    std::fclose(f);
    return ok;
}

bool status_of_open(FILE* file, FileStatus* st) {
    return _fstat64(_fileno(file), st) == 0;
}

unsigned file_kind(const FileStatus& st) {
    return st.st_mode & _S_IFMT;
}

bool is_regular(const FileStatus& st) {
    return file_kind(st) == _S_IFREG;
}

bool is_stream(const FileStatus& st) {
    return file_kind(st) == _S_IFIFO || file_kind(st) == _S_IFCHR;
}

// No inode numbers here: a regular file is taken to be the one measured when
// its size and modification time are the same.
bool same_file(const FileStatus& named, const FileStatus& opened) {
    return file_kind(named) == file_kind(opened) &&
           (!is_regular(named) ||
            (named.st_size == opened.st_size && named.st_mtime == opened.st_mtime));
}

FILE* open_for_reading(const char* path, bool may_wait) {
    (void)may_wait;
    return std::fopen(path, "rb");
}
#else
using FileStatus = struct stat;

bool status_by_name(const char* path, FileStatus* st) {
    return stat(path, st) == 0;
}

bool status_of_open(FILE* file, FileStatus* st) {
    return fstat(fileno(file), st) == 0;
}

bool is_regular(const FileStatus& st) {
    return S_ISREG(st.st_mode);
}

bool is_stream(const FileStatus& st) {
    return S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode);
}

bool same_file(const FileStatus& named, const FileStatus& opened) {
    return named.st_dev == opened.st_dev && named.st_ino == opened.st_ino &&
           (named.st_mode & S_IFMT) == (opened.st_mode & S_IFMT);
}

// Unless the caller may wait, the file is opened without blocking, so that a
// FIFO put in its place since it was measured cannot hold the run in open;
// the check of the open file then refuses it.
FILE* open_for_reading(const char* path, bool may_wait) {
    int fd = open(path, O_RDONLY | O_NOCTTY | (may_wait ? 0 : O_NONBLOCK));
    if (fd < 0) {
        return nullptr;
    }
    FILE* file = fdopen(fd, "rb");
    if (file == nullptr) {
        close(fd);
    }
    return file;
}
#endif

// Reads the status of `path` by name (following symbolic links) and opens it
// for raw reading only when it is a regular file, or, for a list
// (`stream_ok`), a pipe, FIFO or character device; anything else (a
// directory, socket, block device or, without `stream_ok`, any FIFO or
// device) counts as a status that cannot be read and is never opened, so
// nothing blocks. The open file must be the one measured. A size of 2^31
// bytes or more does not fit the signed 32-bit counts used everywhere, so it
// too counts as a status that cannot be read. A stream's size is
// SIZE_UNKNOWN.
int open_measured(const char* path, bool stream_ok, FILE** file, int32_t* size) {
    FileStatus named;
    if (!status_by_name(path, &named)) {
        return errno == EOVERFLOW ? OPEN_NO_STATUS : OPEN_NOT_FOUND;
    }
    bool stream = stream_ok && is_stream(named);
    if (!is_regular(named) && !stream) {
        return OPEN_NO_STATUS;
    }
    FILE* f = open_for_reading(path, stream);
    if (f == nullptr) {
        return OPEN_NOT_FOUND;
    }
    FileStatus opened;
    bool ok = status_of_open(f, &opened) && same_file(named, opened);
    if (!ok || (!stream && (opened.st_size < 0 || opened.st_size > INT32_MAX))) {
        std::fclose(f);
        return OPEN_NO_STATUS;
    }
#if !defined(_WIN32)
    // Reads of the measured file wait for their bytes as usual.
    fcntl(fileno(f), F_SETFL, fcntl(fileno(f), F_GETFL) & ~O_NONBLOCK);
#endif
    // Every read lands in a buffer of ours, so the stream needs none of its
    // own: reads then go straight to the file for exactly the bytes asked.
    std::setvbuf(f, nullptr, _IONBF, 0);
    *file = f;
    *size = stream ? SIZE_UNKNOWN : static_cast<int32_t>(opened.st_size);
    return OPEN_OK;
}

// Reads up to `count` bytes, in as many reads as it takes; returns how many
// arrived.
size_t read_up_to(FILE* file, void* buffer, size_t count) {
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    size_t total = 0;
    while (total < count) {
        size_t n = std::fread(bytes + total, 1, count - total, file);
        if (n == 0) {
            break;
        }
        total += n;
    }
    return total;
}

// A zero-filled buffer of `length` bytes, or null when memory is short.
template <typename Byte> Byte* zeroed_buffer(size_t length) {
    return new (std::nothrow) Byte[length]();
}

// Opens and measures `path` for one of the reporting readers. On failure
// prints the reader's line on standard error and returns null.
FILE* open_reported(const char* path, int32_t* size) {
    FILE* file = nullptr;
    int opened = open_measured(path, false, &file, size);
    if (opened == OPEN_NOT_FOUND) {
        err_printf(stderr, "E [QORVELIX] Error, input file not found. [%s]\n", path);
        return nullptr;
    }
    if (opened == OPEN_NO_STATUS) {
        err_printf(stderr, "E [QORVELIX] cannot get file status.\n");
        return nullptr;
    }
    return file;
}

// Reads `count` bytes from byte `offset` of `file` into `dest` and closes the
// file. The bytes are in memory (or the read has failed) by then, so a failing
// close of an input file changes nothing. Returns false after printing the
// read error line when fewer bytes arrive.
bool read_and_close(FILE* file, int32_t offset, size_t count, unsigned char* dest) {
    bool ok = offset == 0 || std::fseek(file, long{offset}, SEEK_SET) == 0;
    ok = ok && read_up_to(file, dest, count) == count;
    std::fclose(file);
    if (!ok) {
        err_printf(stderr, "E [QORVELIX] File read error.\n");
    }
    return ok;
}

// The list ends at its first zero byte or Ctrl-Z, so it is read in chunks and
// the read stops with the chunk that holds either: a binary file given as a
// list costs one chunk, not its whole size.
constexpr size_t LIST_CHUNK = 64 * 1024;

} // namespace

int32_t read_whole_file(const char* path, std::unique_ptr<unsigned char[]>& data) {
    int32_t size = 0;
    FILE* file = open_reported(path, &size);
    if (file == nullptr) {
        return -1;
    }
    std::unique_ptr<unsigned char[]> buffer(
        zeroed_buffer<unsigned char>(static_cast<size_t>(size) + 1));
    if (!buffer) {
        err_printf(stderr, "E [QORVELIX] not enough memory. [%s]\n", path);
        std::fclose(file);
        return -1;
    }
    if (!read_and_close(file, 0, static_cast<size_t>(size), buffer.get())) {
        return -1;
    }
    data = std::move(buffer);
    return size;
}

int32_t read_file_range(const char* path, int32_t offset, int32_t count, unsigned char* dest) {
    int32_t size = 0;
    FILE* file = open_reported(path, &size);
    if (file == nullptr) {
        return -1;
    }
    int64_t available = offset < size ? int64_t{size} - offset : 0;
    int64_t wanted = count < available ? count : available;
    if (offset < 0 || wanted < 0) {
        wanted = 0;
    }
    if (!read_and_close(file, wanted > 0 ? offset : 0, static_cast<size_t>(wanted), dest)) {
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

// The list is read as raw bytes and its line ends are handled here, so the
// text is the same whichever platform's C library reads it. The buffer starts
// at one chunk (or the file's size, when smaller) and doubles as needed. A
// pipe, FIFO or device is read to its end like a file of the largest size
// that fits; one that delivers more than that is refused.
std::unique_ptr<char[]> read_list_text(const char* path) {
    FILE* file = nullptr;
    int32_t size = 0;
    if (open_measured(path, true, &file, &size) != OPEN_OK) {
        return nullptr;
    }
    bool stream = size == SIZE_UNKNOWN;
    size_t length = static_cast<size_t>(stream ? INT32_MAX : size);
    size_t capacity = length < LIST_CHUNK ? length : LIST_CHUNK;
    std::unique_ptr<char[]> text(zeroed_buffer<char>(capacity + 2));
    bool failed = !text;
    bool stopped = false;
    size_t got = 0;
    while (!failed && !stopped && got < length) {
        if (got == capacity) {
            size_t grown = length - capacity < capacity ? length : capacity * 2;
            std::unique_ptr<char[]> bigger(zeroed_buffer<char>(grown + 2));
            if (!bigger) {
                failed = true;
                break;
            }
            std::memcpy(bigger.get(), text.get(), got);
            text = std::move(bigger);
            capacity = grown;
        }
        size_t wanted = capacity - got < LIST_CHUNK ? capacity - got : LIST_CHUNK;
        char* chunk = text.get() + got;
        size_t n = read_up_to(file, chunk, wanted);
        got += n;
        stopped = n < wanted || std::memchr(chunk, '\0', n) != nullptr ||
                  std::memchr(chunk, CTRL_Z, n) != nullptr;
    }
    char extra = 0;
    failed = failed || std::ferror(file) != 0 ||
             (stream && !stopped && read_up_to(file, &extra, 1) != 0);
    std::fclose(file);
    if (failed) {
        return nullptr;
    }
    size_t kept = normalize_list_text(text.get(), got);
    std::memset(text.get() + kept, 0, capacity + 2 - kept);
    return text;
}

int32_t get_plain_size(const char* path) {
    FILE* file = nullptr;
    int32_t size = 0;
    int opened = open_measured(path, false, &file, &size);
    if (opened != OPEN_OK) {
        return opened;
    }
    std::fclose(file);
    return size;
}
