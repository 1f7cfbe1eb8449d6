#include "wayland_display.h"

#include <poll.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstring>

namespace hidsystemd_wayland {

namespace {

using Clock = std::chrono::steady_clock;

void on_global(void *data, wl_registry *, std::uint32_t name, const char *interface, std::uint32_t version) {
    static_cast<std::vector<WaylandGlobal> *>(data)->push_back({name, interface, version});
}

void on_global_remove(void *data, wl_registry *, std::uint32_t name) {
    auto *globals = static_cast<std::vector<WaylandGlobal> *>(data);
    std::erase_if(*globals, [name](const WaylandGlobal &global) { return global.name == name; });
}

const wl_registry_listener kRegistryListener = {on_global, on_global_remove};

void on_done(void *data, wl_callback *callback, std::uint32_t) {
    *static_cast<bool *>(data) = true;
    wl_callback_destroy(callback);
}

const wl_callback_listener kSyncListener = {on_done};

int milliseconds_left(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

WaylandDisplay::~WaylandDisplay() {
    if (registry_) wl_registry_destroy(registry_);
    if (display_) wl_display_disconnect(display_);
}

Status WaylandDisplay::connect(const std::string &name, std::chrono::milliseconds limit) {
    display_ = wl_display_connect(name.empty() ? nullptr : name.c_str());
    if (!display_)
        return Failure("cannot connect to the Wayland display " + (name.empty() ? std::string("(unset)") : name) +
                       ": " + std::strerror(errno));
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, &globals_);
    return read_globals(limit);
}

Status WaylandDisplay::read_globals(std::chrono::milliseconds limit) {
    bool synced = false;
    wl_callback *sync = wl_display_sync(display_);
    wl_callback_add_listener(sync, &kSyncListener, &synced);
    Status status = dispatch_until([&] { return synced; }, limit);
    if (!status) return Failure("the Wayland display did not list its globals: " + status.message());
    return Status::success();
}

const WaylandGlobal *WaylandDisplay::find(const std::string &interface) const {
    for (const WaylandGlobal &global : globals_)
        if (global.interface == interface) return &global;
    return nullptr;
}

Result<void *> WaylandDisplay::bind(const std::string &interface, const wl_interface *type, std::uint32_t max_version) {
    const WaylandGlobal *global = find(interface);
    if (!global) return Failure("the Wayland display offers no " + interface);
    std::uint32_t version = global->version < max_version ? global->version : max_version;
    return wl_registry_bind(registry_, global->name, type, version);
}

int WaylandDisplay::fd() const { return display_ ? wl_display_get_fd(display_) : -1; }

Status WaylandDisplay::connection_error() const {
    int error = wl_display_get_error(display_);
    if (error == EPROTO) return Failure("the compositor ended the connection for a protocol error");
    return Failure(std::string("the Wayland connection failed: ") + std::strerror(error ? error : EPIPE));
}

// libwayland's own round trip waits without a limit; this one reads with
// poll, so a compositor that never answers costs at most the limit.
Status WaylandDisplay::dispatch_until(const std::function<bool()> &done, std::chrono::milliseconds limit) {
    auto deadline = Clock::now() + limit;
    while (!done()) {
        while (wl_display_prepare_read(display_) != 0)
            if (wl_display_dispatch_pending(display_) < 0) return connection_error();
        if (done()) {
            wl_display_cancel_read(display_);
            break;
        }
        if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display_);
            return connection_error();
        }
        pollfd watched{wl_display_get_fd(display_), POLLIN, 0};
        int ready = poll(&watched, 1, milliseconds_left(deadline));
        if (ready <= 0) {
            wl_display_cancel_read(display_);
            if (ready < 0 && errno == EINTR) continue;
            return Failure(ready == 0 ? "the compositor did not answer in time" : std::strerror(errno));
        }
        if (wl_display_read_events(display_) < 0) return connection_error();
        if (wl_display_dispatch_pending(display_) < 0) return connection_error();
    }
    return Status::success();
}

// Reads only what is there: the descriptor may have been read already by
// a wait for an answer, and a blocking read would hang the backend.
Status WaylandDisplay::dispatch_pending() {
    while (wl_display_prepare_read(display_) != 0)
        if (wl_display_dispatch_pending(display_) < 0) return connection_error();
    pollfd watched{wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&watched, 1, 0) <= 0) {
        wl_display_cancel_read(display_);
        return Status::success();
    }
    if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0) return connection_error();
    return Status::success();
}

std::vector<std::string> wayland_global_names(const std::string &display_name, std::chrono::milliseconds limit) {
    WaylandDisplay display;
    std::vector<std::string> names;
    if (!display.connect(display_name, limit)) return names;
    for (const WaylandGlobal &global : display.globals()) names.push_back(global.interface);
    return names;
}

}  // namespace hidsystemd_wayland
