#include "quit_signals.h"

namespace {

volatile sig_atomic_t quitRequested = 0;

void noteQuit(int) { quitRequested = 1; }

}  // namespace

QuitSignals::QuitSignals() {
    quitRequested = 0;
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
