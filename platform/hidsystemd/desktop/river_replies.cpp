#include "river_replies.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace hidsystemd_backend {

namespace {

std::vector<std::string_view> lines_of(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

bool indented(std::string_view line) { return !line.empty() && (line[0] == '\t' || line[0] == ' '); }

std::string lower(std::string_view text) {
    std::string lowered(text);
    for (char &c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lowered;
}

// The name is what follows type, vendor and product.
std::string_view device_name(std::string_view identifier) {
    std::size_t dash = 0;
    for (int field = 0; field < 3; ++field) {
        dash = identifier.find('-', dash);
        if (dash == std::string_view::npos) return {};
        ++dash;
    }
    return identifier.substr(dash);
}


std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::optional<double> number(std::string_view text) {
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    // "nan" and "inf" parse, and are no speed river could hold.
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

void read_setting(RiverInputSetting &setting, std::string_view line) {
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    std::string_view key = trimmed(line.substr(0, colon));
    std::string_view value = trimmed(line.substr(colon + 1));
    if (key == "accel-profile" && !value.empty()) setting.accel_profile = std::string(value);
    if (key == "pointer-accel") setting.pointer_accel = number(value);
}

}  // namespace

hidsystem::PointerClass river_pointer_class(std::string_view device_name) {
    std::string name = lower(device_name);
    bool touchpad = name.find("touchpad") != std::string::npos || name.find("trackpad") != std::string::npos;
    return touchpad ? hidsystem::PointerClass::Touchpad : hidsystem::PointerClass::Mouse;
}

std::vector<RiverInput> parse_river_inputs(std::string_view output) {
    std::vector<RiverInput> inputs;
    for (std::string_view line : lines_of(output)) {
        if (line.empty() || indented(line) || !line.starts_with("pointer-")) continue;
        std::string_view identifier = trimmed(line);
        inputs.push_back({std::string(identifier), river_pointer_class(device_name(identifier))});
    }
    return inputs;
}

std::vector<RiverInputSetting> parse_river_input_settings(std::string_view output) {
    std::vector<RiverInputSetting> settings;
    for (std::string_view line : lines_of(output)) {
        if (trimmed(line).empty()) continue;
        if (!indented(line))
            settings.push_back({std::string(trimmed(line)), std::nullopt, std::nullopt});
        else if (!settings.empty())
            read_setting(settings.back(), line);
    }
    return settings;
}

}  // namespace hidsystemd_backend
