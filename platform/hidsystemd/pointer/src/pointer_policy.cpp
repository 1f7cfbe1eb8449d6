#include <hidsystem/pointer_policy.h>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace hidsystem {

namespace {

bool contains_ignoring_case(std::string_view text, std::string_view word) {
    auto found = std::search(text.begin(), text.end(), word.begin(), word.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
    return found != text.end();
}

bool has_property(const DeviceTraits &traits, std::string_view name) {
    return std::find(traits.property_names.begin(), traits.property_names.end(), name) != traits.property_names.end();
}

bool has_property_prefixed(const DeviceTraits &traits, std::string_view prefix) {
    return std::any_of(traits.property_names.begin(), traits.property_names.end(),
                       [prefix](std::string_view name) { return name.starts_with(prefix); });
}

}  // namespace

std::optional<double> decode_speed(std::int32_t fixed, std::optional<double> last_good) {
    if (fixed == kSpeedMarker) return last_good;
    double speed = fixed / 65536.0;
    return std::clamp(speed, 0.0, kMaxSpeed);
}

const char *class_name(PointerClass kind) { return kind == PointerClass::Touchpad ? "touchpad" : "mouse"; }

PointerClass classify(const DeviceTraits &traits) {
    if (traits.type_name == "TOUCHPAD") return PointerClass::Touchpad;
    if (has_property(traits, "libinput Tapping Enabled")) return PointerClass::Touchpad;
    if (has_property_prefixed(traits, "Synaptics ")) return PointerClass::Touchpad;
    if (contains_ignoring_case(traits.name, "touchpad") || contains_ignoring_case(traits.name, "trackpad"))
        return PointerClass::Touchpad;
    return PointerClass::Mouse;
}

FeedbackRatio feedback_for(double speed) {
    return {10 + static_cast<int>(std::lround(10 * speed)), 10};
}

LibinputSetting libinput_for(PointerClass kind, double speed) {
    // Flat with speed -1 would freeze the pointer (factor max(0.005, 1 + s)):
    // no row here comes near it.
    if (kind == PointerClass::Touchpad) {
        if (speed <= 0) return {LibinputProfile::Flat, -0.1};
        if (speed <= 1) return {LibinputProfile::Adaptive, 0};
        return {LibinputProfile::Adaptive, std::min((speed - 1) / 2, 1.0)};
    }
    if (speed <= 0) return {LibinputProfile::Flat, 0};
    // The adaptive mouse curve's maximum factor is 2 + 1.5 s; below -2/3 it
    // would dip under 1:1.
    return {LibinputProfile::Adaptive, std::clamp((speed - 1) / 1.5, -2.0 / 3.0, 1.0)};
}

bool fill_profile_array(LibinputProfile profile, std::span<unsigned char> entries) {
    std::size_t index = profile == LibinputProfile::Adaptive ? 0 : 1;
    if (entries.size() <= index) return false;
    std::fill(entries.begin(), entries.end(), 0);
    entries[index] = 1;
    return true;
}

}  // namespace hidsystem
