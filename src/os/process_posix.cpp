// The process on POSIX systems: the signals that end it from outside.
#include "process.h"

#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int ENDING_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int ENDING_COUNT = sizeof ENDING_SIGNALS / sizeof ENDING_SIGNALS[0];
struct sigaction previous_actions[ENDING_COUNT];

void (*volatile ending_cleanup)() = nullptr;

// Runs the cleanup, then ends the process as the signal would have: the
// signal is raised again with its default action, and arrives as soon as
// this handler returns.
extern "C" void on_ending_signal(int sig) {
    if (ending_cleanup != nullptr) {
        ending_cleanup();
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

// What the cleanup looks at is changed with the ending signals held back,
// so a handler never sees it half made.
void mask_ending_signals(int how) {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : ENDING_SIGNALS) {
        sigaddset(&set, sig);
    }
    sigprocmask(how, &set, nullptr);
}

} // namespace

void use_binary_console_streams() {}

unsigned long process_id() {
    return static_cast<unsigned long>(getpid());
}

unsigned creation_mask() {
    mode_t mask = umask(0);
    umask(mask);
    return static_cast<unsigned>(mask);
}

void watch_for_ending(void (*cleanup)()) {
    ending_cleanup = cleanup;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = on_ending_signal;
    sigemptyset(&action.sa_mask);
    for (int sig : ENDING_SIGNALS) {
        sigaddset(&action.sa_mask, sig);
    }
    for (int i = 0; i < ENDING_COUNT; i++) {
        sigaction(ENDING_SIGNALS[i], nullptr, &previous_actions[i]);
        if (previous_actions[i].sa_handler != SIG_IGN) {
            sigaction(ENDING_SIGNALS[i], &action, nullptr);
        }
    }
}

void stop_watching() {
    for (int i = 0; i < ENDING_COUNT; i++) {
        sigaction(ENDING_SIGNALS[i], &previous_actions[i], nullptr);
    }
}

void begin_guard() {
    mask_ending_signals(SIG_BLOCK);
}

void end_guard() {
    mask_ending_signals(SIG_UNBLOCK);
}
