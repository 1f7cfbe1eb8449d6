// Only the user the daemon runs as may talk to it.
#pragma once

namespace hidsystemd {

// True when the process at the other end of fd runs as this process's uid.
bool peer_is_owner(int fd);

}  // namespace hidsystemd
