#include <hidsystem/session_facts.h>

#include <cctype>
#include <cstdlib>
#include <utility>

namespace hidsystem {

namespace {

// Every variable a row of the table of kinds may ask about.
constexpr const char *kSessionVariables[] = {
    "XDG_CURRENT_DESKTOP", "XDG_SESSION_TYPE",  "WAYLAND_DISPLAY", "DISPLAY",
    "SWAYSOCK",            "KDE_SESSION_VERSION", "HYPRLAND_INSTANCE_SIGNATURE", "NIRI_SOCKET",
    "LABWC_PID",           "WAYFIRE_CONFIG_FILE", "DESKTOP_SESSION",
};

bool same_without_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

SessionFacts SessionFacts::from_environment() {
    std::map<std::string, std::string> variables;
    for (const char *name : kSessionVariables)
        if (const char *value = std::getenv(name)) variables[name] = value;
    return from(std::move(variables));
}

SessionFacts SessionFacts::from(std::map<std::string, std::string> variables) {
    SessionFacts facts;
    for (auto &[name, value] : variables)
        if (!value.empty()) facts.variables_.emplace(name, std::move(value));
    return facts;
}

std::string SessionFacts::value(std::string_view name) const {
    auto found = variables_.find(name);
    return found == variables_.end() ? std::string() : found->second;
}

bool SessionFacts::desktop_is(std::string_view name) const {
    std::string desktops = value("XDG_CURRENT_DESKTOP");
    std::string_view rest = desktops;
    for (;;) {
        std::size_t colon = rest.find(':');
        if (same_without_case(rest.substr(0, colon), name)) return true;
        if (colon == std::string_view::npos) return false;
        rest.remove_prefix(colon + 1);
    }
}

bool SessionFacts::is_wayland() const {
    return same_without_case(value("XDG_SESSION_TYPE"), "wayland") || has("WAYLAND_DISPLAY");
}

bool SessionFacts::offers_wayland_global(std::string_view interface) const {
    for (const std::string &offered : wayland_globals_)
        if (offered == interface) return true;
    return false;
}

}  // namespace hidsystem
