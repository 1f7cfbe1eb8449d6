// What sway's IPC answers, read as data: a reply of any shape is either
// understood or a reported refusal, never an exception or a crash.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <Result.h>
#include <hidsystem/pointer_policy.h>

namespace hidsystemd_backend {

struct SwayInput {
    std::string identifier;
    std::string name;
    hidsystem::PointerClass kind = hidsystem::PointerClass::Mouse;
    std::optional<std::string> profile;  // libinput's, when reported
    std::optional<double> speed;
};

// The pointers and touchpads of a GET_INPUTS reply (keyboards and the rest
// left out); nullopt when the reply is no list.
std::optional<std::vector<SwayInput>> parse_sway_inputs(std::string_view reply);
// A RUN_COMMAND reply: success only for a list of objects whose "success"
// is the boolean true; else the first error sway gave, possibly empty.
Status parse_sway_command_reply(std::string_view reply);
// A SUBSCRIBE reply: {"success": true}.
bool parse_sway_subscribe_reply(std::string_view reply);
// The workspace event sway sends after `reload`.
bool is_sway_reload_event(std::uint32_t type, std::string_view payload);

}  // namespace hidsystemd_backend
