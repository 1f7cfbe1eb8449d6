// The one skeleton of the event service's backend programs. The service
// starts a backend with one end of a socket pair and the kind of desktop;
// the skeleton reads the APPLY messages, hands the newest to the kind's
// Knobs no more often than they absorb, reports after each write, and at
// SIGTERM, SIGINT or the end of the channel has the knobs put back what they
// changed. When the desktop goes away it reports that and exits; the
// service decides when to start another.
#pragma once

#include <string_view>

#include <hidsystem/backend_channel.h>

namespace hidsystemd_backend {

// Exit statuses the service reads.
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoDesktop = hidsystem::kBackendExitNoDesktop;
inline constexpr int kExitDesktopLost = hidsystem::kBackendExitDesktopLost;

// The whole program: `PROGRAM [--kind KIND] --channel FD`; the kind is
// `default_kind` when not given.
int run_backend(int argc, char **argv, std::string_view program, std::string_view default_kind);

}  // namespace hidsystemd_backend
