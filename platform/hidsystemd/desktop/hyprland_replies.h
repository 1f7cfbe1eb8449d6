// What Hyprland's sockets answer, read as data: an answer of any shape is
// understood or a reported refusal, never an exception or a crash.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <Result.h>
#include <hidsystem/pointer_policy.h>

namespace hidsystemd_backend {

struct HyprVersion {
    int major = 0;
    int minor = 0;
    // From 0.55 on the configuration is Lua: runtime changes go through
    // `eval`, and the `keyword` request is gone.
    bool takes_lua() const { return major > 0 || minor >= 55; }
};

// `j/version`: its "version" ("0.54.2"), or else its "tag" ("v0.41.2-3-g…"),
// which older releases give alone; nullopt when neither reads as one.
std::optional<HyprVersion> parse_hypr_version(std::string_view answer);

struct HyprPointer {
    std::string name;
    hidsystem::PointerClass kind = hidsystem::PointerClass::Mouse;
};

// The pointers of a `j/devices` answer (its "mice": Hyprland lists every
// pointer there, touchpads too). Hyprland itself tells a touchpad by a
// libinput property it does not report, so the class comes from the name:
// one containing "touchpad" or "trackpad", in any case, is a touchpad.
// nullopt when the answer holds no list of pointers.
std::optional<std::vector<HyprPointer>> parse_hypr_devices(std::string_view answer);

// `j/getoption NAME`: the number of a float option, the text of a string
// option; nullopt for another shape.
std::optional<double> parse_hypr_float_option(std::string_view answer);
std::optional<std::string> parse_hypr_string_option(std::string_view answer);

// `keyword` and `eval` answer "ok"; anything else is the refusal's text.
Status parse_hypr_command_reply(std::string_view answer);

// The event line that announces a reload of the configuration, which drops
// every runtime change.
bool is_hypr_reload_event(std::string_view line);

}  // namespace hidsystemd_backend
