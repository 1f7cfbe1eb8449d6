#include "hyprland_replies.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "json_fields.h"

namespace hidsystemd_backend {

namespace {

std::optional<int> leading_number(std::string_view &text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || value < 0) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

// "0.54.2", "v0.41.2-3-gabcdef": the first two numbers.
std::optional<HyprVersion> version_of(std::string_view text) {
    if (text.starts_with('v')) text.remove_prefix(1);
    auto major = leading_number(text);
    if (!major || !text.starts_with('.')) return std::nullopt;
    text.remove_prefix(1);
    auto minor = leading_number(text);
    if (!minor) return std::nullopt;
    return HyprVersion{*major, *minor};
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<HyprVersion> parse_hypr_version(std::string_view answer) {
    Json version = parse_json(answer);
    if (!version.is_object()) return std::nullopt;
    if (auto number = version_of(string_field(version, "version"))) return number;
    return version_of(string_field(version, "tag"));
}

std::optional<std::vector<HyprPointer>> parse_hypr_devices(std::string_view answer) {
    Json devices = parse_json(answer);
    if (!devices.is_object()) return std::nullopt;
    auto mice = devices.find("mice");
    if (mice == devices.end() || !mice->is_array()) return std::nullopt;
    std::vector<HyprPointer> pointers;
    for (const Json &mouse : *mice) {
        if (!mouse.is_object()) continue;
        std::string name = string_field(mouse, "name");
        if (name.empty()) continue;
        auto kind = hidsystem::classify({"", {}, name});
        pointers.push_back({std::move(name), kind});
    }
    return pointers;
}

std::optional<double> parse_hypr_float_option(std::string_view answer) {
    Json option = parse_json(answer);
    if (!option.is_object()) return std::nullopt;
    auto value = option.find("float");
    if (value == option.end() || !value->is_number()) return std::nullopt;
    double number = value->get<double>();
    if (!std::isfinite(number)) return std::nullopt;
    return number;
}

std::optional<std::string> parse_hypr_string_option(std::string_view answer) {
    Json option = parse_json(answer);
    if (!option.is_object()) return std::nullopt;
    auto value = option.find("str");
    if (value == option.end() || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

Status parse_hypr_command_reply(std::string_view answer) {
    std::string_view text = trimmed(answer);
    if (text == "ok") return Status::success();
    return Failure(std::string(text));
}

bool is_hypr_reload_event(std::string_view line) { return line.starts_with("configreloaded>>"); }

}  // namespace hidsystemd_backend
