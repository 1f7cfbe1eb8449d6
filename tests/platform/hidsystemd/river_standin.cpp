#include "river_standin.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <wayland-server.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "listening_socket.h"
#include "river-control-unstable-v1-server-protocol.h"

namespace hidsystem_test {

namespace {

// The arguments of the command being built, one list a control object.
struct ControlState {
    RiverStandin *standin = nullptr;
    std::vector<std::string> arguments;
};

void seat_get_device(wl_client *client, wl_resource *seat, std::uint32_t id, const wl_interface *type) {
    wl_resource *device = wl_resource_create(client, type, wl_resource_get_version(seat), id);
    if (device) wl_resource_set_implementation(device, nullptr, nullptr, nullptr);
}

const struct wl_seat_interface kSeat = {
    [](wl_client *client, wl_resource *seat, std::uint32_t id) { seat_get_device(client, seat, id, &wl_pointer_interface); },
    [](wl_client *client, wl_resource *seat, std::uint32_t id) { seat_get_device(client, seat, id, &wl_keyboard_interface); },
    [](wl_client *client, wl_resource *seat, std::uint32_t id) { seat_get_device(client, seat, id, &wl_touch_interface); },
    [](wl_client *, wl_resource *seat) { wl_resource_destroy(seat); },
};

void bind_seat(wl_client *client, void *, std::uint32_t version, std::uint32_t id) {
    wl_resource *seat = wl_resource_create(client, &wl_seat_interface, static_cast<int>(version), id);
    if (seat) wl_resource_set_implementation(seat, &kSeat, nullptr, nullptr);
}

void control_add_argument(wl_client *, wl_resource *control, const char *argument) {
    static_cast<ControlState *>(wl_resource_get_user_data(control))->arguments.emplace_back(argument);
}

void control_run_command(wl_client *client, wl_resource *control, wl_resource *, std::uint32_t id) {
    auto *state = static_cast<ControlState *>(wl_resource_get_user_data(control));
    wl_resource *callback = wl_resource_create(client, &zriver_command_callback_v1_interface, 1, id);
    std::vector<std::string> arguments = std::move(state->arguments);
    state->arguments.clear();
    if (!callback) return;
    wl_resource_set_implementation(callback, nullptr, nullptr, nullptr);
    RiverStandin::Answer answer = state->standin->run(arguments);
    if (answer.silent) return;
    if (answer.succeeded)
        zriver_command_callback_v1_send_success(callback, answer.text.c_str());
    else
        zriver_command_callback_v1_send_failure(callback, answer.text.c_str());
    wl_resource_destroy(callback);
}

const struct zriver_control_v1_interface kControl = {
    [](wl_client *, wl_resource *control) { wl_resource_destroy(control); },
    control_add_argument,
    control_run_command,
};

void bind_control(wl_client *client, void *data, std::uint32_t version, std::uint32_t id) {
    wl_resource *control = wl_resource_create(client, &zriver_control_v1_interface, static_cast<int>(version), id);
    if (!control) return;
    auto *state = new ControlState{static_cast<RiverStandin *>(data), {}};
    wl_resource_set_implementation(control, &kControl, state,
                                   [](wl_resource *resource) { delete static_cast<ControlState *>(wl_resource_get_user_data(resource)); });
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace

RiverStandin::RiverStandin(std::string socket_path, std::vector<std::string> devices,
                           std::map<std::string, RiverSetting> configured)
    : socket_path_(std::move(socket_path)), devices_(std::move(devices)), settings_(std::move(configured)) {
    display_ = wl_display_create();
    if (wl_display_add_socket_fd(display_, listen_at(socket_path_)) != 0)
        throw std::runtime_error("river stand-in: wl_display_add_socket_fd failed");
    wl_global_create(display_, &wl_seat_interface, 1, this, bind_seat);
    wl_global_create(display_, &zriver_control_v1_interface, 1, this, bind_control);
    thread_ = std::thread([this] { serve(); });
}

RiverStandin::~RiverStandin() { stop(); }

void RiverStandin::serve() {
    wl_event_loop *loop = wl_display_get_event_loop(display_);
    while (!stopping_) {
        wl_event_loop_dispatch(loop, 20);
        wl_display_flush_clients(display_);
    }
}

void RiverStandin::stop() {
    if (!display_) return;
    stopping_ = true;
    thread_.join();
    wl_display_destroy_clients(display_);
    wl_display_destroy(display_);
    display_ = nullptr;
    unlink(socket_path_.c_str());
}

RiverStandin::Answer RiverStandin::run(const std::vector<std::string> &arguments) {
    std::lock_guard lock(mutex_);
    if (stalled_) return {true, "", true};
    if (refusal_) return {false, *refusal_};
    if (arguments.empty()) return {false, "no command given"};
    const std::string &command = arguments[0];
    if (command == "list-inputs") {
        if (inputs_answer_) return {true, *inputs_answer_};
        std::string output;
        for (const std::string &device : devices_)
            output += (output.empty() ? "" : "\n") + device + "\n\tconfigured: " +
                      (settings_.count(device) ? "true" : "false") + "\n";
        return {true, output};
    }
    if (command == "list-input-configs") {
        std::string output;
        for (const auto &[identifier, setting] : settings_) {
            output += (output.empty() ? "" : "\n") + identifier + "\n";
            if (setting.profile) output += "\taccel-profile: " + *setting.profile + "\n";
            if (setting.speed) output += "\tpointer-accel: " + number(*setting.speed) + "\n";
        }
        return {true, output};
    }
    if (command == "input") return run_input(arguments);
    return {false, "unknown command"};
}

RiverStandin::Answer RiverStandin::run_input(const std::vector<std::string> &arguments) {
    if (arguments.size() < 4) return {false, "not enough arguments"};
    if (arguments.size() > 4) return {false, "too many arguments"};
    const std::string &identifier = arguments[1], &key = arguments[2], &value = arguments[3];
    RiverSetting changed = settings_[identifier];
    if (key == "accel-profile") {
        if (value != "none" && value != "flat" && value != "adaptive") return {false, "unknown option"};
        changed.profile = value;
    } else if (key == "pointer-accel") {
        double speed = 0;
        auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), speed);
        if (error != std::errc() || end != value.data() + value.size()) return {false, "invalid character"};
        changed.speed = std::clamp(speed, -1.0, 1.0);
    } else {
        return {false, "unknown command"};
    }
    settings_[identifier] = changed;
    commands_.push_back("input " + identifier + " " + key + " " + value);
    return {true, ""};
}

std::vector<std::string> RiverStandin::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

std::optional<RiverSetting> RiverStandin::setting(const std::string &identifier) const {
    std::lock_guard lock(mutex_);
    auto found = settings_.find(identifier);
    return found == settings_.end() ? std::nullopt : std::optional<RiverSetting>(found->second);
}

void RiverStandin::configure(const std::string &identifier, const std::string &profile, double speed) {
    std::lock_guard lock(mutex_);
    settings_[identifier] = {profile, speed};
}

void RiverStandin::answer_inputs_with(std::string text) {
    std::lock_guard lock(mutex_);
    inputs_answer_ = std::move(text);
}

void RiverStandin::refuse_commands(std::string message) {
    std::lock_guard lock(mutex_);
    refusal_ = std::move(message);
}

void RiverStandin::stall() {
    std::lock_guard lock(mutex_);
    stalled_ = true;
}

}  // namespace hidsystem_test
