#include "sway_replies.h"

#include "i3_ipc.h"
#include "json_fields.h"

namespace hidsystemd_backend {

namespace {

bool boolean_field(const Json &object, const char *key) {
    auto found = object.find(key);
    return found != object.end() && found->is_boolean() && found->get<bool>();
}

std::optional<hidsystem::PointerClass> class_of_type(const std::string &type) {
    if (type == "pointer") return hidsystem::PointerClass::Mouse;
    if (type == "touchpad") return hidsystem::PointerClass::Touchpad;
    return std::nullopt;
}

std::optional<SwayInput> parse_input(const Json &input) {
    if (!input.is_object()) return std::nullopt;
    auto kind = class_of_type(string_field(input, "type"));
    if (!kind) return std::nullopt;
    SwayInput device{string_field(input, "identifier"), string_field(input, "name"), *kind, {}, {}};
    auto libinput = input.find("libinput");
    if (libinput != input.end() && libinput->is_object()) {
        std::string profile = string_field(*libinput, "accel_profile");
        if (!profile.empty()) device.profile = profile;
        auto speed = libinput->find("accel_speed");
        if (speed != libinput->end() && speed->is_number()) device.speed = speed->get<double>();
    }
    return device;
}

}  // namespace

std::optional<std::vector<SwayInput>> parse_sway_inputs(std::string_view reply) {
    Json inputs = parse_json(reply);
    if (!inputs.is_array()) return std::nullopt;
    std::vector<SwayInput> devices;
    for (const Json &input : inputs)
        if (auto device = parse_input(input)) devices.push_back(std::move(*device));
    return devices;
}

Status parse_sway_command_reply(std::string_view reply) {
    Json results = parse_json(reply);
    bool ok = results.is_array() && !results.empty();
    std::string failure;
    for (const Json &result : results) {
        if (result.is_object() && boolean_field(result, "success")) continue;
        ok = false;
        if (failure.empty() && result.is_object()) failure = string_field(result, "error");
    }
    if (ok) return Status::success();
    return Failure(failure);
}

bool parse_sway_subscribe_reply(std::string_view reply) {
    Json answer = parse_json(reply);
    return answer.is_object() && boolean_field(answer, "success");
}

bool is_sway_reload_event(std::uint32_t type, std::string_view payload) {
    if (type != kWorkspaceEvent) return false;
    Json event = parse_json(payload);
    return event.is_object() && string_field(event, "change") == "reload";
}

}  // namespace hidsystemd_backend
