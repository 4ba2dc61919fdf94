// Writing a whole folder of files so that its name never shows a
// half-written one: the files go into a new folder beside it, which is
// renamed into place once every file is written and synced.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Results of the folder writer.
constexpr int FOLDER_OK = 0;
// A file or folder of that name is there already; nothing was made.
constexpr int FOLDER_EXISTS = -1;
// The new folder cannot be made beside it; nothing was made.
constexpr int FOLDER_CANNOT_MAKE = -2;
// Writing, syncing or renaming failed; the new folder is gone.
constexpr int FOLDER_WRITE_ERROR = -3;

// A folder being written, from begin_folder to finish_folder or
// abandon_folder.
struct NewFolder {
    std::string name;               // where it will be
    std::string temp;               // where it is written meanwhile
    std::vector<std::string> files; // what it holds so far, as paths
};

// Begins the folder `name`, refused when anything of that name exists.
// Until it is finished or abandoned, a signal that ends the process removes
// what was written (as for a single file: Windows: Ctrl-C, Ctrl-Break,
// closing the console).
int begin_folder(const char* name, NewFolder* folder);

// Writes the file `file_name` of `size` bytes into the folder, readable and
// writable by all less the umask, and syncs it.
int add_folder_file(NewFolder* folder, const char* file_name, const unsigned char* data,
                    size_t size);

// Syncs the folder and renames it into place, unless something of its name
// has appeared meanwhile (FOLDER_EXISTS); on any failure it is removed.
int finish_folder(NewFolder* folder);

// Removes what was written of the folder.
void abandon_folder(NewFolder* folder);
