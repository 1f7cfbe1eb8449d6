#include "peer_credentials.h"

#include <sys/socket.h>
#include <unistd.h>

namespace hidsystemd {

bool peer_is_owner(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials)
        return false;
    return credentials.uid == geteuid();
}

}  // namespace hidsystemd
