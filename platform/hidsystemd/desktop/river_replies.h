// What river answers to the commands the river backend sends: the list of
// input devices and the list of input settings, as river 0.3 writes them
// (river/command/input.zig, InputConfig.zig). Pure functions over text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <hidsystem/pointer_policy.h>

namespace hidsystemd_backend {

struct RiverInput {
    std::string identifier;  // "pointer-VENDOR-PRODUCT-Name_with_blanks_as_underscores"
    hidsystem::PointerClass kind = hidsystem::PointerClass::Mouse;
};

struct RiverInputSetting {
    std::string identifier;  // or a pattern with *
    std::optional<std::string> accel_profile;
    std::optional<double> pointer_accel;
};

// river tells no touchpad from a mouse: a pointer whose name says touchpad
// or trackpad, in any case, is taken for one.
hidsystem::PointerClass river_pointer_class(std::string_view device_name);

// The pointers among `list-inputs`' devices.
std::vector<RiverInput> parse_river_inputs(std::string_view output);
// `list-input-configs`: one entry an identifier, its settings indented.
std::vector<RiverInputSetting> parse_river_input_settings(std::string_view output);

}  // namespace hidsystemd_backend
