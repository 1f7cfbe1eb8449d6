// Where the event service listens. The daemon, hidctl and the IOKit client
// all ask this one resolver, in this order:
//   1. an explicit path (a --socket option),
//   2. $HIDSYSTEM_SOCKET,
//   3. $XDG_RUNTIME_DIR/hidsystem.sock,
//   4. /tmp/hidsystem-<uid>/hidsystem.sock; the directory is made 0700 when
//      missing, and refused unless it is a real directory of this user that
//      nobody else may enter.
// Empty values count as unset.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <array>
#include <string_view>

#include <hidsystem/error_text.h>

namespace hidsystem {

inline constexpr const char *kSocketEnvironmentVariable = "HIDSYSTEM_SOCKET";
inline constexpr const char *kSocketFileName = "hidsystem.sock";

struct SocketPath {
    std::array<char, sizeof(sockaddr_un::sun_path)> text{};
    const char *c_str() const { return text.data(); }
};

// False, with the reason, when no usable path results.
bool resolve_socket_path(const char *explicit_path, SocketPath &path, ErrorText &error);

// Makes directory (0700) when missing; false, with the reason, unless it is
// then a real directory of this user that nobody else may enter.
bool ensure_private_directory(const char *directory, ErrorText &error);

// The socket address of a resolved path.
sockaddr_un socket_address(const SocketPath &path);

}  // namespace hidsystem
