// The process on POSIX systems: the signals that end it from outside.
#include "process.h"

#include <csignal>
#include <cstring>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Every signal whose default action ends the process. The faults a program
// raises itself (SIGSEGV and the like) are among them: the new file goes
// even then.
std::vector<int> ending_signals() {
    std::vector<int> signals = {SIGHUP,  SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT,
                                SIGBUS,  SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGPIPE,
                                SIGALRM, SIGTERM, SIGXCPU,   SIGVTALRM, SIGPROF, SIGSYS};
#if defined(SIGIO)
    signals.push_back(SIGIO);
#endif
#if defined(SIGPWR)
    signals.push_back(SIGPWR);
#endif
#if defined(SIGSTKFLT)
    signals.push_back(SIGSTKFLT);
#endif
#if defined(SIGRTMIN) && defined(SIGRTMAX)
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; sig++) {
        signals.push_back(sig);
    }
#endif
    return signals;
}

// The ending signals that only come from outside, made once: the guard
// holds these back, and so does the handler while it runs. A fault the
// program itself raises cannot wait.
const sigset_t& outside_signals() {
    static sigset_t set;
    static bool made = false;
    if (!made) {
        sigemptyset(&set);
        for (int sig : ending_signals()) {
            if (sig != SIGILL && sig != SIGTRAP && sig != SIGBUS && sig != SIGFPE &&
                sig != SIGSEGV && sig != SIGSYS) {
                sigaddset(&set, sig);
            }
        }
        made = true;
    }
    return set;
}

struct Watched {
    int sig;
    struct sigaction previous;
};
std::vector<Watched> watched;
struct sigaction previous_xfsz;

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

// What the cleanup looks at is changed with the signals from outside held
// back, so a handler never sees it half made.
void mask_ending_signals(int how) {
    sigprocmask(how, &outside_signals(), nullptr);
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

long effective_user() {
    return static_cast<long>(geteuid());
}

bool random_bytes(unsigned char* out, size_t count) {
    return getentropy(out, count) == 0;
}

void watch_for_ending(void (*cleanup)()) {
    ending_cleanup = cleanup;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = on_ending_signal;
    action.sa_mask = outside_signals();
    watched.clear();
    for (int sig : ending_signals()) {
        Watched w;
        w.sig = sig;
        // Only a signal left to its default action ends the process: one
        // ignored, or handled by someone else, keeps what it has.
        if (sigaction(sig, nullptr, &w.previous) != 0 ||
            (w.previous.sa_flags & SA_SIGINFO) != 0 || w.previous.sa_handler != SIG_DFL) {
            continue;
        }
        if (sigaction(sig, &action, nullptr) == 0) {
            watched.push_back(w);
        }
    }
    struct sigaction ignore;
    std::memset(&ignore, 0, sizeof ignore);
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &previous_xfsz);
}

void stop_watching() {
    for (const Watched& w : watched) {
        sigaction(w.sig, &w.previous, nullptr);
    }
    watched.clear();
    sigaction(SIGXFSZ, &previous_xfsz, nullptr);
}

void begin_guard() {
    mask_ending_signals(SIG_BLOCK);
}

void end_guard() {
    mask_ending_signals(SIG_UNBLOCK);
}
