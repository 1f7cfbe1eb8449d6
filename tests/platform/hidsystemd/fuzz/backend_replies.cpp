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
#include "kdl_text.h"
#include "niri_config.h"
#include "niri_replies.h"
#include "ron_text.h"
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
        require(again && again->applied_sequence == report->applied_sequence &&
                    again->last_done() == report->last_done(),
                "REPORT does not parse again");
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

std::string_view value_of(std::string_view text, const hidsystemd_backend::RonField &field) {
    return text.substr(field.value_begin, field.value_end - field.value_begin);
}

// A COSMIC key that parses gets its acceleration set and read back, every
// other field kept as it was (the bytes around a replaced value too), and
// the field removed again.
void ron_key(std::string_view text) {
    using namespace hidsystemd_backend;
    [[maybe_unused]] auto as_value = parse_ron_acceleration(text);
    auto parsed = parse_ron_struct(text);
    if (!parsed) return;
    const RonAcceleration wanted{"flat", -0.1};
    auto set = ron_set_field(
        text, "acceleration", [&](const RonLayout &layout) { return format_ron_acceleration(wanted, layout); }, "state");
    require(set.ok(), "a key that parses cannot be set");
    auto again = parse_ron_struct(*set);
    require(again.ok(), "the key set does not parse");
    const RonField *field = again->find("acceleration");
    require(field != nullptr, "the field set is missing");
    auto read = parse_ron_acceleration(value_of(*set, *field));
    require(read.ok() && read->has_value() && **read == wanted, "the value set does not read back");
    for (const RonField &before : parsed->fields) {
        if (before.name == "acceleration") continue;
        const RonField *after = again->find(before.name);
        require(after && value_of(*set, *after) == value_of(text, before), "another field changed");
    }
    if (const RonField *old = parsed->find("acceleration")) {
        require(set->compare(0, old->value_begin, text.substr(0, old->value_begin)) == 0 &&
                    std::string_view(*set).substr(set->size() - (text.size() - old->value_end)) ==
                        text.substr(old->value_end),
                "bytes around the value changed");
    }
    require(again->fields.size() == parsed->fields.size() + (parsed->find("acceleration") ? 0 : 1), "fields lost");
    auto removed = ron_remove_field(*set, "acceleration");
    auto without = removed ? parse_ron_struct(*removed) : Result<RonStruct>(Failure("not removed"));
    require(without.ok() && !without->find("acceleration") && without->fields.size() + 1 == again->fields.size(),
            "the field is not removed cleanly");
}

// Whatever niri's configuration holds: nodes lie within the text, and the
// file written from what it says reads back with the same lines and speeds.
void niri_files(std::string_view text) {
    using namespace hidsystemd_backend;
    if (auto nodes = parse_kdl_document(text))
        for (const KdlNode &node : *nodes)
            require(node.begin <= node.end && node.end <= text.size() &&
                        (!node.children_end || *node.children_end <= node.end),
                    "a node outside the text");
    [[maybe_unused]] auto own = parse_niri_settings(text);
    const std::string config = "/c/niri/config.kdl";
    auto facts = read_niri_config(config, "/c/niri/glissor.kdl", [&](const std::string &path) {
        return path == config ? std::optional<std::string>(text) : std::nullopt;
    });
    if (!facts) return;
    NiriSections sections;
    sections.mouse = NiriSection{facts->mouse_lines, NiriSetting{"flat", 0.5}};
    sections.touchpad = NiriSection{facts->touchpad_lines, NiriSetting{"adaptive", -0.1}};
    auto back = parse_niri_settings(niri_settings_text(sections));
    require(back.ok() && back->mouse && back->touchpad, "our file does not parse");
    require(back->mouse->lines == facts->mouse_lines && back->touchpad->lines == facts->touchpad_lines,
            "the user's lines change in our file");
    require(back->mouse->setting && back->mouse->setting->speed == 0.5 && back->mouse->setting->profile == "flat" &&
                back->touchpad->setting && back->touchpad->setting->speed == -0.1,
            "the speeds do not read back");
}

void niri_replies(std::string_view text) {
    if (auto version = hidsystemd_backend::parse_niri_version_reply(text))
        [[maybe_unused]] auto release = hidsystemd_backend::parse_niri_release(*version);
    [[maybe_unused]] auto release = hidsystemd_backend::parse_niri_release(text);
}

}  // namespace

void exercise_backend_replies(const std::uint8_t *data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char *>(data), size);
    sway_replies(text);
    river_replies(text);
    hyprland_replies(text);
    channel_messages(text);
    ini_file(text);
    ron_key(text);
    niri_files(text);
    niri_replies(text);
}

}  // namespace hidsystem_test
