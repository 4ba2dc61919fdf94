#include "folder_output.h"

#include "file_status.h"
#include "output_common.h"
#include "platform.h"
#include "process.h"

namespace {

// The folder being written and the file open in it, for the cleanup that
// removes them when the process is ended from outside.
NewFolder* volatile active = nullptr;
volatile int open_fd = -1;

// Runs in a signal handler (or the console handler's thread, under the
// guard): removes every file written and the folder.
void remove_folder_now() {
    NewFolder* folder = active;
    if (folder == nullptr) {
        return;
    }
    if (open_fd >= 0) {
        close_file(open_fd);
    }
    for (const std::string& file : folder->files) {
        remove_file(file.c_str());
    }
    remove_folder(folder->temp.c_str());
}

bool exists(const std::string& path) {
    FileStatus status;
    return status_by_name(path.c_str(), &status) != STATUS_NOT_FOUND;
}

} // namespace

int begin_folder(const char* name, NewFolder* folder) {
    folder->name = name;
    folder->files.clear();
    if (exists(folder->name)) {
        return FOLDER_EXISTS;
    }
    if (name_too_long(folder->name)) {
        return FOLDER_CANNOT_MAKE;
    }
    watch_for_ending(remove_folder_now);
    for (int attempt = 0; attempt < 100; attempt++) {
        begin_guard();
        folder->temp = temp_name_beside(folder->name);
        bool made = make_folder(folder->temp.c_str());
        if (made) {
            active = folder;
        }
        end_guard();
        if (made) {
            return FOLDER_OK;
        }
        if (!exists(folder->temp)) {
            break;
        }
    }
    stop_watching();
    return FOLDER_CANNOT_MAKE;
}

int add_folder_file(NewFolder* folder, const char* file_name, const unsigned char* data,
                    size_t size) {
    std::string path = folder->temp + "/" + file_name;
    begin_guard();
    folder->files.push_back(path);
    int fd = create_exclusive(path.c_str());
    if (fd < 0) {
        folder->files.pop_back();
    }
    open_fd = fd;
    end_guard();
    if (fd < 0) {
        return FOLDER_WRITE_ERROR;
    }
    bool ok = set_mode(fd, new_file_mode()) == 0 && write_all(fd, data, size) && sync_file(fd);
    begin_guard();
    ok = close_file(fd) == 0 && ok;
    open_fd = -1;
    end_guard();
    return ok ? FOLDER_OK : FOLDER_WRITE_ERROR;
}

int finish_folder(NewFolder* folder) {
    if (!sync_folder(folder->temp)) {
        abandon_folder(folder);
        return FOLDER_WRITE_ERROR;
    }
    if (exists(folder->name)) {
        abandon_folder(folder);
        return FOLDER_EXISTS;
    }
    begin_guard();
    bool renamed = rename_over(folder->temp.c_str(), folder->name.c_str());
    if (renamed) {
        active = nullptr;
    }
    end_guard();
    if (!renamed) {
        abandon_folder(folder);
        return FOLDER_WRITE_ERROR;
    }
    stop_watching();
    return sync_folder_of(folder->name) ? FOLDER_OK : FOLDER_WRITE_ERROR;
}

void abandon_folder(NewFolder* folder) {
    begin_guard();
    if (active == folder) {
        remove_folder_now();
        active = nullptr;
    }
    open_fd = -1;
    end_guard();
    folder->files.clear();
    stop_watching();
}
