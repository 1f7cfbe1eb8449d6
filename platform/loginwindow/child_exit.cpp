#include "child_exit.h"

#include <sys/wait.h>

#include <cerrno>
#include <cstring>

namespace loginwindow {

std::optional<ChildExit> wait_for_child() {
    ChildExit result;
    for (;;) {
        result.pid = waitpid(-1, &result.status, 0);
        if (result.pid > 0) return result;
        if (errno != EINTR) return std::nullopt;
    }
}

std::string describe_exit(int status) {
    if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) {
        int sig = WTERMSIG(status);
        return "ended by signal " + std::to_string(sig) + " (" + strsignal(sig) + ")";
    }
    return "ended";
}

}  // namespace loginwindow
