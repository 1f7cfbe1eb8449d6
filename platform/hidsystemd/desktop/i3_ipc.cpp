#include "i3_ipc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hidsystemd_backend {

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

Status I3Ipc::connect(const std::string &path) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return Failure("the IPC socket path \"" + path + "\" does not fit a Unix socket address");
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return Failure("cannot connect to the IPC socket " + path + ": " + std::strerror(errno));
    return Status::success();
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

Result<std::string> I3Ipc::request(std::uint32_t type, std::string_view payload) {
    char header[kHeaderSize];
    auto length = static_cast<std::uint32_t>(payload.size());
    std::memcpy(header, kMagic, sizeof kMagic);
    std::memcpy(header + sizeof kMagic, &length, sizeof length);
    std::memcpy(header + sizeof kMagic + sizeof length, &type, sizeof type);
    if (fd_ < 0 || !send_all(header, sizeof header) || !send_all(payload.data(), payload.size()))
        return Failure("the IPC socket closed");
    auto reply = read_message();
    if (!reply) return reply.failure();
    if (reply->type != type) return Failure("the IPC socket answered something else");
    return std::move(reply->payload);
}

Result<I3Message> I3Ipc::read_message() {
    char header[kHeaderSize];
    if (fd_ < 0 || !receive_all(header, sizeof header)) return Failure("no reply on the IPC socket within 2 s");
    I3Message message;
    std::uint32_t length = 0;
    std::memcpy(&length, header + sizeof kMagic, sizeof length);
    std::memcpy(&message.type, header + sizeof kMagic + sizeof length, sizeof message.type);
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0 || length > kMaxReply)
        return Failure("the IPC socket answered something else");
    message.payload.assign(length, '\0');
    if (!receive_all(message.payload.data(), message.payload.size())) return Failure("the IPC reply was cut short");
    return message;
}

}  // namespace hidsystemd_backend
