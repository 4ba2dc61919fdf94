// Writing a whole file so that its name never shows a half-written one.
#pragma once

#include <cstddef>

// Results of replace_file.
constexpr int OUTPUT_OK = 0;
// Written and in place, but the file could not be given the owner, group or
// permission bits it should have (those of the file replaced, or read and
// write for all less the umask for a new one).
constexpr int OUTPUT_NOT_KEPT = 1;
// The file cannot be created, an existing one could not be opened for
// writing, or no new file can be made and renamed over it; nothing has been
// changed.
constexpr int OUTPUT_CANNOT_OPEN = -1;
// Writing, syncing or renaming failed: an existing regular file is as it
// was. A failed sync of the folder after the rename is one too, with the new
// file already in place.
constexpr int OUTPUT_WRITE_ERROR = -2;

// Makes `name` hold exactly the `size` bytes at `data`. A regular file is
// never written in place: the bytes go to a new file beside it (beside the
// final target of a symbolic link) whose name begins with the target's and
// ends in ".tmp", which is synced and renamed over it, so the name holds the
// old file or the new one whole at every moment, and a hard link's other
// names keep the old bytes. An existing file keeps its permission bits (and
// owner and group where the process may set them), and is refused when it
// could not be opened for writing, or when no new file can be made beside it
// or renamed over it. A device or a FIFO is written in place; a FIFO with
// no reader is refused at once. The new file is removed on every failure and
// when a signal ends the process meanwhile (Windows: Ctrl-C, Ctrl-Break,
// closing the console); only SIGKILL or a power cut leaves it behind.
int replace_file(const char* name, const unsigned char* data, size_t size);
