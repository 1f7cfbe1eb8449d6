// Advice for the compositors that read their pointer settings only from the
// user's own file: where to add them and the exact lines for the current
// speeds, in that compositor's syntax. Glissor never edits such a file; the
// service says it applies nothing there, and `hidctl backend` prints these.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <hidsystem/backend_channel.h>

namespace hidsystem {

struct CompositorAdvice {
    // The file and the place in it, for people.
    std::string_view where;
    // What makes the compositor read the file again.
    std::string_view then;
    // The lines for these speeds, with the mapping of pointer_policy.h
    // applied. A class no client has set is left out; no speed set at all
    // gives no lines.
    std::vector<std::string> (*lines)(const SpeedPair &speeds) = nullptr;
};

// labwc: rc.xml, <libinput> with a <device> per category
// (labwc-config(5), LIBINPUT).
extern const CompositorAdvice kLabwcAdvice;
// wayfire: wayfire.ini, [input] mouse_* and touchpad_* options (wayfire's
// metadata/input.xml describes them).
extern const CompositorAdvice kWayfireAdvice;
// weston: weston.ini, [libinput] accel-profile and accel-speed, one pair
// for every pointer (weston.ini(5), LIBINPUT SECTION).
extern const CompositorAdvice kWestonAdvice;
// niri: config.kdl, input { mouse { ... } touchpad { ... } } (niri's wiki,
// Configuration: Input).
extern const CompositorAdvice kNiriAdvice;

// A libinput speed as these files want it: at least one decimal, at most
// three, never "-0.0" ("0.0", "-0.1", "0.667").
std::string libinput_speed_text(double speed);

}  // namespace hidsystem
