#include "value_format.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace hidctl {

std::string format_value(std::string_view key, const hidsystem::ParameterBytes &value) {
    char text[2 * hidsystem::kMaxParameterSize + 8];
    if (key == hidsystem::kLegacyAccelerationKey && value.size == sizeof(double)) {
        double acceleration = 0;
        std::memcpy(&acceleration, value.data.data(), sizeof acceleration);
        std::snprintf(text, sizeof text, "%.17g", acceleration);
        return text;
    }
    if (value.size == sizeof(std::int32_t)) {
        std::int32_t number = 0;
        std::memcpy(&number, value.data.data(), sizeof number);
        std::snprintf(text, sizeof text, "%d", number);
        return text;
    }
    std::string hex = "0x";
    for (unsigned char byte : value.bytes()) {
        std::snprintf(text, sizeof text, "%02x", byte);
        hex += text;
    }
    return hex;
}

}  // namespace hidctl
