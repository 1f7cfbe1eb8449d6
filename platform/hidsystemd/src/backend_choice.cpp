#include "backend_choice.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace hidsystemd {

namespace {

bool is_set(const char *value) { return value && value[0] != '\0'; }

bool names(std::string_view desktops, std::string_view wanted) {
    auto found = std::search(desktops.begin(), desktops.end(), wanted.begin(), wanted.end(), [](char a, char b) {
        return std::toupper(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
    });
    return found != desktops.end();
}

}  // namespace

const char *kind_name(BackendKind kind) {
    switch (kind) {
    case BackendKind::X11: return "x11";
    case BackendKind::Gnome: return "gnome";
    case BackendKind::Kde: return "kde";
    case BackendKind::Sway: return "sway";
    case BackendKind::None: break;
    }
    return "none";
}

std::optional<BackendKind> kind_from_name(std::string_view name) {
    for (BackendKind kind : {BackendKind::None, BackendKind::X11, BackendKind::Gnome, BackendKind::Kde, BackendKind::Sway})
        if (name == kind_name(kind)) return kind;
    return std::nullopt;
}

BackendChoice choose_backend(const char *current_desktop, const char *sway_socket, const char *display) {
    std::string desktops = is_set(current_desktop) ? current_desktop : "";
    if (names(desktops, "GNOME")) return {BackendKind::Gnome, "XDG_CURRENT_DESKTOP=" + desktops + " names GNOME"};
    if (names(desktops, "KDE")) return {BackendKind::Kde, "XDG_CURRENT_DESKTOP=" + desktops + " names KDE"};
    if (is_set(sway_socket)) return {BackendKind::Sway, std::string("SWAYSOCK is set (") + sway_socket + ")"};
    if (is_set(display)) return {BackendKind::X11, std::string("DISPLAY is set (") + display + ")"};
    return {BackendKind::None, "no GNOME or KDE in XDG_CURRENT_DESKTOP, no SWAYSOCK, no DISPLAY"};
}

BackendChoice choose_backend_from_environment() {
    return choose_backend(std::getenv("XDG_CURRENT_DESKTOP"), std::getenv("SWAYSOCK"), std::getenv("DISPLAY"));
}

}  // namespace hidsystemd
