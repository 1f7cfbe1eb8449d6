// river speaks one of two interfaces: 0.3's command interface, as riverctl
// uses it (river_knobs.cpp), or 0.4's libinput settings
// (river_libinput_knobs.cpp). The kind "river" takes whichever the display
// offers.
#pragma once

#include <memory>

#include "knobs.h"

namespace hidsystemd_backend {

std::unique_ptr<Knobs> make_river_command_knobs();
std::unique_ptr<Knobs> make_river_libinput_knobs();

}  // namespace hidsystemd_backend
