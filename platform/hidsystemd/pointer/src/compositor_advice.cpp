#include <hidsystem/compositor_advice.h>

#include <cstdio>

namespace hidsystem {

namespace {

using Lines = std::vector<std::string>;

struct ClassSetting {
    PointerClass kind;
    LibinputSetting setting;
};

// The libinput setting of each class a client has set, mouse first.
std::vector<ClassSetting> settings_of(const SpeedPair &speeds) {
    std::vector<ClassSetting> settings;
    for (PointerClass kind : {PointerClass::Mouse, PointerClass::Touchpad})
        if (auto speed = speeds.speed_for(kind)) settings.push_back({kind, libinput_for(kind, *speed)});
    return settings;
}

std::string profile_word(LibinputProfile profile) { return profile == LibinputProfile::Flat ? "flat" : "adaptive"; }

std::string speed_of(const LibinputSetting &setting) { return libinput_speed_text(setting.speed); }

bool same_setting(const LibinputSetting &a, const LibinputSetting &b) {
    return a.profile == b.profile && speed_of(a) == speed_of(b);
}

// labwc matches a touchpad (a device that can tap) by the category
// "touchpad" and every other pointer by "non-touch"; of two devices of one
// category the later wins, so a block added at the end takes effect.
Lines labwc_lines(const SpeedPair &speeds) {
    auto settings = settings_of(speeds);
    if (settings.empty()) return {};
    Lines lines{"<libinput>"};
    for (const auto &[kind, setting] : settings) {
        lines.push_back(std::string("  <device category=\"") +
                        (kind == PointerClass::Touchpad ? "touchpad" : "non-touch") + "\">");
        lines.push_back("    <accelProfile>" + profile_word(setting.profile) + "</accelProfile>");
        lines.push_back("    <pointerSpeed>" + speed_of(setting) + "</pointerSpeed>");
        lines.push_back("  </device>");
    }
    lines.push_back("</libinput>");
    return lines;
}

// wayfire takes a device that can tap for a touchpad, everything else for a
// mouse.
Lines wayfire_lines(const SpeedPair &speeds) {
    auto settings = settings_of(speeds);
    if (settings.empty()) return {};
    Lines lines{"[input]"};
    for (const auto &[kind, setting] : settings) {
        std::string prefix = kind == PointerClass::Touchpad ? "touchpad_" : "mouse_";
        lines.push_back(prefix + "accel_profile = " + profile_word(setting.profile));
        lines.push_back(prefix + "cursor_speed = " + speed_of(setting));
    }
    return lines;
}

// weston reads one profile and speed for every pointer, so the advice says
// whose they are and what the other class gets.
std::string weston_note(const std::vector<ClassSetting> &settings) {
    bool mouse = settings.front().kind == PointerClass::Mouse;
    std::string note = std::string("# weston has one setting for every pointer: the ") +
                       (mouse ? "mouse's" : "trackpad's");
    if (settings.size() == 1) return note + (mouse ? ", for touchpads too" : ", for mice too");
    const LibinputSetting &trackpad = settings.back().setting;
    if (same_setting(settings.front().setting, trackpad)) return "";
    return note + "; the trackpad's would be " + profile_word(trackpad.profile) + " " + speed_of(trackpad);
}

Lines weston_lines(const SpeedPair &speeds) {
    auto settings = settings_of(speeds);
    if (settings.empty()) return {};
    Lines lines;
    if (std::string note = weston_note(settings); !note.empty()) lines.push_back(note);
    // No blanks around '=': weston counts them as part of the key and value.
    const LibinputSetting &used = settings.front().setting;
    lines.push_back("[libinput]");
    lines.push_back("accel-profile=" + profile_word(used.profile));
    lines.push_back("accel-speed=" + speed_of(used));
    return lines;
}

Lines niri_lines(const SpeedPair &speeds) {
    auto settings = settings_of(speeds);
    if (settings.empty()) return {};
    Lines lines{"input {"};
    for (const auto &[kind, setting] : settings) {
        lines.push_back(std::string("    ") + (kind == PointerClass::Touchpad ? "touchpad" : "mouse") + " {");
        lines.push_back("        accel-speed " + speed_of(setting));
        lines.push_back("        accel-profile \"" + profile_word(setting.profile) + "\"");
        lines.push_back("    }");
    }
    lines.push_back("}");
    return lines;
}

}  // namespace

std::string libinput_speed_text(double speed) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", speed);
    std::string shown = text;
    // Trailing zeros go, down to one decimal: "0.500" is "0.5".
    while (shown.size() > 2 && shown.back() == '0' && shown[shown.size() - 2] != '.') shown.pop_back();
    return shown == "-0.0" ? "0.0" : shown;
}

const CompositorAdvice kLabwcAdvice{
    "~/.config/labwc/rc.xml, inside <labwc_config>",
    "run labwc --reconfigure",
    labwc_lines,
};

const CompositorAdvice kWayfireAdvice{
    "~/.config/wayfire.ini (or the file $WAYFIRE_CONFIG_FILE names), merged into its [input] section",
    "nothing more: wayfire reads the file again when it is saved",
    wayfire_lines,
};

const CompositorAdvice kWestonAdvice{
    "~/.config/weston.ini, merged into its [libinput] section",
    "restart weston: it reads the file only when it starts",
    weston_lines,
};

const CompositorAdvice kNiriAdvice{
    "~/.config/niri/config.kdl, merged into its input section",
    "nothing more: niri reads the file again when it is saved",
    niri_lines,
};

}  // namespace hidsystem
