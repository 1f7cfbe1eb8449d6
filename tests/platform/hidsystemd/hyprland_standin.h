// A stand-in for Hyprland's two sockets under a private XDG_RUNTIME_DIR,
// served by a thread of the test. It records every request and keeps what
// Hyprland keeps: the options `input:accel_profile` and `input:sensitivity`
// and each device's own entry, which takes precedence for that device.
//
// What it answers follows Hyprland's source, in our words:
// - src/debug/HyprCtl.cpp (0.54): a request is read, answered, and the
//   connection closed; flags stand before a "/" ("j/" asks for JSON); a
//   request it has no command for gets "unknown request". `version` gives a
//   "version" and a "tag"; `devices` lists every pointer, touchpads too,
//   under "mice" with no class of its own; `getoption` gives
//   {"option", "float"|"str", "set"}; `keyword NAME VALUE` answers "ok" or
//   the configuration parser's complaint. An empty string option reads as
//   "[[EMPTY]]".
// - hyprlang src/config.cpp: `device[NAME]:option` creates NAME's entry
//   when there is none; an unknown option is "config option <…> does not
//   exist."
// - 0.55 (src/config/lua/ConfigManager.cpp, the socket's command table):
//   the configuration is Lua, `keyword` is no command any more; `eval CODE`
//   runs the code and answers "ok" or "error: …"; `getoption` also takes
//   "input.sensitivity"; hl.config({ input = { … } }) sets options and
//   hl.device({ name = …, … }) a device's entry.
// - Both: a reload puts the configuration's values back, drops every
//   entry made at run time and writes "configreloaded>>" to every client
//   of the event socket (.socket2.sock).
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace hidsystem_test {

struct HyprOption {
    std::string profile;  // "" is libinput's own
    double sensitivity = 0;
    bool operator==(const HyprOption &) const = default;
};

class HyprlandStandin {
public:
    enum class Release { Keyword054, Lua055 };
    enum class Behaviour { Answer, Garbage, Stall, CloseEarly };

    // Serves runtime_dir/hypr/signature/.socket.sock and .socket2.sock;
    // `configured` is what the options hold at start and after a reload.
    HyprlandStandin(const std::string &runtime_dir, const std::string &signature, Release release,
                    std::vector<std::string> pointers, HyprOption configured = {"", 0});
    ~HyprlandStandin();
    HyprlandStandin(const HyprlandStandin &) = delete;
    HyprlandStandin &operator=(const HyprlandStandin &) = delete;

    std::vector<std::string> requests() const;
    // Only the requests that change something (keyword, eval).
    std::vector<std::string> writes() const;
    HyprOption options() const;
    std::optional<HyprOption> entry(const std::string &device) const;
    // What the device uses: its entry, else the options.
    HyprOption effective(const std::string &device) const;

    // Someone else changes a value.
    void set_options(const HyprOption &value);
    void set_entry(const std::string &device, const HyprOption &value);
    void behave(Behaviour behaviour);
    // `hyprctl reload`; returns once the event is sent.
    void reload();
    // Hyprland goes away: every connection and both sockets close.
    void stop();

private:
    void serve();
    void accept_request();
    void read_request(int fd);
    std::string answer(const std::string &request);
    std::string keyword(const std::string &arguments);
    std::string eval(const std::string &code);
    std::string get_option(const std::string &name) const;
    std::string version() const;
    std::string devices() const;
    void apply_reload();

    std::string directory_;
    Release release_;
    const std::vector<std::string> pointers_;
    const HyprOption configured_;
    int request_listener_ = -1;
    int event_listener_ = -1;
    int wake_[2] = {-1, -1};
    mutable std::mutex mutex_;
    HyprOption options_;
    std::map<std::string, HyprOption> entries_;
    std::vector<std::string> requests_;
    std::map<int, std::string> clients_;  // request connections, bytes so far
    std::vector<int> subscribers_;        // event connections
    std::vector<int> stalled_;
    std::atomic<Behaviour> behaviour_{Behaviour::Answer};
    int reloads_wanted_ = 0;
    std::condition_variable reloaded_;
    std::thread thread_;
};

}  // namespace hidsystem_test
