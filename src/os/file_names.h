// The parts of a file name, with the platform's folder separators.
#pragma once

#include <cstddef>
#include <string>

// The length of the folder part of `path`, its last separator included (0
// for a name alone), so the file's own name begins there.
size_t folder_length(const std::string& path);

// The folder that holds `path`.
std::string folder_of(const std::string& path);

// Whether the last name of `path` is longer than a folder takes.
bool name_too_long(const std::string& path);
