#include "hyprland_requests.h"

#include <algorithm>
#include <cstdio>

namespace hidsystemd_backend {

namespace {

// Hyprland's own mark of an empty string option, which it reports as such
// and takes back; a `keyword` request cannot carry an empty value.
constexpr std::string_view kEmptyString = "[[EMPTY]]";

std::string number_text(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

std::vector<std::string> keyword_requests(const std::optional<std::string> &device, const HyprSetting &setting) {
    std::string prefix = device ? "keyword device[" + *device + "]:" : std::string("keyword input:");
    std::string profile = setting.profile.empty() ? std::string(kEmptyString) : setting.profile;
    return {prefix + "accel_profile " + profile, prefix + "sensitivity " + number_text(setting.sensitivity)};
}

std::vector<std::string> lua_requests(const std::optional<std::string> &device, const HyprSetting &setting) {
    std::string fields = "accel_profile = " + lua_string_literal(setting.profile) +
                         ", sensitivity = " + number_text(setting.sensitivity);
    if (device) return {"eval hl.device({ name = " + lua_string_literal(*device) + ", " + fields + " })"};
    return {"eval hl.config({ input = { " + fields + " } })"};
}

}  // namespace

std::vector<std::string> hypr_setting_requests(HyprForm form, const std::optional<std::string> &device,
                                               const HyprSetting &setting) {
    return form == HyprForm::Lua ? lua_requests(device, setting) : keyword_requests(device, setting);
}

bool hypr_device_name_fits(HyprForm form, std::string_view name) {
    if (name.empty()) return false;
    if (form == HyprForm::Lua) return true;
    return std::none_of(name.begin(), name.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte <= ' ' || byte == 0x7f || c == '[' || c == ']' || c == ';';
    });
}

std::string lua_string_literal(std::string_view text) {
    std::string literal = "\"";
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            literal += '\\';
            literal += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            // Three digits always, so that a digit after it is not read
            // as part of the escape.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03u", static_cast<unsigned>(byte));
            literal += escape;
        } else {
            literal += c;
        }
    }
    return literal + "\"";
}

}  // namespace hidsystemd_backend
