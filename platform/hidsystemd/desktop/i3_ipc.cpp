#include "i3_ipc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hidsystemd_desktop {

namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t kHeaderSize = sizeof kMagic + 2 * sizeof(std::uint32_t);
constexpr int kReplyTimeoutMs = 2000;
// GET_INPUTS on a desk full of devices is some tens of kilobytes.
constexpr std::uint32_t kMaxReply = 4u << 20;

}  // namespace

I3Ipc::~I3Ipc() {
    if (fd_ >= 0) close(fd_);
}

bool I3Ipc::connect(const std::string &path, std::string &error) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        error = "the IPC socket path \"" + path + "\" does not fit a Unix socket address";
        return false;
    }
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        error = "cannot connect to the IPC socket " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool I3Ipc::send_all(const char *data, std::size_t size) {
    while (size > 0) {
        ssize_t sent = send(fd_, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool I3Ipc::receive_all(char *data, std::size_t size) {
    while (size > 0) {
        pollfd ready{fd_, POLLIN, 0};
        int polled = poll(&ready, 1, kReplyTimeoutMs);
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return false;
        ssize_t got = recv(fd_, data, size, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        data += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

std::optional<std::string> I3Ipc::request(std::uint32_t type, std::string_view payload, std::string &error) {
    char header[kHeaderSize];
    auto length = static_cast<std::uint32_t>(payload.size());
    std::memcpy(header, kMagic, sizeof kMagic);
    std::memcpy(header + sizeof kMagic, &length, sizeof length);
    std::memcpy(header + sizeof kMagic + sizeof length, &type, sizeof type);
    if (fd_ < 0 || !send_all(header, sizeof header) || !send_all(payload.data(), payload.size())) {
        error = "the IPC socket closed";
        return std::nullopt;
    }
    if (!receive_all(header, sizeof header)) {
        error = "no reply on the IPC socket within 2 s";
        return std::nullopt;
    }
    std::uint32_t reply_length = 0, reply_type = 0;
    std::memcpy(&reply_length, header + sizeof kMagic, sizeof reply_length);
    std::memcpy(&reply_type, header + sizeof kMagic + sizeof reply_length, sizeof reply_type);
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0 || reply_type != type || reply_length > kMaxReply) {
        error = "the IPC socket answered something else";
        return std::nullopt;
    }
    std::string reply(reply_length, '\0');
    if (!receive_all(reply.data(), reply.size())) {
        error = "the IPC reply was cut short";
        return std::nullopt;
    }
    return reply;
}

}  // namespace hidsystemd_desktop
