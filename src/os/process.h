// What the program needs from the process it runs in: the console mode,
// its id, the permission mask of new files, and the signals or console
// events that end it from outside. One implementation per platform
// (process_posix.cpp, process_win32.cpp, process_web.cpp for the browser).
#pragma once

// Puts standard output and standard error into binary mode where the C
// library would otherwise turn each "\n" into "\r\n" (Windows), so every
// message has the same bytes on every platform. Called before anything is
// printed.
void use_binary_console_streams();

unsigned long process_id();

// The permission bits a new file must not get (the umask).
unsigned creation_mask();

// Until stop_watching, a signal or console event that ends the process from
// outside (SIGINT, SIGTERM, SIGHUP; Windows: Ctrl-C, Ctrl-Break, closing the
// console) first runs `cleanup`, then ends the process as it would have.
// `cleanup` must do only what is safe in a signal handler. Signals this
// process was started ignoring stay ignored.
void watch_for_ending(void (*cleanup)());
void stop_watching();

// Between begin_guard and end_guard the cleanup cannot run: what it looks
// at is being changed.
void begin_guard();
void end_guard();
