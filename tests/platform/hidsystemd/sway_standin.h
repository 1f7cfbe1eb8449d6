// A stand-in for sway's IPC socket, written from the i3-ipc framing and the
// messages the desktop backend sends: it records every RUN_COMMAND,
// applies `input type:TYPE accel_profile|pointer_accel VALUE` to its
// devices of that type, answers GET_INPUTS with them, and takes SUBSCRIBE
// to workspace events. A reload, as sway 1.7 does it (sway/commands/
// reload.c), puts every device back to its configured values and then
// sends subscribers a workspace event whose change is "reload". Served by
// a thread of the test.
#pragma once

#include <atomic>
#include <condition_variable>
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
    // From now on RUN_COMMAND gets this payload as its reply (unapplied).
    void answer_commands_with(std::string payload);
    // `swaymsg reload`; returns once the event is sent.
    void reload();

private:
    void serve();
    bool answer(int fd, std::string &buffer);
    std::string reply_to(unsigned type, const std::string &payload);

    std::string path_;
    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};
    mutable std::mutex mutex_;
    std::vector<StandinInput> inputs_;
    const std::vector<StandinInput> configured_;
    std::vector<std::string> commands_;
    std::optional<std::string> command_reply_;
    std::vector<int> subscribers_;
    int reloads_wanted_ = 0;
    std::condition_variable reloaded_;
    std::atomic<bool> hang_up_{false};
    std::thread thread_;
};

}  // namespace hidsystem_test
