// The ends of the applications the login window started.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace loginwindow {

struct ChildExit {
    pid_t pid = -1;
    int status = 0;  // as waitpid gives it
};

// Blocks until one child ends; nullopt when there are none left.
std::optional<ChildExit> wait_for_child();

// "exited with status 3", "ended by signal 15 (Terminated)".
std::string describe_exit(int status);

}  // namespace loginwindow
