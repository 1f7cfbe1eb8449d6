#include "event_daemon.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <sstream>
#include <stdexcept>

#include "wait.h"

namespace glissor_test {

bool socket_answers(const std::string &path) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    bool ok = connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

namespace {
std::vector<std::string> daemon_argv(const std::string &socket_path, const std::vector<std::string> &refused_keys,
                                     const std::vector<std::string> &more_arguments) {
    std::vector<std::string> argv = {bin_path("hidsystemd"), "--socket", socket_path};
    for (const auto &key : refused_keys) {
        argv.push_back("--refuse");
        argv.push_back(key);
    }
    argv.insert(argv.end(), more_arguments.begin(), more_arguments.end());
    return argv;
}
}  // namespace

EventDaemon::EventDaemon(const std::vector<std::string> &refused_keys,
                         const std::vector<std::string> &more_arguments)
    : socket_path_(dir_.path() + "/hidsystem.sock"),
      process_(daemon_argv(socket_path_, refused_keys, more_arguments)),
      socket_env_("HIDSYSTEM_SOCKET", socket_path_) {
    bool exited = false;
    if (eventually([&] { return socket_answers(socket_path_) || (exited = !process_.running()); }) && !exited) return;
    throw std::runtime_error(exited ? "hidsystemd exited at start" : "hidsystemd did not answer within 10 s");
}

EventDaemon::~EventDaemon() { process_.stop(SIGTERM); }

std::vector<LoggedChange> EventDaemon::log() const {
    ProcessOptions options;
    options.env = env();
    auto result = run_process({bin_path("hidctl"), "log"}, options);
    std::vector<LoggedChange> changes;
    std::istringstream lines(result.out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        LoggedChange change;
        if (fields >> change.time >> change.key >> change.value) changes.push_back(change);
    }
    return changes;
}

std::string EventDaemon::get(const std::string &key) const {
    ProcessOptions options;
    options.env = env();
    auto result = run_process({bin_path("hidctl"), "get", key}, options);
    std::string line = result.out;
    while (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
}

}  // namespace glissor_test
