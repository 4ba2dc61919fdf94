// What the program needs from the process it runs in: the console mode,
// its id, the permission mask of new files, and the signals or console
// events that end it from outside. One implementation per platform
// (process_posix.cpp, process_win32.cpp, process_web.cpp for the browser).
#pragma once

#include <cstddef>

// Puts standard output and standard error into binary mode where the C
// library would otherwise turn each "\n" into "\r\n" (Windows), so every
// message has the same bytes on every platform. Called before anything is
// printed.
void use_binary_console_streams();

unsigned long process_id();

// The permission bits a new file must not get (the umask).
unsigned creation_mask();

// The user the process acts as, and whether it may rename any file (root);
// -1 where the platform has no such users.
long effective_user();

// Fills `out` with `count` (at most 256) bytes no other process can guess;
// false when the platform has none to give.
bool random_bytes(unsigned char* out, size_t count);

// Until stop_watching, every signal or console event whose default action
// ends the process (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM,
// SIGUSR1 and the rest; Windows: Ctrl-C, Ctrl-Break, closing the console)
// first runs `cleanup`, then ends the process as it would have. SIGXFSZ is
// ignored meanwhile, so a write past the file size limit fails instead.
// `cleanup` must do only what is safe in a signal handler. Signals ignored
// or handled by someone else (a harness that drives the program's code)
// keep what they have.
void watch_for_ending(void (*cleanup)());
void stop_watching();

// Between begin_guard and end_guard the cleanup cannot run: what it looks
// at is being changed.
void begin_guard();
void end_guard();
