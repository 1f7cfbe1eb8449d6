// A stand-in for sway's IPC socket, written from the i3-ipc framing and the
// two messages the desktop backend sends: it records every RUN_COMMAND,
// applies `input type:TYPE accel_profile|pointer_accel VALUE` to its
// devices of that type, and answers GET_INPUTS with them. Served by a
// thread of the test.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace hidsystem_test {

struct StandinInput {
    std::string identifier;
    std::string type;  // "pointer", "touchpad", "keyboard"
    std::string profile;
    double speed = 0;
};

class SwayStandin {
public:
    SwayStandin(std::string path, std::vector<StandinInput> inputs);
    ~SwayStandin();
    SwayStandin(const SwayStandin &) = delete;
    SwayStandin &operator=(const SwayStandin &) = delete;

    const std::string &path() const { return path_; }
    std::vector<std::string> commands() const;
    std::optional<StandinInput> input(const std::string &identifier) const;
    // Someone else sets one device (as `input IDENTIFIER ...` would).
    void set_input(const std::string &identifier, const std::string &profile, double speed);
    // sway goes away: every connection and the socket close.
    void stop();
    // The next RUN_COMMAND closes its connection unanswered and unapplied,
    // as a sway that goes away in the middle of a change would.
    void hang_up_at_next_command() { hang_up_ = true; }

private:
    void serve();
    bool answer(int fd, std::string &buffer);
    std::string reply_to(unsigned type, const std::string &payload);

    std::string path_;
    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};
    mutable std::mutex mutex_;
    std::vector<StandinInput> inputs_;
    std::vector<std::string> commands_;
    std::atomic<bool> hang_up_{false};
    std::thread thread_;
};

}  // namespace hidsystem_test
