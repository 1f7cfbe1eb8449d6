#include "backend_replies.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <hidsystem/backend_channel.h>

#include "hyprland_replies.h"
#include "hyprland_requests.h"
#include "i3_ipc.h"
#include "kconfig_file.h"
#include "river_replies.h"
#include "sway_replies.h"

namespace hidsystem_test {

namespace {

void require(bool holds, const char *what) {
    if (holds) return;
    std::fprintf(stderr, "backend replies: %s\n", what);
    std::abort();
}

void sway_replies(std::string_view text) {
    if (auto inputs = hidsystemd_backend::parse_sway_inputs(text))
        for (const auto &input : *inputs) require(!input.speed || input.speed == input.speed, "a NaN speed");
    [[maybe_unused]] Status accepted = hidsystemd_backend::parse_sway_command_reply(text);
    hidsystemd_backend::parse_sway_subscribe_reply(text);
    hidsystemd_backend::is_sway_reload_event(hidsystemd_backend::kWorkspaceEvent, text);
}

// A device name from any answer never breaks out of the request it is
// written into: one that fits a `keyword` request has no blank, and a Lua
// literal holds no raw control character, so every request stays one line.
void hyprland_requests_for(const std::string &name) {
    using hidsystemd_backend::HyprForm;
    for (HyprForm form : {HyprForm::Keyword, HyprForm::Lua}) {
        if (!hidsystemd_backend::hypr_device_name_fits(form, name)) continue;
        for (const std::string &request : hidsystemd_backend::hypr_setting_requests(form, name, {"flat", 0}))
            require(request.find_first_of(std::string("\n\r\0", 3)) == std::string::npos &&
                        (form == HyprForm::Lua || request.find(' ', 8) == request.rfind(' ')),
                    "a device name that breaks out of its request");
    }
}

void hyprland_replies(std::string_view text) {
    if (auto version = hidsystemd_backend::parse_hypr_version(text))
        require(version->major >= 0 && version->minor >= 0, "a negative version");
    if (auto devices = hidsystemd_backend::parse_hypr_devices(text))
        for (const auto &device : *devices) {
            require(!device.name.empty(), "a pointer without a name");
            hyprland_requests_for(device.name);
        }
    if (auto sensitivity = hidsystemd_backend::parse_hypr_float_option(text))
        require(*sensitivity == *sensitivity, "a NaN sensitivity");
    [[maybe_unused]] auto profile = hidsystemd_backend::parse_hypr_string_option(text);
    [[maybe_unused]] Status accepted = hidsystemd_backend::parse_hypr_command_reply(text);
    hidsystemd_backend::is_hypr_reload_event(text);
    hyprland_requests_for(std::string(text));
}

// Every pointer river lists is named by a river identifier, and every
// setting read is one river could hold.
void river_replies(std::string_view text) {
    for (const auto &input : hidsystemd_backend::parse_river_inputs(text))
        require(input.identifier.starts_with("pointer-") && input.identifier.find('\n') == std::string::npos,
                "a pointer that is no river identifier");
    for (const auto &setting : hidsystemd_backend::parse_river_input_settings(text))
        require(!setting.pointer_accel || *setting.pointer_accel == *setting.pointer_accel, "a NaN speed");
}

// What parses is encoded into a message that parses again, and encoding
// is stable from then on (the encoder cleans fields a peer may have sent
// with tabs or NULs in them, so the first encoding may differ from the
// input).
void channel_messages(std::string_view text) {
    if (auto apply = hidsystem::parse_apply(text)) {
        auto again = hidsystem::parse_apply(hidsystem::encode_apply(*apply));
        require(again && again->sequence == apply->sequence && again->speeds == apply->speeds, "APPLY round trip");
    }
    if (auto report = hidsystem::parse_report(text)) {
        std::string encoded = hidsystem::encode_report(*report);
        auto again = hidsystem::parse_report(encoded);
        require(again && again->applied_sequence == report->applied_sequence, "REPORT does not parse again");
        require(hidsystem::encode_report(*again) == encoded, "REPORT encoding is not stable");
    }
}

// A file read and written back unchanged is the same bytes; a key set is
// read back, and only that line differs.
void ini_file(std::string_view text) {
    hidsystemd_backend::KConfigText file{std::string(text)};
    require(file.text() == text, "an INI file changed by reading it");
    file.set("Mouse", "XLbInptPointerAcceleration", "0.5");
    require(file.value("Mouse", "XLbInptPointerAcceleration") == "0.5", "a key set is not read back");
    file.remove("Mouse", "XLbInptPointerAcceleration");
    require(!file.value("Mouse", "XLbInptPointerAcceleration"), "a key removed is still there");
}

}  // namespace

void exercise_backend_replies(const std::uint8_t *data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char *>(data), size);
    sway_replies(text);
    river_replies(text);
    hyprland_replies(text);
    channel_messages(text);
    ini_file(text);
}

}  // namespace hidsystem_test
