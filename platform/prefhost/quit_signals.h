// The scripted host's answer to SIGTERM, SIGHUP and SIGINT: a flag, read
// between commands, so the pane is left as a quitting host leaves it
// instead of the process dying with the pane still shown.
#pragma once

#include <signal.h>

#include <array>

class QuitSignals {
public:
    // Catches the three signals until dropped. A blocking read of the
    // script is interrupted (no SA_RESTART), so a host waiting for its next
    // command notices at once.
    QuitSignals();
    ~QuitSignals();
    QuitSignals(const QuitSignals &) = delete;
    QuitSignals &operator=(const QuitSignals &) = delete;

    // True once one of them arrived.
    static bool requested();

private:
    static constexpr std::array<int, 3> kSignals{SIGTERM, SIGHUP, SIGINT};
    std::array<struct sigaction, 3> previous_{};
};
