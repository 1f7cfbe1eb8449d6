#include "service_session.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include <hidsystem/service_connection.h>

namespace hidctl {

Session::Session(const hidsystem::SocketPath &path) : path_(path) {
    hidsystem::ErrorText error;
    fd_ = hidsystem::connect_to_service(path, error);
    if (fd_ < 0) std::fprintf(stderr, "hidctl: %s\n", error.c_str());
}

Session::~Session() {
    if (fd_ >= 0) close(fd_);
}

Result<hidsystem::Reply> Session::request(const hidsystem::Line &request, hidsystem::Line &reply) {
    hidsystem::Exchange result = hidsystem::exchange(fd_, request.text(), reply);
    if (result != hidsystem::Exchange::Replied)
        return Failure("event service on " + std::string(path_.c_str()) + ": " + hidsystem::describe(result));
    auto parsed = hidsystem::parse_reply(reply.text());
    if (!parsed) return Failure("event service on " + std::string(path_.c_str()) + " sent an unknown reply");
    return *parsed;
}

std::optional<hidsystem::Reply> Session::ask(const hidsystem::Line &request, hidsystem::Line &reply) {
    auto answer = this->request(request, reply);
    if (!answer) {
        std::fprintf(stderr, "hidctl: %s\n", answer.message().c_str());
        return std::nullopt;
    }
    return *answer;
}

}  // namespace hidctl
