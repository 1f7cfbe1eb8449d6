#include "hypr_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hidsystemd_backend {

namespace {

using Clock = std::chrono::steady_clock;

// `j/devices` on a desk full of devices is some tens of kilobytes.
constexpr std::size_t kMaxAnswer = 4u << 20;
// A line longer than this is no event of any kind we read; it is dropped.
constexpr std::size_t kMaxEventLine = 64u << 10;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

int milliseconds_left(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the event until the deadline; false when it passed first.
bool wait_for(int fd, short event, Clock::time_point deadline) {
    for (;;) {
        pollfd ready{fd, event, 0};
        int polled = poll(&ready, 1, milliseconds_left(deadline));
        if (polled < 0 && errno == EINTR) continue;
        return polled > 0;
    }
}

// Writes the request and ends the writing side, so that a compositor that
// reads until the end sees it at once. A peer that closed early is found
// out by the reading that follows.
void send_request(int fd, std::string_view text, Clock::time_point deadline) {
    while (!text.empty() && wait_for(fd, POLLOUT, deadline)) {
        ssize_t sent = send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (sent <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(sent));
    }
    shutdown(fd, SHUT_WR);
}

Result<std::string> read_answer(int fd, Clock::time_point deadline) {
    std::string answer;
    char chunk[8192];
    for (;;) {
        if (!wait_for(fd, POLLIN, deadline))
            return Failure("Hyprland did not answer within " + std::to_string(HyprRequests::kAnswerLimit.count()) +
                           " ms");
        ssize_t got = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) break;
        answer.append(chunk, static_cast<std::size_t>(got));
        if (answer.size() > kMaxAnswer) return Failure("Hyprland's answer is larger than any real one");
    }
    if (answer.empty()) return Failure("Hyprland closed the connection without an answer");
    return answer;
}

}  // namespace

int connect_unix_socket(const std::string &path) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

Result<std::string> HyprRequests::request(std::string_view text) {
    Descriptor socket(connect_unix_socket(path_));
    unreachable_ = socket.get() < 0;
    if (unreachable_) return Failure("cannot connect to " + path_ + ": " + std::strerror(errno));
    auto deadline = Clock::now() + kAnswerLimit;
    send_request(socket.get(), text, deadline);
    return read_answer(socket.get(), deadline);
}

HyprEvents::~HyprEvents() {
    if (fd_ >= 0) close(fd_);
}

Status HyprEvents::connect(const std::string &path) {
    fd_ = connect_unix_socket(path);
    if (fd_ < 0) return Failure("cannot connect to " + path + ": " + std::strerror(errno));
    return Status::success();
}

Result<std::vector<std::string>> HyprEvents::read_lines() {
    char chunk[8192];
    ssize_t got;
    do {
        got = recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    if (got == 0 || (got < 0 && errno != EAGAIN)) return Failure("Hyprland closed its event socket");
    if (got > 0) partial_.append(chunk, static_cast<std::size_t>(got));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = partial_.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(partial_.substr(start, end - start));
    partial_.erase(0, start);
    if (partial_.size() > kMaxEventLine) partial_.clear();
    return lines;
}

}  // namespace hidsystemd_backend
