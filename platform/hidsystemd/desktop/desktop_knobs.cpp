#include "desktop_knobs.h"

#include <cstdio>

namespace hidsystemd_desktop {

const char *profile_name(hidsystem::LibinputProfile profile) {
    return profile == hidsystem::LibinputProfile::Flat ? "flat" : "adaptive";
}

std::string describe_setting(std::string_view profile, double speed) {
    char text[64];
    std::snprintf(text, sizeof text, " %.3f", speed);
    return std::string(profile) + text;
}

}  // namespace hidsystemd_desktop
