#include <hidsystem/service_connection.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hidsystem {

namespace {

long long now_milliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Waits until fd is ready for events or the deadline passes.
bool wait_for(int fd, short events, long long deadline) {
    for (;;) {
        long long left = deadline - now_milliseconds();
        if (left <= 0) return false;
        pollfd entry{fd, events, 0};
        int ready = poll(&entry, 1, static_cast<int>(left));
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
    }
}

Exchange send_all(int fd, std::string_view data, long long deadline) {
    while (!data.empty()) {
        ssize_t sent = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            data.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!wait_for(fd, POLLOUT, deadline)) return Exchange::TimedOut;
        } else {
            return Exchange::Lost;
        }
    }
    return Exchange::Replied;
}

Exchange receive_line(int fd, Line &reply, long long deadline) {
    std::span<char> storage = reply.storage();
    std::size_t length = 0;
    for (;;) {
        if (length == storage.size()) return Exchange::Garbled;
        ssize_t got = recv(fd, storage.data() + length, storage.size() - length, 0);
        if (got > 0) {
            length += static_cast<std::size_t>(got);
            void *newline = std::memchr(storage.data(), '\n', length);
            if (!newline) continue;
            auto line_length = static_cast<std::size_t>(static_cast<char *>(newline) - storage.data());
            // The service answers each request with exactly one line.
            if (line_length + 1 != length) return Exchange::Garbled;
            reply.set_length(line_length);
            return Exchange::Replied;
        }
        if (got == 0) return Exchange::Lost;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return Exchange::Lost;
        if (!wait_for(fd, POLLIN, deadline)) return Exchange::TimedOut;
    }
}

}  // namespace

int connect_to_service(const SocketPath &path, ErrorText &error) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error.set("cannot make a socket: %s", std::strerror(errno));
        return -1;
    }
    // A blocking connect waits for room in a busy service's backlog, but no
    // longer than the send timeout.
    timeval timeout{kServiceTimeoutMilliseconds / 1000, (kServiceTimeoutMilliseconds % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_un address = socket_address(path);
    int rc;
    do {
        rc = connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0 && errno != EISCONN) {
        error.set("no event service answers on %s: %s", path.c_str(), std::strerror(errno));
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

Exchange exchange(int fd, std::string_view request, Line &reply, int timeout_milliseconds) {
    long long deadline = now_milliseconds() + timeout_milliseconds;
    Exchange sent = send_all(fd, request, deadline);
    if (sent != Exchange::Replied) return sent;
    return receive_line(fd, reply, deadline);
}

const char *describe(Exchange result) {
    switch (result) {
    case Exchange::Replied: return "replied";
    case Exchange::Lost: return "the connection was lost";
    case Exchange::TimedOut: return "no reply in time";
    case Exchange::Garbled: return "the reply was not one protocol line";
    }
    return "unknown";
}

}  // namespace hidsystem
