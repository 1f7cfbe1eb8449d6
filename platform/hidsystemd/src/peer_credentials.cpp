#include "peer_credentials.h"

#include <sys/socket.h>
#include <unistd.h>

namespace hidsystemd {

bool peer_is_owner(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials)
        return false;
    static const uid_t owner = geteuid();  // the daemon never changes it
    return credentials.uid == owner;
}

}  // namespace hidsystemd
