// How hidctl prints a parameter value: the legacy acceleration as a double
// (%.17g), a 4-byte parameter as a signed 32-bit decimal, anything else as
// 0x-prefixed hex of its bytes in order.
#pragma once

#include <string>
#include <string_view>

#include <hidsystem/protocol.h>

namespace hidctl {

std::string format_value(std::string_view key, const hidsystem::ParameterBytes &value);

}  // namespace hidctl
