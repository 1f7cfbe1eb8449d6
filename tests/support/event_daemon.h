// The real event service daemon, started on a socket of the test's own.
#pragma once

#include "process.h"
#include "temp_home.h"

#include <map>
#include <string>
#include <vector>

namespace glissor_test {

// One accepted change, as `hidctl log` prints it: "TIME KEY VALUE".
struct LoggedChange {
    double time = 0;
    std::string key;
    std::string value;
};

class EventDaemon {
public:
    // Starts build/bin/hidsystemd with --refuse for each key, waits until it
    // answers, and points HIDSYSTEM_SOCKET of this process at it.
    explicit EventDaemon(const std::vector<std::string> &refused_keys = {},
                         const std::vector<std::string> &more_arguments = {});
    ~EventDaemon();
    EventDaemon(const EventDaemon &) = delete;
    EventDaemon &operator=(const EventDaemon &) = delete;

    const std::string &socket_path() const { return socket_path_; }
    std::map<std::string, std::string> env() const { return {{"HIDSYSTEM_SOCKET", socket_path_}}; }
    // `hidctl log`, parsed.
    std::vector<LoggedChange> log() const;
    // `hidctl get KEY`'s line, without the newline.
    std::string get(const std::string &key) const;
    BackgroundProcess &process() { return process_; }

private:
    TempDir dir_;
    std::string socket_path_;
    BackgroundProcess process_;
    ScopedEnv socket_env_;
};

// True once something accepts connections on the socket path.
bool socket_answers(const std::string &path);

}  // namespace glissor_test
