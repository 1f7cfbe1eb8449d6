// One connection to the event service, closed when dropped: the round trip
// of every hidctl command.
#pragma once

#include <optional>

#include <Result.h>
#include <hidsystem/protocol.h>
#include <hidsystem/socket_path.h>

namespace hidctl {

class Session {
public:
    // Says on stderr why, when the service cannot be reached.
    explicit Session(const hidsystem::SocketPath &path);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    bool connected() const { return fd_ >= 0; }

    // The service's reply, its text viewing into `reply`; a failure says
    // why there is none.
    Result<hidsystem::Reply> request(const hidsystem::Line &request, hidsystem::Line &reply);
    // The same, saying on stderr why there is none.
    std::optional<hidsystem::Reply> ask(const hidsystem::Line &request, hidsystem::Line &reply);

private:
    hidsystem::SocketPath path_;
    int fd_ = -1;
};

}  // namespace hidctl
