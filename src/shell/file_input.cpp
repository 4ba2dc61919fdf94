#include "file_input.h"

#include "console.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <sys/stat.h>

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

} // namespace

int32_t read_whole_file(const char* path, std::unique_ptr<unsigned char[]>& data) {
    FILE* file = nullptr;
    int32_t size = 0;
    int opened = open_measured(path, &file, &size);
    if (opened == OPEN_NOT_FOUND) {
        err_printf(stderr, "E [QORVELIX] Error, input file not found. [%s]\n", path);
        return -1;
    }
    if (opened == OPEN_NO_STATUS) {
        err_printf(stderr, "E [QORVELIX] cannot get file status.\n");
        return -1;
    }
    std::unique_ptr<unsigned char[]> buffer(
        zeroed_buffer<unsigned char>(static_cast<size_t>(size) + 1));
    if (!buffer) {
        err_printf(stderr, "E [QORVELIX] not enough memory. [%s]\n", path);
        std::fclose(file);
        return -1;
    }
    size_t got = read_up_to(file, buffer.get(), static_cast<size_t>(size));
    // The bytes are in memory (or the read has failed) by now, so a failing
    // close of an input file changes nothing.
    std::fclose(file);
    if (got < static_cast<size_t>(size)) {
        err_printf(stderr, "E [QORVELIX] File read error.\n");
        return -1;
    }
    data = std::move(buffer);
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
// text is the same whichever platform's C library reads it.
std::unique_ptr<char[]> read_list_text(const char* path) {
    FILE* file = nullptr;
    int32_t size = 0;
    if (open_measured(path, &file, &size) != OPEN_OK) {
        return nullptr;
    }
    size_t length = static_cast<size_t>(size);
    std::unique_ptr<char[]> text(zeroed_buffer<char>(length + 2));
    if (!text) {
        std::fclose(file);
        return nullptr;
    }
    size_t got = read_up_to(file, text.get(), length);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        return nullptr;
    }
    size_t kept = normalize_list_text(text.get(), got);
    std::memset(text.get() + kept, 0, length + 2 - kept);
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
