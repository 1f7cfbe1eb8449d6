#include "baseline_server.h"

#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace glissor_bench {

namespace {

constexpr char kRequest[] = "HIDSYSTEM/1 SET HIDMouseAcceleration 00000100\n";
constexpr char kReply[] = "HIDSYSTEM/1 OK\n";
constexpr int kExchanges = 3;

sockaddr_un address_of(const std::string &path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

// Reads until a LF, spinning rather than sleeping; false at end of stream.
bool read_line_awake(int fd) {
    char buffer[256];
    for (;;) {
        ssize_t got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0 && std::memchr(buffer, '\n', static_cast<size_t>(got))) return true;
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return false;
        if (got < 0) sched_yield();
    }
}

[[noreturn]] void serve(int listen_fd) {
    for (;;) {
        int fd = accept(listen_fd, nullptr, nullptr);
        if (fd < 0) continue;
        while (read_line_awake(fd)) {
            if (send(fd, kReply, sizeof kReply - 1, MSG_NOSIGNAL) < 0) break;
        }
        close(fd);
    }
}

}  // namespace

BaselineServer::BaselineServer(std::string path) : path_(std::move(path)) {
    unlink(path_.c_str());
    int listen_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = address_of(path_);
    if (listen_fd < 0 || bind(listen_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(listen_fd, 16) != 0)
        return;
    pid_ = fork();
    if (pid_ == 0) serve(listen_fd);
    close(listen_fd);
}

BaselineServer::~BaselineServer() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    unlink(path_.c_str());
}

bool BaselineServer::three_exchanges() const {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = address_of(path_);
    bool ok = fd >= 0 && connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    for (int i = 0; ok && i < kExchanges; ++i)
        ok = send(fd, kRequest, sizeof kRequest - 1, MSG_NOSIGNAL) > 0 && read_line_awake(fd);
    if (fd >= 0) close(fd);
    return ok;
}

}  // namespace glissor_bench
