// The process in the browser: the differences from a POSIX system, in one
// place. No signal or console event reaches the module from outside, and
// the in-memory file system has no umask of its own (it reports 0777) and no
// other users to keep out.
#include "process.h"

#include <sys/random.h>
#include <unistd.h>

void use_binary_console_streams() {}

unsigned long process_id() {
    return static_cast<unsigned long>(getpid());
}

unsigned creation_mask() {
    return 0;
}

long effective_user() {
    return -1;
}

// The browser's own random numbers.
bool random_bytes(unsigned char* out, size_t count) {
    return getentropy(out, count) == 0;
}

void watch_for_ending(void (*)()) {}

void stop_watching() {}

void begin_guard() {}

void end_guard() {}
