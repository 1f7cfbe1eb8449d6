#include "launcher.h"

#include <Spawn/spawn.h>

namespace loginwindow {

namespace {

std::vector<std::string> child_environment(bool hidden) {
    std::string hint = std::string(kHideVariable) + "=1";
    return spawn::environment_with({kHideVariable}, hidden ? std::vector<std::string>{hint} : std::vector<std::string>{});
}

}  // namespace

Started open_application(const std::string &executable, bool hidden) {
    spawn::Request request;
    request.argv = {executable};
    request.environment = child_environment(hidden);
    request.detach = true;
    Result<pid_t> pid = spawn::start(request);
    Started started;
    if (pid)
        started.pid = *pid;
    else
        started.error = "cannot start: " + pid.message();
    return started;
}

}  // namespace loginwindow
