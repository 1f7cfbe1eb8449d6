// The knobs of a desktop whose daemon applies a pair of GSettings schemas
// to every pointer: each such desktop describes its schemas, keys and the
// conversion of its speed key, and registers that.
#pragma once

#include <memory>

#include "knobs.h"

namespace hidsystemd_backend {

struct GSettingsClass {
    hidsystem::PointerClass kind = hidsystem::PointerClass::Mouse;
    const char *schema_id = "";
    // A double; `accel-profile` beside it is written when the schema has it.
    const char *speed_key = "speed";
};

struct GSettingsLayout {
    // The kind's name, which names its snapshot file.
    const char *kind = "";
    GSettingsClass classes[2];
    // The value of the speed key for a libinput speed in [-1, 1], as the
    // desktop's daemon converts it back; nullptr: the libinput speed as is.
    double (*store_speed)(double libinput_speed) = nullptr;
};

std::unique_ptr<Knobs> make_gsettings_knobs(const GSettingsLayout &layout);

}  // namespace hidsystemd_backend
