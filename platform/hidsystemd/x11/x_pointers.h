// The slave pointers of one X server, driven live from the backend
// program's GLib loop: the connection, its hierarchy events (a device that
// appears gets the current speeds at once) and the per-device knobs. Used
// on its own for a plain X11 session, and beside a desktop's settings store
// where that desktop's daemon applies the store only at login or hot-plug.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <Result.h>
#include <glib.h>
#include <hidsystem/backend_channel.h>

#include "device_knobs.h"

struct _XDisplay;

namespace hidsystemd_x11 {

class PointerSession;

class XPointers {
public:
    XPointers();
    ~XPointers();
    XPointers(const XPointers &) = delete;
    XPointers &operator=(const XPointers &) = delete;

    // Opens the display (empty: $DISPLAY) and reads its pointers. When the
    // server goes away later, `on_lost` runs and the process then exits
    // with the backend's "desktop lost" status: Xlib allows nothing else.
    Result<void> connect(const std::string &display_name, std::function<void(const std::string &)> on_lost,
                   std::function<void()> on_changed);
    void set_speeds(const hidsystem::SpeedPair &speeds);
    void restore();
    // Adds the devices; sets state, display and error when they are empty.
    void describe(hidsystem::BackendReport &report) const;
    const std::string &display_name() const { return display_name_; }
    // The devices it drives now.
    std::vector<PointerDevice> devices() const;

private:
    static gboolean on_readable(gint fd, GIOCondition condition, gpointer data);
    void drain_events();

    _XDisplay *display_ = nullptr;
    std::unique_ptr<PointerSession> session_;
    std::string display_name_;
    guint watch_ = 0;
    std::function<void()> on_changed_;
};

}  // namespace hidsystemd_x11
