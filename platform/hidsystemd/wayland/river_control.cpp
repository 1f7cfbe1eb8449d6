#include "river_control.h"

#include <wayland-client.h>

#include <optional>

#include "river-control-unstable-v1-client-protocol.h"

namespace hidsystemd_wayland {

namespace {

using namespace std::chrono_literals;

constexpr auto kConnectLimit = 2000ms;
constexpr auto kAnswerLimit = 2000ms;

void on_success(void *data, zriver_command_callback_v1 *, const char *output) {
    *static_cast<std::optional<RiverAnswer> *>(data) = RiverAnswer{true, output ? output : ""};
}

void on_failure(void *data, zriver_command_callback_v1 *, const char *message) {
    *static_cast<std::optional<RiverAnswer> *>(data) = RiverAnswer{false, message ? message : ""};
}

const zriver_command_callback_v1_listener kCallbackListener = {on_success, on_failure};

}  // namespace

RiverControl::~RiverControl() {
    if (control_) zriver_control_v1_destroy(control_);
    if (seat_) wl_seat_destroy(seat_);
}

Status RiverControl::connect(const std::string &display_name) {
    if (Status connected = display_.connect(display_name, kConnectLimit); !connected) return connected;
    auto control = display_.bind("zriver_control_v1", &zriver_control_v1_interface, 1);
    if (!control) return Failure("not river: " + control.message());
    control_ = static_cast<zriver_control_v1 *>(*control);
    auto seat = display_.bind("wl_seat", &wl_seat_interface, 1);
    if (!seat) return seat.failure();
    seat_ = static_cast<wl_seat *>(*seat);
    return Status::success();
}

Result<RiverAnswer> RiverControl::run(const std::vector<std::string> &arguments) {
    for (const std::string &argument : arguments) zriver_control_v1_add_argument(control_, argument.c_str());
    std::optional<RiverAnswer> answer;
    zriver_command_callback_v1 *callback = zriver_control_v1_run_command(control_, seat_);
    zriver_command_callback_v1_add_listener(callback, &kCallbackListener, &answer);
    Status waited = display_.dispatch_until([&] { return answer.has_value(); }, kAnswerLimit);
    // river destroys the callback once it has answered; this side lets go
    // of its proxy either way.
    zriver_command_callback_v1_destroy(callback);
    if (!waited) return waited.failure();
    return *answer;
}

}  // namespace hidsystemd_wayland
