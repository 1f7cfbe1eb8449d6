// Hyprland's two sockets, as a client sees them. The request socket takes
// one request a connection: the client writes it, the compositor answers
// and closes. The event socket stays open and carries one "EVENT>>DATA"
// line per event.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include <Result.h>

namespace hidsystemd_backend {

class HyprRequests {
public:
    // A compositor that stalls costs at most this much per request, well
    // inside the time the service gives a backend to answer.
    static constexpr std::chrono::milliseconds kAnswerLimit{1000};

    explicit HyprRequests(std::string path) : path_(std::move(path)) {}

    // The whole answer, read until the compositor closes. A failure when
    // nothing listens (unreachable() then holds), when the answer does not
    // end within kAnswerLimit, or when it is larger than any real one.
    Result<std::string> request(std::string_view text);
    // The last request found no compositor listening: it is gone.
    bool unreachable() const { return unreachable_; }
    const std::string &path() const { return path_; }

private:
    std::string path_;
    bool unreachable_ = false;
};

class HyprEvents {
public:
    HyprEvents() = default;
    ~HyprEvents();
    HyprEvents(const HyprEvents &) = delete;
    HyprEvents &operator=(const HyprEvents &) = delete;

    Status connect(const std::string &path);
    int fd() const { return fd_; }
    // The whole lines that arrived, without their line ends; a failure
    // once the compositor closed the socket.
    Result<std::vector<std::string>> read_lines();

private:
    int fd_ = -1;
    std::string partial_;
};

// A Unix socket connected to path, or -1 with errno set.
int connect_unix_socket(const std::string &path);

}  // namespace hidsystemd_backend
