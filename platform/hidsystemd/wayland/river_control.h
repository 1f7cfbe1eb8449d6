// river's command interface (zriver_control_v1): the commands riverctl
// sends, each answered by success with its output or failure with a
// message. One command at a time, each waited for with a time limit.
#pragma once

#include <string>
#include <vector>

#include <Result.h>

#include "wayland_display.h"

struct wl_seat;
struct zriver_control_v1;

namespace hidsystemd_wayland {

struct RiverAnswer {
    bool succeeded = false;
    std::string text;  // the output, or why river refused
};

class RiverControl {
public:
    RiverControl() = default;
    ~RiverControl();
    RiverControl(const RiverControl &) = delete;
    RiverControl &operator=(const RiverControl &) = delete;

    // Empty name: $WAYLAND_DISPLAY. Fails when the display offers no
    // river control or no seat.
    Status connect(const std::string &display_name);
    // A failure only when the connection fails or river stays silent; a
    // refused command is an answer.
    Result<RiverAnswer> run(const std::vector<std::string> &arguments);
    int fd() const { return display_.fd(); }
    Status dispatch_pending() { return display_.dispatch_pending(); }

private:
    WaylandDisplay display_;
    zriver_control_v1 *control_ = nullptr;
    wl_seat *seat_ = nullptr;
};

}  // namespace hidsystemd_wayland
