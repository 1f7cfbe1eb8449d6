// How a speed from a client becomes a setting of one pointer device: the
// decoding of the wire value, which devices count as touchpads, and the
// mapping onto each knob a desktop offers. Pure functions, no X here.
//
// A speed is an amount of acceleration: 1.0 is the desktop's usual amount,
// 0.0 none (the pointer moves exactly as far as the hand, never slower).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace hidsystem {

// The sender's marker for "not a number or out of range".
inline constexpr std::int32_t kSpeedMarker = INT32_MIN;
inline constexpr double kMaxSpeed = 3.0;

// The speed a 16.16 wire value asks for: the marker keeps `last_good` (which
// may be none yet), below 0 counts as 0, above 3 as 3.
std::optional<double> decode_speed(std::int32_t fixed, std::optional<double> last_good);

enum class PointerClass { Mouse, Touchpad };
const char *class_name(PointerClass kind);

// What the classifier looks at: the XI device type atom's name, the names of
// the device's properties and its name.
struct DeviceTraits {
    std::string_view type_name;
    std::span<const std::string_view> property_names;
    std::string_view name;
};

// First match wins: type TOUCHPAD; a `libinput Tapping Enabled` property;
// any `Synaptics ...` property; a name containing "touchpad" or "trackpad"
// in any case. Everything else is a mouse.
PointerClass classify(const DeviceTraits &traits);

// PtrFeedback: num/den is the maximum factor of the server's classic
// profile, so num/den = 1 + speed. The threshold is never touched.
struct FeedbackRatio {
    int numerator = 10;
    int denominator = 10;
};
FeedbackRatio feedback_for(double speed);

enum class LibinputProfile { Adaptive, Flat };
struct LibinputSetting {
    LibinputProfile profile = LibinputProfile::Adaptive;
    double speed = 0;  // libinput Accel Speed, in [-1, 1]
};
LibinputSetting libinput_for(PointerClass kind, double speed);

// The `libinput Accel Profile Enabled` array for a profile, in the size the
// device has (2: adaptive, flat; 3 adds custom): exactly one entry set.
// False when the size cannot hold the profile.
bool fill_profile_array(LibinputProfile profile, std::span<unsigned char> entries);

}  // namespace hidsystem
