// The two speeds as the service hands them to a desktop backend: each
// decoded and clamped, the sender's marker keeping the last good value, and
// none for a class no client has set. What `hidctl backend` turns into the
// lines a compositor's own file needs.
#pragma once

#include <Result.h>
#include <hidsystem/backend_channel.h>

#include "service_session.h"

namespace hidctl {

// The service's log says which speeds were set and what came before a
// marker; GET gives each value now. A key whose every change has left the
// bounded log counts with its value now, unless that is still the value
// the service starts with.
Result<hidsystem::SpeedPair> speeds_in_force(Session &session);

}  // namespace hidctl
