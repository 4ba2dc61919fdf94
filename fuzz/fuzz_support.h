// Shared by the fuzz targets: a private working directory for the files an
// input becomes, and small file helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

// Makes the private directory (once) the current directory and empties it.
// Every file a run makes lands there; leave_private_dir goes back.
void enter_private_dir();
void leave_private_dir();

// Writes `size` bytes to `name`, created or truncated; aborts on failure.
void write_bytes(const char* name, const uint8_t* data, size_t size);

// Every file of the current directory with its bytes, by name.
using DirSnapshot = std::map<std::string, std::string>;
DirSnapshot snapshot_dir();

// The bytes of `name`; `exists` tells whether it could be opened.
std::string read_bytes(const std::string& name, bool* exists);

// Stops the fuzzer with a message: the finding is a wrong result, not a crash
// a sanitizer would have caught.
[[noreturn]] void fuzz_fail(const char* what);
