// The client side of i3-ipc over a Unix socket: "i3-ipc", the payload's
// length and the message type (both 32-bit, native byte order), then the
// payload. One request at a time, each waiting for its reply.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hidsystemd_desktop {

inline constexpr std::uint32_t kRunCommand = 0;
inline constexpr std::uint32_t kGetInputs = 100;

class I3Ipc {
public:
    I3Ipc() = default;
    ~I3Ipc();
    I3Ipc(const I3Ipc &) = delete;
    I3Ipc &operator=(const I3Ipc &) = delete;

    bool connect(const std::string &path, std::string &error);
    // The reply's payload; nullopt, with the reason, when the socket fails,
    // stays silent for two seconds or answers with another type.
    std::optional<std::string> request(std::uint32_t type, std::string_view payload, std::string &error);
    int fd() const { return fd_; }

private:
    bool send_all(const char *data, std::size_t size);
    bool receive_all(char *data, std::size_t size);

    int fd_ = -1;
};

}  // namespace hidsystemd_desktop
