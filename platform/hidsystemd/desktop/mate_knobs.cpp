// MATE: mate-settings-daemon applies org.mate.peripherals-mouse and
// -touchpad to every device whenever one is enabled. For a libinput device
// it turns `motion-acceleration` m (its panel offers 1 to 10; -1 is "the
// system's default") into the speed (m - 1) * 2/9 - 1, so the libinput
// speed s is stored as m = 1 + 4.5 (s + 1). A device on the X server's own
// acceleration gets m as the factor of its pointer feedback instead (6.0
// made an Xvfb mouse 6/1), so there the usual amount, m = 5.5, is steep.
#include "gsettings_knobs.h"

namespace hidsystemd_backend {

namespace {

double motion_acceleration(double speed) { return 1.0 + 4.5 * (speed + 1.0); }

constexpr GSettingsLayout kMate{
    "mate",
    {{hidsystem::PointerClass::Mouse, "org.mate.peripherals-mouse", "motion-acceleration"},
     {hidsystem::PointerClass::Touchpad, "org.mate.peripherals-touchpad", "motion-acceleration"}},
    motion_acceleration,
};

}  // namespace

const KnobsRegistration kMateKnobs("mate", [] { return make_gsettings_knobs(kMate); });

}  // namespace hidsystemd_backend
