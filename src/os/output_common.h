// What the writers of a whole file and of a whole folder share: names
// beside an output, complete writes and durable renames.
#pragma once

#include "file_names.h"

#include <cstddef>
#include <string>

// A new name beside `target`: the target's own name, cut where the whole
// would be too long for the folder, a random part no other process can
// guess, and ".tmp", so what a run that was killed leaves shows which
// output it was meant for.
std::string temp_name_beside(const std::string& target);

// Writes all `size` bytes to `fd`, in as many writes as it takes.
bool write_all(int fd, const unsigned char* data, size_t size);

// Syncs the folder `folder` itself, with the same leniency as
// sync_folder_of.
bool sync_folder(const std::string& folder);

// Makes a rename in the folder of `target` durable. Not every file system
// lets a folder be synced (nor every platform: Windows and the browser
// among them), and a folder this user may not read cannot be opened for
// it; those refusals are answers, not faults. False for any other failure.
bool sync_folder_of(const std::string& target);

// The permission bits of a new output: read and write for all, less the
// umask.
unsigned new_file_mode();
