// A connection to a Wayland display, for the little the service and its
// backends ask of one: which globals it offers, binding one, and waiting
// for answers with a time limit (a compositor that stalls must not hang
// the service at start, nor a backend).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <Result.h>

struct wl_display;
struct wl_registry;
struct wl_interface;

namespace hidsystemd_wayland {

struct WaylandGlobal {
    std::uint32_t name = 0;
    std::string interface;
    std::uint32_t version = 0;
};

class WaylandDisplay {
public:
    WaylandDisplay() = default;
    ~WaylandDisplay();
    WaylandDisplay(const WaylandDisplay &) = delete;
    WaylandDisplay &operator=(const WaylandDisplay &) = delete;

    // Connects to the display named (as WAYLAND_DISPLAY names it; empty:
    // the environment's) and reads its globals.
    Status connect(const std::string &name, std::chrono::milliseconds limit);
    const std::vector<WaylandGlobal> &globals() const { return globals_; }
    const WaylandGlobal *find(const std::string &interface) const;
    // Binds a global the display offers, at most at max_version.
    Result<void *> bind(const std::string &interface, const wl_interface *type, std::uint32_t max_version);

    // Sends what is queued and handles events until done() holds, the
    // limit passes, or the connection fails.
    Status dispatch_until(const std::function<bool()> &done, std::chrono::milliseconds limit);
    // Handles what has arrived, without waiting; a failure when the
    // compositor went away.
    Status dispatch_pending();
    int fd() const;
    wl_display *display() const { return display_; }

private:
    Status read_globals(std::chrono::milliseconds limit);
    Status connection_error() const;

    wl_display *display_ = nullptr;
    wl_registry *registry_ = nullptr;
    std::vector<WaylandGlobal> globals_;
};

// The interfaces a display offers, for `--backend auto`; empty when it
// cannot be reached within the limit.
std::vector<std::string> wayland_global_names(const std::string &display_name, std::chrono::milliseconds limit);

}  // namespace hidsystemd_wayland
