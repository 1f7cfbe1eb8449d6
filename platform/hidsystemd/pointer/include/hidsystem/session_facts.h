// What the session says about itself through its environment: the facts
// `--backend auto` decides by. Read once, at start.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace hidsystem {

class SessionFacts {
public:
    // The variables a desktop or compositor sets, read from this process.
    static SessionFacts from_environment();
    // For tests and for `hidsystemd --backend auto` under another session:
    // only the variables given are set; an empty value counts as unset.
    static SessionFacts from(std::map<std::string, std::string> variables);

    // The value, or "" when unset or empty.
    std::string value(std::string_view name) const;
    bool has(std::string_view name) const { return !value(name).empty(); }

    // XDG_CURRENT_DESKTOP names this desktop: one of its `:`-separated
    // entries equals the name, compared without case.
    bool desktop_is(std::string_view name) const;
    // XDG_SESSION_TYPE=wayland, or WAYLAND_DISPLAY set. Every compositor
    // that runs Xwayland also sets DISPLAY, so this is asked first.
    bool is_wayland() const;

    // The interfaces the Wayland display offers (its registry's globals),
    // for compositors that set no variable of their own. Empty unless a
    // probe filled them in (wayland_probe.h).
    void set_wayland_globals(std::vector<std::string> interfaces) { wayland_globals_ = std::move(interfaces); }
    bool offers_wayland_global(std::string_view interface) const;

private:
    std::map<std::string, std::string, std::less<>> variables_;
    std::vector<std::string> wayland_globals_;
};

}  // namespace hidsystem
