// X protocol errors in the backend. Xlib's default handler ends the process
// on any error; a device that vanishes between two requests is normal here,
// so errors are counted and the caller checks after a round trip.
#pragma once

#include <string>

struct _XDisplay;

namespace hidsystemd_x11 {

// Installs the handlers. When the server connection is lost, `on_lost` runs
// (it must not return) instead of Xlib's exit.
void install_error_handlers(void (*on_lost)());

// Waits for the server to process everything sent; true when no protocol
// error arrived since the last call.
bool round_trip_clean(_XDisplay *display);

// True when no protocol error arrived since the last check, without a round
// trip: right after a request with a reply, every error of the requests
// before it has arrived.
bool no_errors_so_far();

// The last protocol error, as "BadDevice (request 131.21)", or empty.
const std::string &last_error_text();

}  // namespace hidsystemd_x11
