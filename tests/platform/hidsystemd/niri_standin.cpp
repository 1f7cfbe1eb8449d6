#include "niri_standin.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "listening_socket.h"

namespace hidsystem_test {

namespace {

// niri's reply to a request line.
std::string reply_to(const std::string &request, const std::string &version) {
    auto parsed = nlohmann::json::parse(request, nullptr, false);
    if (parsed.is_string() && parsed.get<std::string>() == "Version")
        return nlohmann::json{{"Ok", {{"Version", version}}}}.dump();
    return nlohmann::json{{"Err", "error parsing request"}}.dump();
}

// One line from the client, waiting at most a few seconds for it.
std::string read_line(int client) {
    std::string line;
    char buffer[512];
    while (line.find('\n') == std::string::npos) {
        pollfd watched{client, POLLIN, 0};
        if (poll(&watched, 1, 5000) <= 0) break;
        ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        line.append(buffer, static_cast<std::size_t>(got));
    }
    return line.substr(0, line.find('\n'));
}

}  // namespace

NiriStandin::NiriStandin(std::string path, std::string version) : path_(std::move(path)), version_(std::move(version)) {
    listen_fd_ = listen_at(path_);
    if (pipe(wake_) != 0) throw std::runtime_error("the niri stand-in cannot make its wake-up pipe");
    thread_ = std::thread([this] { serve(); });
}

NiriStandin::~NiriStandin() {
    stop();
    close(wake_[0]);
    close(wake_[1]);
}

void NiriStandin::stop() {
    if (!thread_.joinable()) return;
    [[maybe_unused]] ssize_t written = write(wake_[1], "x", 1);
    thread_.join();
    close(listen_fd_);
    unlink(path_.c_str());
}

std::vector<std::string> NiriStandin::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void NiriStandin::answer_with(std::string line) {
    std::lock_guard lock(mutex_);
    reply_ = std::move(line);
}

void NiriStandin::hang_up_on_requests() {
    std::lock_guard lock(mutex_);
    hang_up_ = true;
}

void NiriStandin::serve() {
    for (;;) {
        pollfd fds[] = {{wake_[0], POLLIN, 0}, {listen_fd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[0].revents) return;
        int client = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        answer(client);
        close(client);
    }
}

void NiriStandin::answer(int client) {
    std::string request = read_line(client);
    std::string reply;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        if (hang_up_) return;
        reply = reply_ ? *reply_ : reply_to(request, version_);
    }
    reply += "\n";
    [[maybe_unused]] ssize_t sent = send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
}

}  // namespace hidsystem_test
