#include "output_common.h"

#include "platform.h"
#include "process.h"

#include <cerrno>
#include <chrono>
#include <cstdint>

namespace {

// Random bytes for a new name: the system's, or, should it have none to
// give, the clock, the process id and a count, which still differ from name
// to name and run to run.
void name_bytes(unsigned char* out, size_t count) {
    if (random_bytes(out, count)) {
        return;
    }
    static uint64_t counter = 0;
    uint64_t mix = static_cast<uint64_t>(
                       std::chrono::high_resolution_clock::now().time_since_epoch().count()) ^
                   (uint64_t{process_id()} << 32) ^ ++counter;
    for (size_t i = 0; i < count; i++) {
        mix = mix * 6364136223846793005ULL + 1442695040888963407ULL;
        out[i] = static_cast<unsigned char>(mix >> 56);
    }
}

} // namespace

std::string temp_name_beside(const std::string& target) {
    static const char HEX[] = "0123456789abcdef";
    unsigned char random[6];
    name_bytes(random, sizeof random);
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

bool sync_folder_of(const std::string& target) {
    return sync_folder(folder_of(target));
}

bool sync_folder(const std::string& folder) {
    int fd = open_folder(folder.c_str());
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

unsigned new_file_mode() {
    return 0666 & ~creation_mask();
}
