// Whether there is a display to open a window on, asked of the environment
// alone (no GTK), by the host before it loads the window mode and by the
// window mode before it opens the display.
#pragma once

#include <Result.h>

#include <string>

// A failure saying so when DISPLAY and WAYLAND_DISPLAY are both unset or
// empty.
Status displayIsSet();
// The display a window opens on: DISPLAY when set, else WAYLAND_DISPLAY;
// empty when neither is.
std::string displayName();
