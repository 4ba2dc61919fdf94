#include "faulty_platform.h"

#include "os/platform.h"

#include <cerrno>
#include <csignal>
#include <map>
#include <string>

int real_open_for_reading(const char* path, bool may_wait);
void real_make_blocking(int fd);
int64_t real_read_some(int fd, void* buffer, size_t count);
bool real_seek_to(int fd, int64_t offset);
int real_close_file(int fd);
int real_open_for_writing(const char* path);
int real_create_exclusive(const char* path);
int64_t real_write_some(int fd, const void* data, size_t count);
bool real_sync_file(int fd);
bool real_rename_over(const char* from, const char* to);
bool real_remove_file(const char* path);
bool real_make_folder(const char* path);
bool real_remove_folder(const char* path);
int real_read_link(const char* path, std::string* to);
int real_open_folder(const char* folder);
int real_set_owner(int fd, unsigned long owner, unsigned long group);
int real_set_mode(int fd, unsigned mode);

namespace {

std::string failing;
int failing_call = 0;
int failing_error = 0;
int failing_signal = 0;
std::map<std::string, int> calls;

// Counts a call of `primitive`; true, with errno set, when it must fail.
bool fails(const char* primitive) {
    int n = ++calls[primitive];
    if (failing != primitive || n != failing_call) {
        return false;
    }
    if (failing_signal != 0) {
        raise(failing_signal);
        return false;
    }
    errno = failing_error;
    return true;
}

} // namespace

void fail_primitive(const char* primitive, int nth, int error) {
    failing = primitive;
    failing_call = nth;
    failing_error = error;
    failing_signal = 0;
    calls.clear();
}

void signal_in_primitive(const char* primitive, int nth, int sig) {
    fail_primitive(primitive, nth, 0);
    failing_signal = sig;
}

int primitive_calls(const char* primitive) {
    auto found = calls.find(primitive);
    return found == calls.end() ? 0 : found->second;
}

int open_for_reading(const char* path, bool may_wait) {
    return fails("open_for_reading") ? -1 : real_open_for_reading(path, may_wait);
}
void make_blocking(int fd) {
    real_make_blocking(fd);
}
int64_t read_some(int fd, void* buffer, size_t count) {
    return fails("read_some") ? -1 : real_read_some(fd, buffer, count);
}
bool seek_to(int fd, int64_t offset) {
    return !fails("seek_to") && real_seek_to(fd, offset);
}
// A close that fails has still closed the file, as on POSIX systems.
int close_file(int fd) {
    int closed = real_close_file(fd);
    return fails("close_file") ? -1 : closed;
}
int open_for_writing(const char* path) {
    return fails("open_for_writing") ? -1 : real_open_for_writing(path);
}
int create_exclusive(const char* path) {
    return fails("create_exclusive") ? -1 : real_create_exclusive(path);
}
int64_t write_some(int fd, const void* data, size_t count) {
    return fails("write_some") ? -1 : real_write_some(fd, data, count);
}
bool sync_file(int fd) {
    return !fails("sync_file") && real_sync_file(fd);
}
bool rename_over(const char* from, const char* to) {
    return !fails("rename_over") && real_rename_over(from, to);
}
bool remove_file(const char* path) {
    return !fails("remove_file") && real_remove_file(path);
}
bool make_folder(const char* path) {
    return !fails("make_folder") && real_make_folder(path);
}
bool remove_folder(const char* path) {
    return !fails("remove_folder") && real_remove_folder(path);
}
int read_link(const char* path, std::string* to) {
    return fails("read_link") ? -1 : real_read_link(path, to);
}
int open_folder(const char* folder) {
    return fails("open_folder") ? -1 : real_open_folder(folder);
}
int set_owner(int fd, unsigned long owner, unsigned long group) {
    return fails("set_owner") ? -1 : real_set_owner(fd, owner, group);
}
int set_mode(int fd, unsigned mode) {
    return fails("set_mode") ? -1 : real_set_mode(fd, mode);
}
