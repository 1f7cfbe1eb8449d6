// Answers one request line: one handler per verb, one reply line each.
#pragma once

#include <string_view>

#include <hidsystem/protocol.h>

#include "service_state.h"

namespace hidsystemd {

// `line` comes without its LF; `reply` is filled with a finished line.
void handle_request(std::string_view line, ServiceState &state, hidsystem::Line &reply);

// Replies the event loop sends on its own.
void reply_line_too_long(hidsystem::Line &reply);
void reply_busy(hidsystem::Line &reply);
void reply_not_owner(hidsystem::Line &reply);

}  // namespace hidsystemd
