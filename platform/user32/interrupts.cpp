// Ctrl+C and kill reach the program as its close button does: a signal only counts itself
// here (nothing else is safe inside a handler), and the thread that reads the windows'
// messages answers it with WM_CLOSE, so the program ends by its own message loop, whatever
// the host (a window, full screen or none at all).
#include "interrupts.h"

#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

namespace {

static_assert(ATOMIC_INT_LOCK_FREE == 2, "the signal handler needs a lock-free counter");

std::atomic<int> signalsSeen{0};
std::atomic<int> signalsAnswered{0};
std::atomic<bool> watching{false};

// A second signal means the first did not end the program (or the user will not wait).
// The system call itself ends every thread: no library's exit path (the sanitizers wrap
// _exit) runs inside the handler.
void OnInterrupt(int signal) {
    if (signalsSeen.fetch_add(1) == 0) return;
#ifdef SYS_exit_group
    syscall(SYS_exit_group, 128 + signal);
#else
    _exit(128 + signal); // a system without the call (the browser build has no signals anyway)
#endif
}

} // namespace

namespace user32 {

void WatchInterrupts() {
    if (watching.exchange(true)) return;
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // file writes and waits carry on where they were
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool InterruptWaiting() {
    return signalsAnswered.load() < signalsSeen.load();
}

bool TakeInterrupt() {
    int answered = signalsAnswered.load();
    int seen = signalsSeen.load();
    return answered < seen && signalsAnswered.compare_exchange_strong(answered, seen);
}

} // namespace user32
