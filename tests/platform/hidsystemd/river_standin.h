// A stand-in for river 0.3's command interface, served by a thread of the
// test on a Wayland socket of its own. It offers wl_seat and
// zriver_control_v1 (river's protocol/river-control-unstable-v1.xml: the
// arguments of a command one by one, run for a seat, a callback answering
// success with output or failure with a message) and runs the commands as
// river 0.3.x does in river/command/input.zig and river/InputConfig.zig:
//   list-inputs          "IDENTIFIER\n\tconfigured: BOOL\n" a device, a
//                        blank line between them
//   list-input-configs   "IDENTIFIER\n\taccel-profile: P\n\tpointer-accel:
//                        S\n" a configured identifier
//   input ID accel-profile none|flat|adaptive, input ID pointer-accel S
//                        (clamped to [-1, 1]); exactly four arguments.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct wl_display;

namespace hidsystem_test {

struct RiverSetting {
    std::optional<std::string> profile;
    std::optional<double> speed;
};

class RiverStandin {
public:
    // Listens on `socket_path` (an absolute WAYLAND_DISPLAY); devices are
    // river identifiers, "pointer-1-2-Name".
    RiverStandin(std::string socket_path, std::vector<std::string> devices,
                 std::map<std::string, RiverSetting> configured = {});
    ~RiverStandin();
    RiverStandin(const RiverStandin &) = delete;
    RiverStandin &operator=(const RiverStandin &) = delete;

    // Every `input` command run, its arguments joined by blanks.
    std::vector<std::string> commands() const;
    std::optional<RiverSetting> setting(const std::string &identifier) const;
    // Someone else configures a device, as riverctl would.
    void configure(const std::string &identifier, const std::string &profile, double speed);
    // From now on: list-inputs answers this text; every command fails with
    // this message; no command is answered at all.
    void answer_inputs_with(std::string text);
    void refuse_commands(std::string message);
    void stall();
    // river goes away: the socket and every connection close.
    void stop();

    // For the protocol handlers.
    struct Answer {
        bool succeeded = true;
        std::string text;
        bool silent = false;
    };
    Answer run(const std::vector<std::string> &arguments);

private:
    void serve();
    Answer run_input(const std::vector<std::string> &arguments);

    std::string socket_path_;
    wl_display *display_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> devices_;
    std::map<std::string, RiverSetting> settings_;
    std::vector<std::string> commands_;
    std::optional<std::string> inputs_answer_;
    std::optional<std::string> refusal_;
    bool stalled_ = false;
};

}  // namespace hidsystem_test
