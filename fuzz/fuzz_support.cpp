#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

namespace {

std::string private_dir;
int home_fd = -1;

// Removes every file of the current directory; false if it cannot be listed.
bool empty_current_dir() {
    DIR* d = opendir(".");
    if (d == nullptr) {
        return false;
    }
    while (dirent* e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
            unlink(e->d_name);
        }
    }
    closedir(d);
    return true;
}

void remove_private_dir() {
    if (!private_dir.empty() && chdir(private_dir.c_str()) == 0 && empty_current_dir() &&
        chdir("/") == 0) {
        rmdir(private_dir.c_str());
    }
}

} // namespace

void enter_private_dir() {
    if (private_dir.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/qorvelix-fuzz-XXXXXX";
        if (mkdtemp(tmpl.data()) == nullptr) {
            fuzz_fail("cannot make the private directory");
        }
        private_dir = tmpl;
        std::atexit(remove_private_dir);
    }
    home_fd = open(".", O_RDONLY | O_DIRECTORY);
    if (home_fd < 0 || chdir(private_dir.c_str()) != 0) {
        fuzz_fail("cannot enter the private directory");
    }
    if (!empty_current_dir()) {
        fuzz_fail("cannot empty the private directory");
    }
}

void leave_private_dir() {
    if (fchdir(home_fd) != 0) {
        fuzz_fail("cannot leave the private directory");
    }
    close(home_fd);
    home_fd = -1;
}

void write_bytes(const char* name, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(name, "wb");
    if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
        fuzz_fail("cannot write an input file");
    }
}

std::string read_bytes(const std::string& name, bool* exists) {
    std::string bytes;
    FILE* f = std::fopen(name.c_str(), "rb");
    *exists = f != nullptr;
    if (f == nullptr) {
        return bytes;
    }
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        bytes.append(buf, n);
    }
    std::fclose(f);
    return bytes;
}

DirSnapshot snapshot_dir() {
    DirSnapshot files;
    DIR* d = opendir(".");
    if (d == nullptr) {
        fuzz_fail("cannot list the private directory");
    }
    while (dirent* e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
            bool exists = false;
            files[e->d_name] = read_bytes(e->d_name, &exists);
        }
    }
    closedir(d);
    return files;
}

// libFuzzer may have closed standard error (-close_fd_mask); the sanitizer's
// report stream is still open.
void fuzz_fail(const char* what) {
    __sanitizer_report_error_summary(what);
    std::abort();
}
