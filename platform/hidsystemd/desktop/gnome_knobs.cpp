// GNOME, and the desktops whose window manager applies GNOME's keys
// (Budgie, Pantheon, Unity): org.gnome.desktop.peripherals.mouse and
// .touchpad, `speed` being libinput's own speed. mutter applies the
// touchpad's `accel-profile` only from GNOME 44 on; GNOME 43 leaves the
// touchpad adaptive whatever is written there.
#include "gsettings_knobs.h"

namespace hidsystemd_backend {

namespace {

constexpr GSettingsLayout kGnome{
    "gnome",
    {{hidsystem::PointerClass::Mouse, "org.gnome.desktop.peripherals.mouse", "speed"},
     {hidsystem::PointerClass::Touchpad, "org.gnome.desktop.peripherals.touchpad", "speed"}},
    nullptr,
};

}  // namespace

const KnobsRegistration kGnomeKnobs("gnome", [] { return make_gsettings_knobs(kGnome); });

}  // namespace hidsystemd_backend
