#include "sway_standin.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "listening_socket.h"

namespace hidsystem_test {

namespace {

constexpr std::size_t kHeader = 14;  // "i3-ipc", length, type
constexpr unsigned kRunCommand = 0;
constexpr unsigned kSubscribe = 2;
constexpr unsigned kGetInputs = 100;
constexpr unsigned kWorkspaceEvent = 0x80000000u;

std::string frame(unsigned type, const std::string &payload) {
    std::string message = "i3-ipc";
    auto length = static_cast<std::uint32_t>(payload.size());
    auto kind = static_cast<std::uint32_t>(type);
    message.append(reinterpret_cast<const char *>(&length), sizeof length);
    message.append(reinterpret_cast<const char *>(&kind), sizeof kind);
    return message + payload;
}

}  // namespace

SwayStandin::SwayStandin(std::string path, std::vector<StandinInput> inputs)
    : path_(std::move(path)), inputs_(inputs), configured_(std::move(inputs)) {
    listen_fd_ = listen_at(path_);
    if (pipe(wake_) != 0) throw std::runtime_error("the sway stand-in cannot make its wake-up pipe");
    thread_ = std::thread([this] { serve(); });
}

SwayStandin::~SwayStandin() {
    stop();
    close(wake_[0]);
    close(wake_[1]);
}

void SwayStandin::stop() {
    if (!thread_.joinable()) return;
    [[maybe_unused]] ssize_t written = write(wake_[1], "x", 1);
    thread_.join();
    close(listen_fd_);
    unlink(path_.c_str());
}

std::vector<std::string> SwayStandin::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

std::optional<StandinInput> SwayStandin::input(const std::string &identifier) const {
    std::lock_guard lock(mutex_);
    for (const StandinInput &input : inputs_)
        if (input.identifier == identifier) return input;
    return std::nullopt;
}

void SwayStandin::set_input(const std::string &identifier, const std::string &profile, double speed) {
    std::lock_guard lock(mutex_);
    for (StandinInput &input : inputs_)
        if (input.identifier == identifier) {
            input.profile = profile;
            input.speed = speed;
        }
}

void SwayStandin::answer_commands_with(std::string payload) {
    std::lock_guard lock(mutex_);
    command_reply_ = std::move(payload);
}

void SwayStandin::reload() {
    std::unique_lock lock(mutex_);
    ++reloads_wanted_;
    [[maybe_unused]] ssize_t written = write(wake_[1], "r", 1);
    reloaded_.wait(lock, [&] { return reloads_wanted_ == 0; });
}

void SwayStandin::serve() {
    std::map<int, std::string> clients;  // fd -> bytes not yet handled
    for (;;) {
        std::vector<pollfd> fds = {{wake_[0], POLLIN, 0}, {listen_fd_, POLLIN, 0}};
        for (const auto &[fd, buffer] : clients) fds.push_back({fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) continue;
        if (fds[0].revents) {
            char why = 'x';
            [[maybe_unused]] ssize_t got = read(wake_[0], &why, 1);
            if (why != 'r') break;
            std::lock_guard lock(mutex_);
            inputs_ = configured_;
            std::string event = frame(kWorkspaceEvent, R"({"change":"reload","old":null,"current":null})");
            for (int fd : subscribers_) [[maybe_unused]] ssize_t sent = send(fd, event.data(), event.size(), MSG_NOSIGNAL);
            reloads_wanted_ = 0;
            reloaded_.notify_all();
            continue;
        }
        if (fds[1].revents) {
            int client = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) clients[client];
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            if (!answer(fds[i].fd, clients[fds[i].fd])) {
                std::lock_guard lock(mutex_);
                std::erase(subscribers_, fds[i].fd);
                close(fds[i].fd);
                clients.erase(fds[i].fd);
            }
        }
    }
    for (const auto &[fd, buffer] : clients) close(fd);
}

// Reads what is there and answers every whole message; false at the end.
bool SwayStandin::answer(int fd, std::string &buffer) {
    char chunk[4096];
    ssize_t got = recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0) return false;
    buffer.append(chunk, static_cast<std::size_t>(got));
    while (buffer.size() >= kHeader) {
        std::uint32_t length = 0, type = 0;
        std::memcpy(&length, buffer.data() + 6, sizeof length);
        std::memcpy(&type, buffer.data() + 10, sizeof type);
        if (buffer.compare(0, 6, "i3-ipc") != 0) return false;
        if (buffer.size() < kHeader + length) break;
        if (type == kRunCommand && hang_up_.exchange(false)) return false;
        if (type == kSubscribe) {
            std::lock_guard lock(mutex_);
            subscribers_.push_back(fd);
        }
        std::string reply = frame(type, reply_to(type, buffer.substr(kHeader, length)));
        buffer.erase(0, kHeader + length);
        if (send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(reply.size())) return false;
    }
    return true;
}

std::string SwayStandin::reply_to(unsigned type, const std::string &payload) {
    std::lock_guard lock(mutex_);
    if (type == kGetInputs) {
        nlohmann::json inputs = nlohmann::json::array();
        for (const StandinInput &input : inputs_) {
            nlohmann::json entry = {{"identifier", input.identifier}, {"name", "Stand-in " + input.type},
                                    {"type", input.type}};
            if (input.type != "keyboard")
                entry["libinput"] = {{"accel_profile", input.profile}, {"accel_speed", input.speed}};
            inputs.push_back(entry);
        }
        return inputs.dump();
    }
    if (type == kSubscribe)
        return payload == R"(["workspace"])" ? R"({"success":true})" : R"({"success":false})";
    if (type != kRunCommand) return R"([{"success":false,"error":"unknown message"}])";
    commands_.push_back(payload);
    if (command_reply_) return *command_reply_;
    std::istringstream words(payload);
    std::string verb, selector, key, value;
    words >> verb >> selector >> key >> value;
    if (verb != "input" || !selector.starts_with("type:") || value.empty())
        return R"([{"success":false,"error":"not understood"}])";
    for (StandinInput &input : inputs_) {
        if (input.type != selector.substr(5)) continue;
        if (key == "accel_profile") input.profile = value;
        if (key == "pointer_accel") input.speed = std::stod(value);
    }
    return R"([{"success":true}])";
}

}  // namespace hidsystem_test
