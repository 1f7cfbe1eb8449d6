#include "display.h"

#include <cstdlib>

namespace {

const char *setValue(const char *name) {
    const char *value = std::getenv(name);
    return value && *value ? value : nullptr;
}

}  // namespace

std::string displayName() {
    if (const char *x11 = setValue("DISPLAY")) return x11;
    if (const char *wayland = setValue("WAYLAND_DISPLAY")) return wayland;
    return {};
}

Status displayIsSet() {
    if (!displayName().empty()) return Status::success();
    return Failure("no display to open a window on (DISPLAY and WAYLAND_DISPLAY are unset); "
                   "give --script FILE to run without one");
}
