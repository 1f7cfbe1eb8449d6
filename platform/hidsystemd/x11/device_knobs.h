// The per-device acceleration knobs of an X server, read and written one
// device at a time. Only knobs the device already has are ever written.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <hidsystem/pointer_policy.h>

struct _XDisplay;

namespace hidsystemd_x11 {

enum class KnobKind {
    NoKnob,       // nothing to drive (the server does not accelerate it)
    PtrFeedback,  // the server's own acceleration
    Libinput,     // libinput Accel Speed / Accel Profile Enabled
};
const char *knob_name(KnobKind kind);

// One reading of a knob; compared to tell whether someone else changed it.
struct KnobValue {
    int numerator = 0;     // PtrFeedback
    int denominator = 0;
    int feedback_id = 0;   // which of the device's pointer feedbacks
    std::optional<float> speed;           // libinput Accel Speed
    std::vector<unsigned char> profiles;  // libinput Accel Profile Enabled
    bool operator==(const KnobValue &) const = default;
};

// What a device is and which knob drives it.
struct DeviceFacts {
    int id = 0;
    std::string name;
    hidsystem::PointerClass kind = hidsystem::PointerClass::Mouse;
    KnobKind knob = KnobKind::NoKnob;
    bool xtest = false;
};

// A device the backend drives, as others see it.
struct PointerDevice {
    std::string name;
    hidsystem::PointerClass kind = hidsystem::PointerClass::Mouse;
    KnobKind knob = KnobKind::NoKnob;
};

// Reads the device's type, properties and feedbacks; nullopt when it is gone.
std::optional<DeviceFacts> inspect_device(_XDisplay *display, int id, const std::string &name);

std::optional<KnobValue> read_knob(_XDisplay *display, const DeviceFacts &device);
// Writes a value made from one read or written before, without reading the
// knob again: one round trip, for each step of a drag. False when the server
// refused it.
bool write_knob(_XDisplay *display, const DeviceFacts &device, const KnobValue &value);

// Reads the knob and writes what `next` makes of the reading, in one
// conversation with the server: the write leaves as soon as the reading is
// in. `before` is empty when the knob could not be read (nothing is written
// then); `written` is false when the server refused the write.
struct KnobUpdate {
    std::optional<KnobValue> before;
    KnobValue after;
    bool written = false;
};
KnobUpdate update_knob(_XDisplay *display, const DeviceFacts &device,
                       const std::function<KnobValue(const KnobValue &)> &next);

// The knob value for a speed, starting from the current reading (so the
// threshold and the profile array's size are kept).
KnobValue value_for_speed(const DeviceFacts &device, const KnobValue &current, double speed);
// "15/10" or "adaptive 0.667", for reports.
std::string describe(const DeviceFacts &device, const KnobValue &value);

}  // namespace hidsystemd_x11
