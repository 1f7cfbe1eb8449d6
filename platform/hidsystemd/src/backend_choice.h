// Which desktop backend the service drives, and why: named with --backend,
// or found by --backend auto from the session's environment.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hidsystemd {

enum class BackendKind { None, X11, Gnome, Kde, Sway };

const char *kind_name(BackendKind kind);
// "none", "x11", "gnome", "kde", "sway"; nullopt for anything else.
std::optional<BackendKind> kind_from_name(std::string_view name);

struct BackendChoice {
    BackendKind kind = BackendKind::None;
    std::string reason;
};

// The rule of --backend auto, first match wins: XDG_CURRENT_DESKTOP
// naming GNOME, then KDE (any case, anywhere in its list); SWAYSOCK set;
// DISPLAY set; otherwise none. A null or empty value counts as unset.
BackendChoice choose_backend(const char *current_desktop, const char *sway_socket, const char *display);
// The same, from this process's environment.
BackendChoice choose_backend_from_environment();

}  // namespace hidsystemd
