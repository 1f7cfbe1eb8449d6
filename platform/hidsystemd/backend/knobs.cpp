#include "knobs.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace hidsystemd_backend {

namespace {

std::vector<std::pair<std::string_view, KnobsFactory>> &registry() {
    static std::vector<std::pair<std::string_view, KnobsFactory>> factories;
    return factories;
}

}  // namespace

KnobsRegistration::KnobsRegistration(std::string_view kind, KnobsFactory factory) {
    registry().emplace_back(kind, factory);
}

std::unique_ptr<Knobs> make_knobs(std::string_view kind) {
    for (const auto &[name, factory] : registry())
        if (name == kind) return factory();
    return nullptr;
}

const char *profile_name(hidsystem::LibinputProfile profile) {
    return profile == hidsystem::LibinputProfile::Flat ? "flat" : "adaptive";
}

std::string speed_text(double speed) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", speed);
    return text;
}

std::string describe_setting(std::string_view profile, double speed) {
    char text[64];
    std::snprintf(text, sizeof text, " %.3f", speed);
    return std::string(profile) + text;
}

}  // namespace hidsystemd_backend
