// The floor for setMouseFix: a server that answers every line with a fixed
// reply, parsing nothing, with both sides awake while they wait. It runs in
// a child process, as the event service does.
#pragma once

#include <string>

#include <sys/types.h>

namespace glissor_bench {

class BaselineServer {
public:
    // Forks the server, listening at path.
    explicit BaselineServer(std::string path);
    ~BaselineServer();
    BaselineServer(const BaselineServer &) = delete;
    BaselineServer &operator=(const BaselineServer &) = delete;

    pid_t pid() const { return pid_; }
    // One connection carrying the exchanges setMouseFix makes; false when
    // any of them failed.
    bool three_exchanges() const;

private:
    std::string path_;
    pid_t pid_ = -1;
};

}  // namespace glissor_bench
