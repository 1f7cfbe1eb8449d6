// Starting a child program. Every child the platform starts goes through
// here, so each begins the same way whatever its parent was doing: the
// default action for every signal and nothing blocked (a parent that blocks
// SIGTERM for a signalfd would otherwise pass that on through exec), none
// of the parent's descriptors but the standard ones and those asked for,
// and a failing exec reported to the caller rather than as an exit status.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include <Result.h>

namespace spawn {

struct Request {
    // argv[0] is the program's path; no search of PATH.
    std::vector<std::string> argv;
    // Whole "NAME=value" entries.
    std::vector<std::string> environment;
    // Descriptors the child keeps under the same number (close-on-exec
    // cleared in the child only).
    std::vector<int> inherit;
    // An application of its own: a new session, the root as its working
    // folder, and standard input, output and error on /dev/null.
    bool detach = false;
};

// The running child's pid. When the exec or a step before it fails, the
// failure says why ("No such file or directory", "setsid: ..."); the caller
// names the program.
Result<pid_t> start(const Request &request);

// This process's environment, minus the variables named, plus the entries
// given (each "NAME=value", replacing one of the same name).
std::vector<std::string> environment_with(const std::vector<std::string> &drop,
                                          const std::vector<std::string> &add);

}  // namespace spawn
