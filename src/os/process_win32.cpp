// The process on Windows: binary console streams and the console events
// that end it.
// rand_s, the system's random numbers, is declared only on request.
#define _CRT_RAND_S
#include "process.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>

namespace {

void (*ending_cleanup)() = nullptr;

// The console handler runs on a thread of its own, so what the cleanup
// looks at is changed only under this lock.
CRITICAL_SECTION guard;

CRITICAL_SECTION* the_guard() {
    static bool ready = false;
    if (!ready) {
        InitializeCriticalSection(&guard);
        ready = true;
    }
    return &guard;
}

// Ctrl-C, Ctrl-Break and closing the console: the cleanup runs, then the
// default handler ends the process. The lock stays taken, so the main thread
// can neither go on nor report anything before the end.
BOOL WINAPI on_console_event(DWORD) {
    EnterCriticalSection(the_guard());
    if (ending_cleanup != nullptr) {
        ending_cleanup();
    }
    return FALSE;
}

} // namespace

void use_binary_console_streams() {
    // A stream that is not open (no console at all) simply stays as it is.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

unsigned long process_id() {
    return static_cast<unsigned long>(_getpid());
}

unsigned creation_mask() {
    return 0;
}

long effective_user() {
    return -1;
}

bool random_bytes(unsigned char* out, size_t count) {
    for (size_t i = 0; i < count; i++) {
        unsigned int value = 0;
        if (rand_s(&value) != 0) {
            return false;
        }
        out[i] = static_cast<unsigned char>(value);
    }
    return true;
}

void watch_for_ending(void (*cleanup)()) {
    the_guard();
    ending_cleanup = cleanup;
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

void stop_watching() {
    SetConsoleCtrlHandler(on_console_event, FALSE);
}

void begin_guard() {
    EnterCriticalSection(the_guard());
}

void end_guard() {
    LeaveCriticalSection(the_guard());
}
