#include "quit_signals.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t quitRequested = 0;
int emptyInput = -1;  // /dev/null, opened before any signal can arrive

// Besides the flag, standard input becomes empty: a read of the script
// that had not quite started when the signal came ends at once instead of
// waiting for a line that may never come.
void noteQuit(int) {
    int savedErrno = errno;
    quitRequested = 1;
    if (emptyInput >= 0) dup2(emptyInput, STDIN_FILENO);
    errno = savedErrno;
}

}  // namespace

QuitSignals::QuitSignals() {
    quitRequested = 0;
    if (emptyInput < 0) emptyInput = open("/dev/null", O_RDONLY | O_CLOEXEC);
    struct sigaction action {};
    action.sa_handler = noteQuit;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &previous_[i]);
}

QuitSignals::~QuitSignals() {
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
}

bool QuitSignals::requested() { return quitRequested != 0; }
