// Starting an application the way the login window does.
#pragma once

#include <sys/types.h>

#include <string>

namespace loginwindow {

// The variable that carries the "Hide" hint: "1" when the application is
// to open hidden; absent otherwise.
inline constexpr const char *kHideVariable = "LOGINWINDOW_HIDE";

struct Started {
    pid_t pid = -1;     // set when it runs
    std::string error;  // set when it could not be started

    bool ok() const { return pid > 0; }
};

// Runs the executable with no arguments, in a session of its own and
// detached: standard input, output and error on /dev/null, working
// directory "/", the login window's environment with the hint set as the
// record says (an inherited hint is never passed on). When this returns
// the program runs: a failing exec is reported here, not later as an exit.
Started open_application(const std::string &executable, bool hidden);

}  // namespace loginwindow
