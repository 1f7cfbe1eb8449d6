#include "x_errors.h"

#include <X11/Xlib.h>

#include <cstdio>

namespace hidsystemd_x11 {

namespace {

int error_count = 0;
std::string last_error;
void (*lost_handler)() = nullptr;

int record_error(Display *display, XErrorEvent *event) {
    char name[128] = {0};
    XGetErrorText(display, event->error_code, name, sizeof name);
    char text[256];
    std::snprintf(text, sizeof text, "%s (request %u.%u)", name, static_cast<unsigned>(event->request_code),
                  static_cast<unsigned>(event->minor_code));
    last_error = text;
    ++error_count;
    return 0;
}

int connection_lost(Display *) {
    if (lost_handler) lost_handler();
    return 0;
}

}  // namespace

void install_error_handlers(void (*on_lost)()) {
    lost_handler = on_lost;
    XSetErrorHandler(record_error);
    XSetIOErrorHandler(connection_lost);
}

bool no_errors_so_far() {
    bool clean = error_count == 0;
    error_count = 0;
    return clean;
}

bool round_trip_clean(_XDisplay *display) {
    XSync(display, False);
    return no_errors_so_far();
}

const std::string &last_error_text() { return last_error; }

}  // namespace hidsystemd_x11
