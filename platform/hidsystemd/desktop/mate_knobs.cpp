// MATE: mate-settings-daemon applies org.mate.peripherals-mouse and
// -touchpad at its start, on each change, and to every device whenever one
// is enabled (a pointer plugged in), so what is stored here stays. For a
// libinput device it turns `motion-acceleration` m (its panel offers 1 to
// 10; -1 is "the system's default") into the speed (m - 1) * 2/9 - 1, so
// the libinput speed s is stored as m = 1 + 4.5 (s + 1). A device on the X
// server's own acceleration gets m itself, to the nearest half, as its
// pointer feedback, and no profile: a mouse gets 11/2 at 0.0x and 1.0x,
// 4/1 at 0.5x, 17/2 at 2.0x, 10/1 at 3.0x, which is steep, but one stored
// value serves both kinds and libinput is what current systems run.
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
