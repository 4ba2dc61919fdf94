#include "file_names.h"

#include "platform.h"

size_t folder_length(const std::string& path) {
    size_t separator = path.find_last_of(PATH_SEPARATORS);
    return separator == std::string::npos ? 0 : separator + 1;
}

std::string folder_of(const std::string& path) {
    size_t length = folder_length(path);
    return length == 0 ? "." : length == 1 ? path.substr(0, 1) : path.substr(0, length - 1);
}

bool name_too_long(const std::string& path) {
    return path.size() - folder_length(path) > NAME_MAX_BYTES;
}
