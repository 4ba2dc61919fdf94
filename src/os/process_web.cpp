// The process in the browser: the differences from a POSIX system, in one
// place. No signal or console event reaches the module from outside, and
// the in-memory file system has no umask of its own (it reports 0777) and no
// other users to keep out.
#include "process.h"

#include <ctime>
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

// The browser's own random bytes; should there be none, the clock.
void random_bytes(unsigned char* out, size_t count) {
    if (count <= 256 && getentropy(out, count) == 0) {
        return;
    }
    unsigned long long mix = static_cast<unsigned long long>(std::time(nullptr));
    for (size_t i = 0; i < count; i++) {
        mix = mix * 6364136223846793005ULL + 1442695040888963407ULL;
        out[i] = static_cast<unsigned char>(mix >> 56);
    }
}

void watch_for_ending(void (*)()) {}

void stop_watching() {}

void begin_guard() {}

void end_guard() {}
