// Cinnamon: muffin applies org.cinnamon.desktop.peripherals.mouse and
// .touchpad at start, on every change and to each new device. `speed` is
// libinput's own speed; the mouse schema has `accel-profile`, the touchpad
// schema none (its touchpads keep libinput's adaptive profile).
#include "gsettings_knobs.h"

namespace hidsystemd_backend {

namespace {

constexpr GSettingsLayout kCinnamon{
    "cinnamon",
    {{hidsystem::PointerClass::Mouse, "org.cinnamon.desktop.peripherals.mouse", "speed"},
     {hidsystem::PointerClass::Touchpad, "org.cinnamon.desktop.peripherals.touchpad", "speed"}},
    nullptr,
};

}  // namespace

const KnobsRegistration kCinnamonKnobs("cinnamon", [] { return make_gsettings_knobs(kCinnamon); });

}  // namespace hidsystemd_backend
