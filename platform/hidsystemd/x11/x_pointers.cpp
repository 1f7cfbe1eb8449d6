#include "x_pointers.h"

#include <X11/Xlib.h>
#include <glib-unix.h>
#include <unistd.h>

#include "backend_program.h"
#include "pointer_session.h"
#include "x_errors.h"

namespace hidsystemd_x11 {

namespace {

// Xlib's I/O error handler cannot reach an object and must not return.
std::function<void(const std::string &)> lost_callback;
std::string lost_display;

[[noreturn]] void on_display_lost() {
    if (lost_callback) lost_callback("lost the connection to the X server " + lost_display);
    _exit(hidsystemd_backend::kExitDesktopLost);
}

}  // namespace

XPointers::XPointers() = default;

XPointers::~XPointers() {
    if (watch_) g_source_remove(watch_);
    session_.reset();
    if (display_) XCloseDisplay(display_);
}

Result<void> XPointers::connect(const std::string &display_name, std::function<void(const std::string &)> on_lost,
                          std::function<void()> on_changed) {
    const char *inherited = std::getenv("DISPLAY");
    display_name_ = !display_name.empty() ? display_name : inherited ? inherited : "";
    lost_callback = std::move(on_lost);
    lost_display = display_name_;
    on_changed_ = std::move(on_changed);
    install_error_handlers(on_display_lost);
    display_ = XOpenDisplay(display_name_.c_str());
    if (!display_) return Failure("cannot open the X display \"" + display_name_ + "\"");
    session_ = std::make_unique<PointerSession>(display_);
    if (Result<void> started = session_->start(); !started) return started;
    watch_ = g_unix_fd_add(ConnectionNumber(display_), G_IO_IN, on_readable, this);
    drain_events();
    return Result<void>::success();
}

// Replies read during a write can bring events with them, which leave the
// socket quiet: the queue is emptied after every conversation, not only
// when the socket is readable.
void XPointers::drain_events() {
    bool changed = false;
    while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        session_->on_event(event);
        changed = true;
    }
    if (changed && on_changed_) on_changed_();
}

gboolean XPointers::on_readable(gint, GIOCondition, gpointer data) {
    static_cast<XPointers *>(data)->drain_events();
    return G_SOURCE_CONTINUE;
}

void XPointers::set_speeds(const hidsystem::SpeedPair &speeds) {
    session_->set_speeds(speeds);
    drain_events();
}

std::vector<PointerDevice> XPointers::devices() const {
    return session_ ? session_->devices() : std::vector<PointerDevice>{};
}

void XPointers::restore() {
    if (session_) session_->restore();
}

void XPointers::describe(hidsystem::BackendReport &report) const {
    hidsystem::BackendReport own = session_->report(report.applied_sequence);
    if (report.state.empty()) report.state = own.state;
    if (report.display.empty()) report.display = own.display;
    if (report.error.empty()) report.error = own.error;
    for (auto &device : own.devices) report.devices.push_back(std::move(device));
}

}  // namespace hidsystemd_x11
