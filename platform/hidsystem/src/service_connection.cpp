#include <hidsystem/service_connection.h>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace hidsystem {

namespace {

// How long a client waits awake for a reply before it sleeps in poll.
constexpr std::chrono::microseconds kAwakeWait{1000};

// Waits up to the service timeout for the socket to become ready; false
// (errno EAGAIN) when it did not.
bool wait_for(int fd, short events) {
    pollfd watched{fd, events, 0};
    int ready;
    do {
        ready = poll(&watched, 1, kServiceTimeoutMilliseconds);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) errno = EAGAIN;
    return ready > 0;
}

Exchange send_all(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t sent = send(fd, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            data.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!wait_for(fd, POLLOUT)) return errno == EAGAIN ? Exchange::TimedOut : Exchange::Lost;
        } else {
            return Exchange::Lost;
        }
    }
    return Exchange::Replied;
}

// A reply usually comes within tens of microseconds. Waking a thread that
// sleeps costs about as much again when the service runs on another core,
// so the first wait is spent awake, yielding to anything else that wants
// this core (the service itself, on a one-core machine). It yields before
// each read: right after a request the reply cannot be there yet, and where
// the service shares the core, it runs first and the read finds the reply.
ssize_t receive_some(int fd, char *buffer, std::size_t size) {
    auto deadline = std::chrono::steady_clock::now() + kAwakeWait;
    for (;;) {
        sched_yield();
        ssize_t got = recv(fd, buffer, size, MSG_DONTWAIT);
        if (got >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return got;
        if (std::chrono::steady_clock::now() >= deadline) break;
    }
    if (!wait_for(fd, POLLIN)) return -1;
    return recv(fd, buffer, size, MSG_DONTWAIT);
}

Exchange failure_of_receive(ssize_t got) {
    if (got == 0) return Exchange::Lost;
    return errno == EAGAIN || errno == EWOULDBLOCK ? Exchange::TimedOut : Exchange::Lost;
}

// Reads until `lines` LFs have arrived and the last byte is one: the service
// answers each request with exactly one line and sends nothing unasked.
Exchange receive_lines(int fd, std::span<char> storage, int lines, std::size_t &length) {
    length = 0;
    int seen = 0;
    for (;;) {
        if (length == storage.size()) return Exchange::Garbled;
        ssize_t got = receive_some(fd, storage.data() + length, storage.size() - length);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return failure_of_receive(got);
        for (const char *at = storage.data() + length; at != storage.data() + length + got; ++at)
            seen += *at == '\n' ? 1 : 0;
        length += static_cast<std::size_t>(got);
        if (seen > lines || (seen == lines && storage[length - 1] != '\n')) return Exchange::Garbled;
        if (seen == lines) return Exchange::Replied;
    }
}

// Copies one LF-ended line, without its LF, into `line`.
Exchange take_line(std::string_view text, Line &line) {
    std::span<char> storage = line.storage();
    std::size_t length = text.size() - 1;
    if (length > storage.size()) return Exchange::Garbled;
    std::memcpy(storage.data(), text.data(), length);
    line.set_length(length);
    return Exchange::Replied;
}

}  // namespace

int connect_to_service(const SocketPath &path, ErrorText &error) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error.set("cannot make a socket: %s", std::strerror(errno));
        return -1;
    }
    sockaddr_un address = socket_address(path);
    auto connect_once = [&] {
        int rc;
        do {
            rc = connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
        } while (rc != 0 && errno == EINTR);
        return rc == 0 || errno == EISCONN;
    };
    bool connected = connect_once();
    if (!connected && errno == EAGAIN) {
        // The service's backlog is full. A Unix socket cannot be polled for
        // a pending connect, so this one waits blocking, no longer than the
        // service timeout, for room.
        timeval timeout{kServiceTimeoutMilliseconds / 1000, (kServiceTimeoutMilliseconds % 1000) * 1000};
        int flags = fcntl(fd, F_GETFL);
        connected = setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) == 0 &&
                    fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 && connect_once() &&
                    fcntl(fd, F_SETFL, flags) == 0;
    }
    if (!connected) {
        error.set("no event service answers on %s: %s", path.c_str(), std::strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

Exchange exchange(int fd, std::string_view request, Line &reply) {
    Exchange sent = send_all(fd, request);
    if (sent != Exchange::Replied) return sent;
    return receive_reply(fd, reply);
}

Exchange send_request(int fd, std::string_view request) { return send_all(fd, request); }

Exchange receive_reply(int fd, Line &reply) {
    std::size_t length = 0;
    Exchange result = receive_lines(fd, reply.storage(), 1, length);
    if (result == Exchange::Replied) reply.set_length(length - 1);
    return result;
}

Exchange receive_two_replies(int fd, Line &first, Line &second) {
    std::array<char, 2 * kMaxLineLength> both;
    std::size_t length = 0;
    Exchange result = receive_lines(fd, both, 2, length);
    std::string_view text(both.data(), length);
    std::size_t first_end = text.find('\n');
    first.set_length(0);
    second.set_length(0);
    // A service that answers the first request and then hangs up (one that
    // turns the client away) still has its say.
    if (first_end == std::string_view::npos || take_line(text.substr(0, first_end + 1), first) != Exchange::Replied)
        return result == Exchange::Replied ? Exchange::Garbled : result;
    return result == Exchange::Replied ? take_line(text.substr(first_end + 1), second) : result;
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
