// Writing a whole file so that its name never shows a half-written one.
#pragma once

#include <cstddef>

// Results of replace_file.
constexpr int OUTPUT_OK = 0;
// The file cannot be created, or an existing one could not be opened for
// writing; nothing has been changed.
constexpr int OUTPUT_CANNOT_OPEN = -1;
// Writing, syncing or renaming failed; an existing file is as it was, unless
// it had to be written in place.
constexpr int OUTPUT_WRITE_ERROR = -2;

// Makes `name` hold exactly the `size` bytes at `data`. A regular file is
// written to a new file beside it (beside the final target of a symbolic
// link), synced and renamed over it, so the name holds the old file or the
// new one whole at every moment, and a hard link's other names keep the old
// bytes. An existing file keeps its permission bits (and owner and group
// where the process may set them), and is refused when it could not be
// opened for writing. A device, a FIFO, and a writable file in a folder where
// no new file can be made, are written in place. The new file is removed on
// every failure and when SIGINT, SIGTERM or SIGHUP (Windows: Ctrl-C,
// Ctrl-Break, closing the console) ends the process meanwhile.
int replace_file(const char* name, const unsigned char* data, size_t size);
