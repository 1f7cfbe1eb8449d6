#include <hidsystem/service_connection.h>

#include <sched.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace hidsystem {

namespace {

// How long a client waits awake for a reply before it sleeps in recv.
constexpr std::chrono::microseconds kAwakeWait{1000};

// The socket blocks, with the service timeout on every send and receive.
Exchange send_all(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t sent = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            data.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return Exchange::TimedOut;
        } else {
            return Exchange::Lost;
        }
    }
    return Exchange::Replied;
}

// A reply usually comes within tens of microseconds. Waking a thread that
// sleeps in recv costs about as much again when the service runs on another
// core, so the first wait is spent awake, yielding to anything else that
// wants this core (the service itself, on a one-core machine).
ssize_t receive_some(int fd, char *buffer, std::size_t size, int flags = 0) {
    auto deadline = std::chrono::steady_clock::now() + kAwakeWait;
    for (;;) {
        ssize_t got = recv(fd, buffer, size, flags | MSG_DONTWAIT);
        if (got >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return got;
        if (std::chrono::steady_clock::now() >= deadline) break;
        sched_yield();
    }
    return recv(fd, buffer, size, flags);
}

Exchange failure_of_receive(ssize_t got) {
    if (got == 0) return Exchange::Lost;
    return errno == EAGAIN || errno == EWOULDBLOCK ? Exchange::TimedOut : Exchange::Lost;
}

Exchange receive_line(int fd, Line &reply) {
    std::span<char> storage = reply.storage();
    std::size_t length = 0;
    for (;;) {
        if (length == storage.size()) return Exchange::Garbled;
        ssize_t got = receive_some(fd, storage.data() + length, storage.size() - length);
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
        if (got < 0 && errno == EINTR) continue;
        return failure_of_receive(got);
    }
}

// Peeks at what has arrived and takes only the bytes up to the first LF,
// so that a reply queued behind it stays in the socket.
Exchange receive_first_line(int fd, Line &reply) {
    std::span<char> storage = reply.storage();
    std::size_t length = 0;
    for (;;) {
        if (length == storage.size()) return Exchange::Garbled;
        char *free_space = storage.data() + length;
        ssize_t got = receive_some(fd, free_space, storage.size() - length, MSG_PEEK);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return failure_of_receive(got);
        void *newline = std::memchr(free_space, '\n', static_cast<std::size_t>(got));
        std::size_t wanted =
            newline ? static_cast<std::size_t>(static_cast<char *>(newline) - free_space) + 1 : static_cast<std::size_t>(got);
        // What was peeked is there to take: this does not block.
        ssize_t taken;
        do {
            taken = recv(fd, free_space, wanted, 0);
        } while (taken < 0 && errno == EINTR);
        if (taken != static_cast<ssize_t>(wanted)) return Exchange::Lost;
        length += wanted;
        if (newline) {
            reply.set_length(length - 1);
            return Exchange::Replied;
        }
    }
}

void set_timeouts(int fd, int milliseconds) {
    timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
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
    set_timeouts(fd, kServiceTimeoutMilliseconds);
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
    return fd;
}

Exchange exchange(int fd, std::string_view request, Line &reply) {
    Exchange sent = send_all(fd, request);
    if (sent != Exchange::Replied) return sent;
    return receive_line(fd, reply);
}

Exchange send_request(int fd, std::string_view request) { return send_all(fd, request); }

Exchange receive_reply(int fd, Line &reply) { return receive_line(fd, reply); }

Exchange receive_next_reply(int fd, Line &reply) { return receive_first_line(fd, reply); }

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
