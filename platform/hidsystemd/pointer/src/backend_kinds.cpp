#include <hidsystem/backend_kinds.h>

#include <utility>

#include <hidsystem/compositor_advice.h>

namespace hidsystem {

namespace {

using Reason = std::optional<std::string>;

std::string desktop_reason(const SessionFacts &facts, std::string_view name) {
    return "XDG_CURRENT_DESKTOP=" + facts.value("XDG_CURRENT_DESKTOP") + " names " + std::string(name);
}

// The compositor of a Wayland session no row knows, for people: its name
// as the session gives it.
std::string wayland_compositor(const SessionFacts &facts) {
    std::string desktops = facts.value("XDG_CURRENT_DESKTOP");
    return desktops.empty() ? "unnamed" : desktops;
}

std::string set_reason(const SessionFacts &facts, std::string_view variable) {
    return std::string(variable) + " is set (" + facts.value(variable) + ")";
}

// The desktops whose window manager applies GNOME's keys.
Reason recognize_gnome(const SessionFacts &facts) {
    for (std::string_view name : {"GNOME", "Budgie", "Pantheon", "Unity"})
        if (facts.desktop_is(name)) return desktop_reason(facts, name);
    return std::nullopt;
}

// KWin offers its input devices on the bus only under Wayland; LXQt on
// Wayland may run on KWin too ("LXQt:kwin_wayland").
Reason recognize_kde(const SessionFacts &facts) {
    if (!facts.is_wayland()) return std::nullopt;
    if (facts.desktop_is("KDE")) return desktop_reason(facts, "KDE") + " in a Wayland session";
    if (facts.desktop_is("LXQt") && facts.desktop_is("kwin_wayland"))
        return desktop_reason(facts, "LXQt on kwin_wayland");
    return std::nullopt;
}

Reason recognize_kde_x11(const SessionFacts &facts) {
    if (!facts.is_wayland() && facts.desktop_is("KDE")) return desktop_reason(facts, "KDE") + " on X11";
    return std::nullopt;
}

Reason recognize_cinnamon(const SessionFacts &facts) {
    if (facts.desktop_is("X-Cinnamon")) return desktop_reason(facts, "X-Cinnamon");
    return std::nullopt;
}

Reason recognize_mate(const SessionFacts &facts) {
    if (facts.desktop_is("MATE")) return desktop_reason(facts, "MATE");
    return std::nullopt;
}

// Xfce on X11 only: on Wayland its compositor (labwc, wayfire) owns the
// pointer and xfsettingsd's pointer settings do nothing.
Reason recognize_xfce(const SessionFacts &facts) {
    if (!facts.is_wayland() && facts.desktop_is("XFCE")) return desktop_reason(facts, "XFCE") + " on X11";
    return std::nullopt;
}

Reason recognize_lxqt(const SessionFacts &facts) {
    if (!facts.is_wayland() && facts.desktop_is("LXQt")) return desktop_reason(facts, "LXQt") + " on X11";
    return std::nullopt;
}

Reason recognize_sway(const SessionFacts &facts) {
    if (facts.has("SWAYSOCK")) return set_reason(facts, "SWAYSOCK");
    return std::nullopt;
}

// The compositors below own the pointer in their own sessions, whatever
// desktop runs on them; each sets a variable of its own, or its name.
Reason recognize_hyprland(const SessionFacts &facts) {
    // Its value is long, and the reason travels in at most 100 bytes.
    if (facts.has("HYPRLAND_INSTANCE_SIGNATURE")) return std::string("HYPRLAND_INSTANCE_SIGNATURE is set");
    if (facts.desktop_is("Hyprland")) return desktop_reason(facts, "Hyprland");
    return std::nullopt;
}

Reason recognize_cosmic(const SessionFacts &facts) {
    if (facts.desktop_is("COSMIC")) return desktop_reason(facts, "COSMIC");
    return std::nullopt;
}

Reason recognize_niri(const SessionFacts &facts) {
    if (facts.has("NIRI_SOCKET")) return set_reason(facts, "NIRI_SOCKET");
    if (facts.desktop_is("niri")) return desktop_reason(facts, "niri");
    return std::nullopt;
}

// river sets no variable and no desktop name of its own: its control
// interface among the display's globals tells it.
Reason recognize_river(const SessionFacts &facts) {
    if (facts.offers_wayland_global("zriver_control_v1")) return std::string("the Wayland display offers river's control");
    if (facts.offers_wayland_global("river_libinput_config_v1"))
        return std::string("the Wayland display offers river's libinput settings");
    if (facts.desktop_is("river")) return desktop_reason(facts, "river");
    return std::nullopt;
}

Reason recognize_labwc(const SessionFacts &facts) {
    if (facts.has("LABWC_PID")) return set_reason(facts, "LABWC_PID");
    if (facts.desktop_is("labwc")) return desktop_reason(facts, "labwc");
    return std::nullopt;
}

Reason recognize_wayfire(const SessionFacts &facts) {
    if (facts.has("WAYFIRE_CONFIG_FILE")) return set_reason(facts, "WAYFIRE_CONFIG_FILE");
    if (facts.desktop_is("wayfire")) return desktop_reason(facts, "wayfire");
    return std::nullopt;
}

Reason recognize_weston(const SessionFacts &facts) {
    if (facts.offers_wayland_global("weston_desktop_shell")) return std::string("the Wayland display offers weston's shell");
    if (facts.desktop_is("weston")) return desktop_reason(facts, "weston");
    return std::nullopt;
}

// Never in a Wayland session: Xwayland does not accelerate, the compositor
// owns the pointer, and every compositor with Xwayland sets DISPLAY.
Reason recognize_x11(const SessionFacts &facts) {
    if (facts.is_wayland() || !facts.has("DISPLAY")) return std::nullopt;
    return set_reason(facts, "DISPLAY") + " and the session is not Wayland";
}

Reason recognize_nothing(const SessionFacts &facts) {
    if (facts.is_wayland())
        return "Wayland compositor " + wayland_compositor(facts) + ", which Glissor cannot drive: nothing is applied";
    return std::string("no desktop Glissor knows, no SWAYSOCK, no DISPLAY: nothing is applied");
}

constexpr BackendKind kKinds[] = {
    {"gnome", BackendProgram::Desktop, true, recognize_gnome, "", "", "GNOME, Budgie, Pantheon, Unity",
     "GSettings org.gnome.desktop.peripherals.mouse and .touchpad: speed, accel-profile", "across logins",
     "gsettings reset org.gnome.desktop.peripherals.mouse speed (and accel-profile, and the same for .touchpad)"},
    {"kde", BackendProgram::Desktop, true, recognize_kde, "session bus ", "DBUS_SESSION_BUS_ADDRESS",
     "KDE Plasma on Wayland, LXQt on KWin",
     "KWin's input devices on the session bus: pointerAcceleration, the flat or adaptive profile", "across logins",
     "System Settings, Mouse and Touchpad"},
    {"kde-x11", BackendProgram::Desktop, true, recognize_kde_x11, "", "", "KDE Plasma on X11",
     "kcminputrc [Mouse] XLbInptPointerAcceleration, XLbInptAccelProfileFlat; touchpadxlibinputrc per touchpad; "
     "the X pointers live",
     "across logins", "System Settings, Mouse and Touchpad"},
    {"cinnamon", BackendProgram::Desktop, true, recognize_cinnamon, "", "", "Cinnamon",
     "GSettings org.cinnamon.desktop.peripherals.mouse (speed, accel-profile) and .touchpad (speed)",
     "across logins", "gsettings reset org.cinnamon.desktop.peripherals.mouse speed (and the others written)"},
    {"mate", BackendProgram::Desktop, true, recognize_mate, "", "", "MATE",
     "GSettings org.mate.peripherals-mouse and -touchpad: motion-acceleration = 1 + 4.5 (speed + 1), accel-profile",
     "across logins", "gsettings reset org.mate.peripherals-mouse motion-acceleration (and the others written)"},
    {"xfce", BackendProgram::Desktop, true, recognize_xfce, "", "", "Xfce on X11",
     "xfconf channel pointers, /DEVICE/Acceleration per device; the X pointers live", "across logins",
     "xfconf-query -c pointers -p /DEVICE/Acceleration -r"},
    {"lxqt", BackendProgram::Desktop, true, recognize_lxqt, "", "", "LXQt on X11",
     "lxqt/session.conf [Touchpad] per touchpad accelSpeed; the X pointers live", "across logins",
     "LXQt Configuration Center, Keyboard and Mouse"},
    {"sway", BackendProgram::Desktop, false, recognize_sway, "", "SWAYSOCK", "sway",
     "sway IPC: input type:pointer and type:touchpad accel_profile, pointer_accel; sent again after a reload",
     "until sway restarts", "swaymsg reload"},
    {"hyprland", BackendProgram::Desktop, false, recognize_hyprland, "", "HYPRLAND_INSTANCE_SIGNATURE", "Hyprland",
     "Hyprland's request socket: input:sensitivity and input:accel_profile, each touchpad's own entry; sent again "
     "after a reload",
     "until Hyprland restarts", "hyprctl reload"},
    {"cosmic", BackendProgram::Desktop, true, recognize_cosmic, "", "", "COSMIC",
     "cosmic/com.system76.CosmicComp/v1/input_default and input_touchpad: the acceleration entry", "across logins",
     "COSMIC Settings, Mouse and Touchpad"},
    {"niri", BackendProgram::Desktop, true, recognize_niri, "", "NIRI_SOCKET", "niri",
     "a file of its own, included from config.kdl (niri 25.11 on): input mouse and touchpad accel-speed, "
     "accel-profile",
     "across logins", "remove the include line from config.kdl", &kNiriAdvice},
    {"river", BackendProgram::Desktop, false, recognize_river, "", "WAYLAND_DISPLAY", "river",
     "river's control (0.3): input DEVICE accel-profile and pointer-accel; its libinput settings (0.4); per device", "until river restarts",
     "the values are put back when the service ends"},
    {"labwc", BackendProgram::None, false, recognize_labwc, "", "", "labwc",
     "nothing: hidctl backend prints the lines to add to rc.xml", "-", "-", &kLabwcAdvice},
    {"wayfire", BackendProgram::None, false, recognize_wayfire, "", "", "wayfire",
     "nothing: hidctl backend prints the lines to add to wayfire.ini", "-", "-", &kWayfireAdvice},
    {"weston", BackendProgram::None, false, recognize_weston, "", "", "weston",
     "nothing: hidctl backend prints the lines to add to weston.ini", "-", "-", &kWestonAdvice},
    {"x11", BackendProgram::X11, false, recognize_x11, "", "DISPLAY", "any other X11 session",
     "each X slave pointer's PtrFeedback or libinput Accel Speed and Accel Profile (never Xwayland's)",
     "until the X server ends", "the values are put back when the service ends"},
    {"none", BackendProgram::None, false, recognize_nothing, "", "", "any other Wayland compositor; no session",
     "nothing: the service only records the values", "-", "-"},
};

}  // namespace

std::span<const BackendKind> backend_kinds() { return kKinds; }

const BackendKind *find_backend_kind(std::string_view name) {
    for (const BackendKind &kind : kKinds)
        if (kind.name == name) return &kind;
    return nullptr;
}

const BackendKind &no_backend() { return kKinds[std::size(kKinds) - 1]; }

std::string backend_kind_names() {
    std::string names = std::string(no_backend().name);
    for (const BackendKind &kind : kKinds)
        if (&kind != &no_backend()) names += ", " + std::string(kind.name);
    return names;
}

BackendChoice choose_backend(const SessionFacts &facts) {
    for (const BackendKind &kind : kKinds)
        if (auto reason = kind.recognize(facts)) return {&kind, *reason};
    return {&no_backend(), "nothing recognised"};
}

}  // namespace hidsystem
