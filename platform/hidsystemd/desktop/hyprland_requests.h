// The requests that set Hyprland's pointer options, in the form the running
// release takes: `keyword NAME VALUE` up to 0.54, and from 0.55, whose
// configuration is Lua, `eval` of a call to its configuration functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hidsystemd_backend {

enum class HyprForm { Keyword, Lua };

// What an option holds: an acceleration profile ("flat", "adaptive", or
// empty for libinput's own) and a sensitivity in [-1, 1].
struct HyprSetting {
    std::string profile;
    double sensitivity = 0;
};

// The requests that set both options, every pointer's (`input`) when device
// is empty, else that device's own entry, which takes precedence for it.
std::vector<std::string> hypr_setting_requests(HyprForm form, const std::optional<std::string> &device,
                                               const HyprSetting &setting);

// Whether a device's name can be written into a request of that form: a
// `keyword` request is split at blanks and its device selector ends at
// "]", so such names get no entry of their own. Lua takes any name quoted.
bool hypr_device_name_fits(HyprForm form, std::string_view name);

// A Lua string literal that reads back as text, whatever bytes it holds.
std::string lua_string_literal(std::string_view text);

}  // namespace hidsystemd_backend
