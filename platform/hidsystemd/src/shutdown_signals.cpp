#include "shutdown_signals.h"

#include <signal.h>
#include <sys/signalfd.h>

namespace hidsystemd {

namespace {
sigset_t shutdown_signal_set() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    return signals;
}
}  // namespace

bool block_shutdown_signals() {
    signal(SIGPIPE, SIG_IGN);
    sigset_t signals = shutdown_signal_set();
    return sigprocmask(SIG_BLOCK, &signals, nullptr) == 0;
}

int open_shutdown_signal_fd() {
    sigset_t signals = shutdown_signal_set();
    return signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
}

}  // namespace hidsystemd
