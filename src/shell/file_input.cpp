#include "file_input.h"

#include "console.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <sys/types.h>

#if !defined(_WIN32)
// Files of 2 GiB and more must be measured, and refused, as on a 64-bit
// system: a 32-bit build needs 64-bit file sizes.
static_assert(sizeof(off_t) >= 8, "64-bit file offsets (_FILE_OFFSET_BITS=64)");
#endif

namespace {

const char CTRL_Z = 0x1A;

enum OpenResult { OPEN_OK = 0, OPEN_NOT_FOUND = -1, OPEN_NO_STATUS = -2 };

// Opens `path` for raw reading and reads its size from the open file. A size
// of 2^31 bytes or more does not fit the signed 32-bit counts used
// everywhere, so it counts as a status that cannot be read.
int open_measured(const char* path, FILE** file, int32_t* size) {
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        return OPEN_NOT_FOUND;
    }
#if defined(_WIN32)
    struct _stat64 st;
    bool ok = _fstat64(_fileno(f), &st) == 0;
#else
    struct stat st;
    bool ok = fstat(fileno(f), &st) == 0;
#endif
    if (!ok || st.st_size < 0 || st.st_size > INT32_MAX) {
        std::fclose(f);
        return OPEN_NO_STATUS;
    }
    // Every read lands in a buffer of ours, so the stream needs none of its
    // own: reads then go straight to the file for exactly the bytes asked.
    std::setvbuf(f, nullptr, _IONBF, 0);
    *file = f;
    *size = static_cast<int32_t>(st.st_size);
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
    int opened = open_measured(path, &file, size);
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
// at one chunk (or the file's size, when smaller) and doubles as needed.
std::unique_ptr<char[]> read_list_text(const char* path) {
    FILE* file = nullptr;
    int32_t size = 0;
    if (open_measured(path, &file, &size) != OPEN_OK) {
        return nullptr;
    }
    size_t length = static_cast<size_t>(size);
    size_t capacity = length < LIST_CHUNK ? length : LIST_CHUNK;
    std::unique_ptr<char[]> text(zeroed_buffer<char>(capacity + 2));
    bool failed = !text;
    size_t got = 0;
    while (!failed && got < length) {
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
        bool ended =
            std::memchr(chunk, '\0', n) != nullptr || std::memchr(chunk, CTRL_Z, n) != nullptr;
        if (n < wanted || ended) {
            break;
        }
    }
    failed = failed || std::ferror(file) != 0;
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
    int opened = open_measured(path, &file, &size);
    if (opened != OPEN_OK) {
        return opened;
    }
    std::fclose(file);
    return size;
}
